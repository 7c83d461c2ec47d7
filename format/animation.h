#pragma once

#include "format/byte_source.h"
#include "format/scanner.h"
#include "format/tgl_format.h"

#include <vector>

namespace tglformat {

// A whole animation in memory, each frame's image decoded: for callers that
// want pictures (a converter, a thumbnailer) rather than textures.
struct Animation {
    Header header;
    std::vector<Frame> frames;
    std::vector<DecodedFrame> images; // one per frame; pixels for Ok
};

// False when the source does not begin with "DFX".
bool readAnimation(ByteSource& source, Animation& out);

} // namespace tglformat
