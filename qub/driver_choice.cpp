#include "qub/driver.h"
#include "qub/drivers/x11/x11_errors.h"

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace qub {

namespace {

// SDL2's driver, from the module beside this library; null when it is not there.
std::unique_ptr<Driver> loadSdlDriver() {
    Dl_info self{};
    if (!dladdr(reinterpret_cast<void*>(&loadSdlDriver), &self) || !self.dli_fname) return nullptr;
    std::string path = self.dli_fname;
    path = path.substr(0, path.rfind('/') + 1) + QUB_SDL_MODULE;
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL); // kept for the process's life
    if (!module) return nullptr;
    using Create = Driver* (*)();
    const auto create = reinterpret_cast<Create>(dlsym(module, "qubCreateSdlDriver"));
    return std::unique_ptr<Driver>(create ? create() : nullptr);
}

} // namespace

// The Xlib driver serves every X11 display, XWayland's too, and off-screen
// targets. SDL2's serves a session with no DISPLAY (Wayland alone), or one
// that asks for it with QUB_DRIVER=sdl: loading it costs a start tens of
// milliseconds.
std::unique_ptr<Driver> createDriver(bool offscreen) {
    const char* asked = std::getenv("QUB_DRIVER");
    const char* display = std::getenv("DISPLAY");
    const bool wantSdl = (asked && std::strcmp(asked, "sdl") == 0) || !display || !*display;
    if (!offscreen && wantSdl)
        if (std::unique_ptr<Driver> sdl = loadSdlDriver()) {
            // SDL2 chains its own X error handler to the one it finds, so on
            // an X11 display this one still keeps a vanished drag source harmless.
            if (display && *display) ignoreErrorsAboutVanishedWindows();
            return sdl;
        }
    return createPlatformDriver();
}

} // namespace qub
