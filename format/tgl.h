#pragma once

// The .tgl format library, for code in any program: no engine, no window.
// Open a file (openFile) or wrap bytes (MemorySource); scan it once (Scanner)
// and decode its frames to straight 0xAARRGGBB pixels (decodeFrames, or
// BackgroundDecoder on threads of its own), or read it whole (readAnimation);
// draw what the viewer shows (composeFrame). Every limit against hostile
// files is a named constant of InputLimits (image/limits.h).
#include "format/animation.h"
#include "format/background_decoder.h"
#include "format/byte_source.h"
#include "format/compose.h"
#include "format/decode.h"
#include "format/scanner.h"
#include "format/tgl_format.h"
#include "format/thumbnail.h"
#include "image/limits.h"
