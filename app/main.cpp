#include "app/win_main.h"

// Hosts without a WinMain convention start here, with neutral arguments.
int main() {
    char noCommandLine[] = "";
    return WinMain(nullptr, nullptr, noCommandLine, SW_SHOWNORMAL);
}
