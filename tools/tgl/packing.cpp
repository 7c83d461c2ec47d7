#include "tools/tgl/packing.h"

#include "image/limits.h"
#include "platform/file_names.h"
#include "tools/tgl/animation_import.h"
#include "tools/tgl/output.h"

#include <algorithm>

namespace tgltool {

namespace fs = std::filesystem;

fs::path fileInside(const fs::path& folder, const std::string& name, bool allowOutside,
                    const std::string& what) {
    const fs::path relative = filenames::pathFromUtf8(name);
    if (allowOutside) return folder / relative;
    const bool climbs = std::any_of(relative.begin(), relative.end(),
                                    [](const fs::path& part) { return part == ".."; });
    std::error_code error;
    const fs::path base = fs::weakly_canonical(folder, error);
    const fs::path resolved = fs::weakly_canonical(folder / relative, error);
    const auto [end, unused] =
        std::mismatch(base.begin(), base.end(), resolved.begin(), resolved.end());
    if (relative.empty() || relative.is_absolute() || relative.has_root_name() || climbs || error ||
        end != base.end())
        throw CommandError(what + " \"" + name +
                           "\" is outside the folder (--allow-outside takes it)");
    return resolved;
}

void ComposeBudget::spend(std::uint64_t width, std::uint64_t height) {
    spent_ += width * height;
    if (spent_ > InputLimits::kMaxComposedPixels)
        throw CommandError(source_ + ": its frames compose more than " +
                           std::to_string(InputLimits::kMaxComposedPixels >> 20) +
                           " Mi pixels, past the limit");
}

void checkCanvasSize(const std::string& source, std::uint64_t width, std::uint64_t height) {
    if (width < 1 || height < 1 || width > std::uint64_t(InputLimits::kMaxImageSide) ||
        height > std::uint64_t(InputLimits::kMaxImageSide) ||
        width * height > InputLimits::kMaxImagePixels)
        throw CommandError(source + ": a canvas of " + std::to_string(width) + " x " +
                           std::to_string(height) + " is past the image limits");
}

void addBlocks(tgltools::TglWriter& writer, const std::vector<std::vector<std::uint8_t>>& images,
               const std::vector<bool>& hasImage) {
    std::size_t last = 0;
    for (std::size_t i = 0; i < hasImage.size(); ++i)
        if (hasImage[i]) last = i + 1;
    for (std::size_t i = 0; i < last; ++i) {
        if (hasImage[i])
            writer.image(images[i]);
        else
            writer.rawBlock({});
    }
}

} // namespace tgltool
