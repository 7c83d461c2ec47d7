#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

// Pieces for driving the real viewer under a private Xvfb server.
// Xlib's macros clash with test frameworks, so its types stay out of this header.
struct _XDisplay;

namespace e2e {

using Display = ::_XDisplay;
using Window = unsigned long;

struct WindowGeometry {
    int width = 0;
    int height = 0;
    bool viewable = false;
};

// An Xvfb server on a display number of its own choosing; killed on destruction.
class XvfbServer {
  public:
    static bool available();
    XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;
    ~XvfbServer();

    bool started() const { return display_ != nullptr; }
    const std::string& name() const { return name_; } // ":N"
    Display* display() const { return display_; }
    pid_t processId() const { return pid_; }

  private:
    pid_t pid_ = -1;
    std::string name_;
    Display* display_ = nullptr;
};

// Ends a test that runs past its time rather than let it hang the run: it
// runs `stopCommand` (ending Wine's server, say) and kills the X server, so
// every X call still waiting fails and Xlib ends the test with an error.
class Watchdog {
  public:
    Watchdog(std::chrono::seconds limit, std::string stopCommand, pid_t xServer);
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;
    ~Watchdog();

  private:
    std::mutex mutex_;
    std::condition_variable stop_;
    bool done_ = false;
    std::thread thread_;
};

// A program started in a folder with DISPLAY set (an empty display: with no
// display variables at all), its standard output and error going to
// `outputFile`; killed on destruction if still running, and with the test.
class Process {
  public:
    Process(const std::string& program, const std::string& folder, const std::string& display,
            const std::string& outputFile)
        : Process(std::vector<std::string>{program}, folder, display, outputFile) {}
    // command: the program, then its arguments.
    Process(const std::vector<std::string>& command, const std::string& folder,
            const std::string& display, const std::string& outputFile);
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ~Process();

    // The exit code, or nothing when it has not ended within the time (or died of a signal).
    std::optional<int> waitForExit(std::chrono::milliseconds timeout);
    bool running();
    int id() const { return static_cast<int>(pid_); }

  private:
    pid_t pid_ = -1;
    std::optional<int> status_;
};

// The first window with this title (and, unless 0, this _NET_WM_PID), waiting
// for it to appear.
std::optional<Window> findWindow(Display* display, const std::string& title,
                                 std::chrono::milliseconds timeout, int processId = 0);
// The same for a title that begins so (programs add what they show to theirs).
std::optional<Window> findWindowStartingWith(Display* display, const std::string& start,
                                             std::chrono::milliseconds timeout);
std::optional<Window> findWindowTitled(Display* display,
                                       const std::function<bool(const std::string&)>& title,
                                       std::chrono::milliseconds timeout, int processId);

std::optional<WindowGeometry> geometry(Display* display, Window window);

// 0xRRGGBB pixels of the window's client area, rows top to bottom; `left` and
// `top` skip a frame that the program draws inside its window.
std::vector<unsigned long> grabWindow(Display* display, Window window, int width, int height,
                                      int left = 0, int top = 0);

// Asks the window to close as a window manager would (WM_DELETE_WINDOW).
void requestClose(Display* display, Window window);

// Pings the window as a window manager does (_NET_WM_PING); the time until it
// sent the ping back to the root window, or nothing within the timeout.
std::optional<std::chrono::milliseconds> pingRoundTrip(Display* display, Window window,
                                                       std::chrono::milliseconds timeout);

// Drags these files onto the middle of the window and drops them, as a file
// manager does over XDND (XdndEnter, XdndPosition, XdndDrop, serving the paths
// as text/uri-list). True once the target has finished with the drop.
bool dragAndDrop(Display* display, Window target, const std::vector<std::string>& paths,
                 std::chrono::milliseconds timeout);

// Begins a drag over the window and destroys the source window before the
// target can answer it, as a file manager that crashes or gives up does.
void dragFromAVanishingSource(Display* display, Window target);

} // namespace e2e
