#pragma once

#include "platform/windows_api.h"

// Puts subclassedWndProc in front of the engine's window procedure and lets
// the window accept dropped files. Done once, after the engine's init; the
// procedure stays for the life of the window.
extern WNDPROC previousWndProc;

void takeOverWindowForDrops(HWND window);

// Stores the first dropped file's path in currentFileName and, for a ".tgl"
// file in any letter case, asks for it to be loaded at the next frame. Every
// message then goes on to the engine's procedure.
LRESULT CALLBACK subclassedWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
