#include "tools/tgl/output.h"
#include "tools/tgl/webp_export.h"

namespace tgltool {

// Builds without libwebp (Windows) say so instead of writing anything.
std::vector<std::uint8_t> animatedWebP(const std::vector<std::vector<std::uint32_t>>&, int, int,
                                       const std::vector<std::int32_t>&) {
    throw CommandError("animated WebP export is not available in this build of tgl");
}

} // namespace tgltool
