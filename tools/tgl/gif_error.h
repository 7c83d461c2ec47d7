#pragma once

#include <gif_lib.h>

#include <string>

namespace tgltool {

// giflib's name for an error; some failures leave a code it has no name for.
inline std::string gifError(int code) {
    const char* text = GifErrorString(code);
    return text ? text : "error " + std::to_string(code);
}

} // namespace tgltool
