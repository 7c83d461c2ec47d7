#include "app/win_main.h"

#if !defined(_WIN32)
// Hosts without a WinMain convention start here, with neutral arguments. On
// Windows the C run-time calls WinMain itself.
int main() {
    char noCommandLine[] = "";
    return WinMain(nullptr, nullptr, noCommandLine, SW_SHOWNORMAL);
}
#endif
