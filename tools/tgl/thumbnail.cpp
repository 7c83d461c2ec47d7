#include "format/thumbnail.h"
#include "format/animation.h"
#include "image/limits.h"
#include "tools/tgl/commands.h"
#include "tools/tgl/output.h"

#include <cstdio>
#include <memory>

namespace tgltool {

int thumbnail(const std::string& file, const std::string& output, int size, bool overwrite) {
    if (size < 1 || size > InputLimits::kMaxImageSide)
        throw CommandError("--size " + std::to_string(size) + ": from 1 to " +
                           std::to_string(InputLimits::kMaxImageSide));
    const std::unique_ptr<tglformat::ByteSource> source = tglformat::openFile(file.c_str());
    tglformat::Animation animation;
    if (!source || !tglformat::readAnimation(*source, animation))
        throw CommandError(file + ": cannot be loaded as an animation");
    const tglformat::Picture picture = tglformat::thumbnailOf(animation, size);
    if (picture.pixels.empty()) {
        std::fprintf(stderr, "%s: no frame shows in the window\n", file.c_str());
        return 1;
    }
    writePngWhole(output, picture.pixels.data(), picture.width, picture.height, overwrite);
    return 0;
}

} // namespace tgltool
