#include "app/dropped_files.h"

#include "app/animation_slot.h"

WNDPROC previousWndProc = nullptr;

namespace {

constexpr UINT kDropPathBytes = 1024;

void takeDrop(HDROP drop) {
    char path[kDropPathBytes];
    // A drop that reports no first file is skipped, and so is one whose path
    // does not fit: cut short, it would name some other file.
    const UINT length = DragQueryFileA(drop, 0, nullptr, 0);
    if (length == 0 || length >= kDropPathBytes) return;
    if (DragQueryFileA(drop, 0, path, kDropPathBytes) != length) return;
    currentFileName.assign(path); // stored whatever the file's type
    if (currentFileName.extension().compareNoCase(".tgl") == 0) reloadPending = true;
}

} // namespace

void takeOverWindowForDrops(HWND window) {
    // Pointer-sized: a window procedure does not fit the 32-bit call on 64-bit hosts.
    previousWndProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(subclassedWndProc)));
    SetWindowLongA(window, GWL_EXSTYLE, GetWindowLongA(window, GWL_EXSTYLE) | WS_EX_ACCEPTFILES);
}

LRESULT CALLBACK subclassedWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DROPFILES) {
        HDROP drop = reinterpret_cast<HDROP>(wParam);
        takeDrop(drop);
        DragFinish(drop);
    }
    return CallWindowProcA(previousWndProc, window, message, wParam, lParam);
}
