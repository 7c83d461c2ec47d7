#include "app/dropped_files.h"

#include "app/animation_slot.h"
#include "shell/window_shell.h"

WNDPROC previousWndProc = nullptr;

namespace {

// The path as the viewer has always read a drop: at most 1023 bytes. A longer
// one is skipped, since cut short it would name some other file.
constexpr std::size_t kDropPathBytes = 1024;

void takeDrop(HDROP drop) {
    const std::string path = firstDroppedPath(drop);
    if (path.empty() || path.size() >= kDropPathBytes) return;
    currentFileName.assign(path.c_str()); // stored whatever the file's type
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
