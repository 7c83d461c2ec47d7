#pragma once

#include "platform/windows_api.h"
#include "qub/driver.h"
#include "qub/drivers/canvas/canvas_driver.h"

struct SDL_Window;
union SDL_Event;

namespace qub {

// The driver over SDL2, for sessions the Xlib driver cannot serve (Wayland
// without XWayland): a module of its own, loaded only then, so that SDL2 and
// the many libraries it needs stay unloaded everywhere else. A window whose
// picture is drawn on the CPU by the Canvas (as on Windows, to the byte) and
// shown through the window's surface, only the part that changed. Textures
// are pixels in memory, so a decoded image becomes one without a copy. The
// window's record in the Windows API layer is what the handle state
// QubState::kMainWindow gives the application.
class SdlDriver final : public CanvasDriver {
  public:
    SdlDriver() = default;
    SdlDriver(const SdlDriver&) = delete;
    SdlDriver& operator=(const SdlDriver&) = delete;
    ~SdlDriver() override;

    bool open(const WindowSettings& settings) override;
    void close() override;
    void setTitle(const char* title) override;
    WindowHandle windowHandle() const override { return windowHandle_; }

    void pumpEvents(DriverEvents& events) override;
    bool hasFocus() const override;
    void waitForEvents(int milliseconds) override;
    void deliverDrop(const std::vector<std::string>& paths) override;

    void present() override;

  private:
    bool ready() const override { return window_ != nullptr; }
    bool startVideo();
    bool createWindow(const WindowSettings& settings);
    void handleEvent(const SDL_Event& event, DriverEvents& events);
    void sendPointer(const SDL_Event& event);
    void sendKey(std::int32_t key); // an SDL_Keycode

    bool videoStarted_ = false;
    SDL_Window* window_ = nullptr;
    HWND windowHandle_ = nullptr;
    bool exposed_ = true; // the last picture did not reach the window
};

} // namespace qub
