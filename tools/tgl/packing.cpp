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

namespace {

// from..to one way or the other, leaving out the first `skip` frames.
void pass(std::vector<std::size_t>& order, std::size_t from, std::size_t to, bool forward,
          std::size_t skip) {
    for (std::size_t k = skip; k <= to - from; ++k)
        order.push_back(forward ? from + k : to - k);
}

} // namespace

std::vector<std::size_t> tagOrder(std::size_t from, std::size_t to, TagDirection direction,
                                  int repeat) {
    std::vector<std::size_t> order;
    const bool forward = direction == TagDirection::Forward || direction == TagDirection::PingPong;
    if (direction == TagDirection::Forward || direction == TagDirection::Reverse) {
        for (int n = 0; n < std::max(repeat, 1); ++n)
            pass(order, from, to, forward, 0);
        return order;
    }
    // Ping-pong: passes that turn at each end; where the loop closes on the
    // frame it began with, that frame is not shown twice.
    const int passes = repeat > 0 ? repeat : 2;
    for (int n = 0; n < passes; ++n)
        pass(order, from, to, n % 2 == 0 ? forward : !forward, n == 0 ? 0 : 1);
    if (passes % 2 == 0 && order.size() > 1) order.pop_back();
    return order;
}

void checkCanvasSize(const std::string& source, std::uint64_t width, std::uint64_t height) {
    if (!InputLimits::withinImageLimits(width, height))
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
