#include "platform/window_host.h"

#include <unordered_set>

struct HWND__ {
    WNDPROC procedure;
    LONG_PTR exStyle;
    LONG_PTR userData;
    int originX, originY; // of the client area on the screen
};

namespace {

std::unordered_set<HWND>& liveWindows() {
    static std::unordered_set<HWND> windows;
    return windows;
}

bool isLive(HWND window) { return window && liveWindows().count(window) != 0; }

// The field behind a GWL/GWLP index, or null for one this layer does not keep.
LONG_PTR* field(HWND window, int index) {
    switch (index) {
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR*>(&window->procedure);
    case GWL_EXSTYLE: return &window->exStyle;
    case GWLP_USERDATA: return &window->userData;
    default: return nullptr;
    }
}

static_assert(sizeof(WNDPROC) == sizeof(LONG_PTR), "a procedure fits a LONG_PTR");

} // namespace

BOOL ScreenToClient(HWND window, POINT* point) {
    if (!isLive(window) || !point) return 0;
    point->x -= window->originX;
    point->y -= window->originY;
    return 1;
}

LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
    if (!isLive(window)) return 0;
    LONG_PTR* slot = field(window, index);
    if (!slot) return 0;
    LONG_PTR previous = *slot;
    *slot = value;
    return previous;
}

LONG_PTR GetWindowLongPtrA(HWND window, int index) {
    if (!isLive(window)) return 0;
    LONG_PTR* slot = field(window, index);
    return slot ? *slot : 0;
}

// The 32-bit calls cannot carry a pointer where pointers are wider, so they
// refuse the procedure index there, as 64-bit Windows does.
static bool fitsInLong(int index) { return index != GWLP_WNDPROC || sizeof(void*) == sizeof(LONG); }

LONG SetWindowLongA(HWND window, int index, LONG value) {
    if (!fitsInLong(index)) return 0;
    return static_cast<LONG>(SetWindowLongPtrA(window, index, value));
}

LONG GetWindowLongA(HWND window, int index) {
    if (!fitsInLong(index)) return 0;
    return static_cast<LONG>(GetWindowLongPtrA(window, index));
}

LRESULT CallWindowProcA(WNDPROC procedure, HWND window, UINT message, WPARAM wParam,
                        LPARAM lParam) {
    return procedure ? procedure(window, message, wParam, lParam) : 0;
}

namespace platform {

HWND createWindow(WNDPROC procedure) {
    HWND window = new HWND__{procedure, 0, 0, 0, 0};
    liveWindows().insert(window);
    return window;
}

void setClientOrigin(HWND window, int x, int y) {
    if (!isLive(window)) return;
    window->originX = x;
    window->originY = y;
}

void destroyWindow(HWND window) {
    if (liveWindows().erase(window) != 0) delete window;
}

LRESULT sendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!isLive(window)) return 0;
    return CallWindowProcA(window->procedure, window, message, wParam, lParam);
}

} // namespace platform
