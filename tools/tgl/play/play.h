#pragma once

#include "format/tgl_format.h"

#include <cstdint>
#include <string>

// `tgl play` and tglplay.exe: the file in a window of the engine, with keys.
namespace tgltool {

struct PlayOptions {
    std::string file; // empty: the window waits for a dropped file
    double speed = 1;
    int zoom = 1;                     // 1, 2, 4 or 8
    std::string background = "white"; // white, black, checker or #RRGGBB
    bool paused = false;
    std::int32_t frame = 0;
    std::string font; // empty: font1.fnt from the current folder, the file's or the program's
    int width = tglformat::kViewWidth;
    int height = tglformat::kViewHeight;
    std::string screenshot; // set: the first picture goes to this PNG, then the player quits
};
// Plays the file in a window until the user quits (0); a file that cannot be
// read or is no animation throws CommandError.
int play(const PlayOptions& options);

} // namespace tgltool
