#include "app/dropped_files.h"

#include "app/animation_slot.h"
#include "tgl/window_shell.h"

WNDPROC previousWndProc = nullptr;

namespace {

constexpr UINT kDropPathBytes = 1024;

void takeDrop(HDROP drop) {
    char path[kDropPathBytes];
    if (!firstDroppedPath(drop, path, kDropPathBytes)) return;
    currentFileName.assign(path); // stored whatever the file's type
    if (currentFileName.extension().compareNoCase(".tgl") == 0) reloadPending = true;
}

} // namespace

void takeOverWindowForDrops(HWND window) {
    previousWndProc = subclassForDrops(window, subclassedWndProc);
}

LRESULT CALLBACK subclassedWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DROPFILES) {
        HDROP drop = reinterpret_cast<HDROP>(wParam);
        takeDrop(drop);
        DragFinish(drop);
    }
    return CallWindowProcA(previousWndProc, window, message, wParam, lParam);
}
