#pragma once

#include "engine/engine.h"
#include "format/tgl_format.h"
#include "platform/windows_api.h"
#include "tgl/tgl_player.h"

#include <string>

// What a program that shows animations in the engine's window sets up around
// it: the window's states, and a window procedure that takes dropped files.
// The viewer and `tgl play` share it.

struct WindowSetup {
    const char* logFile = nullptr; // none when null
    EngineCallback frameCallback = nullptr;
    EngineCallback renderCallback = nullptr;
    const char* title = "";
    int frameRate = CTGLPlayer::kFrameRate;
    int width = tglformat::kViewWidth;
    int height = tglformat::kViewHeight;
};

// The states, windowed, 32-bit, running while unfocused; before init.
void configureEngine(Engine& engine, const WindowSetup& setup);

// Puts `procedure` in front of the window's own and lets the window accept
// dropped files; gives the procedure it replaced, which `procedure` passes
// every message on to. Pointer-sized, as 64-bit hosts need.
WNDPROC subclassForDrops(HWND window, WNDPROC procedure);

// The first dropped file's path, whole, as UTF-8 (on Windows read in UTF-16,
// so that no name is lost to the code page); empty when the drop names none.
std::string firstDroppedPath(HDROP drop);
