#include "format/animation.h"

#include "format/decode.h"

namespace tglformat {

bool readAnimation(ByteSource& source, Animation& out) {
    out = Animation{};
    Scanner scanner(source);
    if (!scanner.readTable()) return false;
    out.header = scanner.header();
    out.frames = scanner.frames();
    out.images.resize(out.frames.size());
    for (std::size_t i = 0; i < out.images.size(); ++i)
        out.images[i].index = static_cast<std::int32_t>(i);
    decodeFrames(scanner, [&out](DecodedFrame& frame) {
        out.images[static_cast<std::size_t>(frame.index)] = std::move(frame);
    });
    return true;
}

} // namespace tglformat
