#include "tests/e2e/x11_session.h"

#include <X11/Xlib.h>

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <fcntl.h>
#include <sys/prctl.h>

#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace e2e {

namespace {

const char* const kXvfb = "/usr/bin/Xvfb";

int processOf(Display* display, Window window) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    int pid = 0;
    if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), 0, 1, False,
                           XA_CARDINAL, &type, &format, &count, &remaining, &data) == Success &&
        data && count == 1 && format == 32)
        pid = static_cast<int>(*reinterpret_cast<unsigned long*>(data));
    if (data) XFree(data);
    return pid;
}

bool viewable(Display* display, Window window) {
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
}

// The title in UTF-8 as desktops show it (_NET_WM_NAME), else WM_NAME.
std::optional<std::string> titleOf(Display* display, Window window) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    std::optional<std::string> title;
    if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False), 0, 1024,
                           False, XInternAtom(display, "UTF8_STRING", False), &type, &format,
                           &count, &remaining, &data) == Success &&
        data && format == 8)
        title = std::string(reinterpret_cast<char*>(data), count);
    if (data) XFree(data);
    char* name = nullptr;
    if (!title && XFetchName(display, window, &name) && name) title = name;
    if (name) XFree(name);
    return title;
}

// Only a window on screen: a program may make and drop windows of the same
// title while it starts (SDL makes a new one for an OpenGL renderer).
std::optional<Window> search(Display* display, Window parent,
                             const std::function<bool(const std::string&)>& title, int processId) {
    const std::optional<std::string> name = titleOf(display, parent);
    if (name && title(*name) && (processId == 0 || processOf(display, parent) == processId) &&
        viewable(display, parent))
        return parent;
    Window root = 0;
    Window ignored = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, parent, &root, &ignored, &children, &count)) return std::nullopt;
    std::optional<Window> found;
    for (unsigned int i = 0; i < count && !found; ++i)
        found = search(display, children[i], title, processId);
    if (children) XFree(children);
    return found;
}

// X errors for windows that vanish mid-search are expected; the default handler exits.
int ignoreXErrors(Display*, XErrorEvent*) { return 0; }

} // namespace

bool XvfbServer::available() { return access(kXvfb, X_OK) == 0; }

XvfbServer::XvfbServer() {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
        close(pipeFds[0]);
        // Its output must not hold the test runner's pipe open, nor may it outlive the test.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, 1);
        dup2(quiet, 2);
        std::string fd = std::to_string(pipeFds[1]);
        execl(kXvfb, kXvfb, "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten",
              "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFds[1]);
    char buffer[32] = {};
    ssize_t got = 0;
    while (got < static_cast<ssize_t>(sizeof buffer) - 1) {
        ssize_t n =
            read(pipeFds[0], buffer + got, sizeof buffer - 1 - static_cast<std::size_t>(got));
        if (n <= 0) break;
        got += n;
        if (buffer[got - 1] == '\n') break;
    }
    close(pipeFds[0]);
    if (got <= 0) return;
    name_ = ":" + std::to_string(std::atoi(buffer));
    XSetErrorHandler(ignoreXErrors);
    display_ = XOpenDisplay(name_.c_str());
}

XvfbServer::~XvfbServer() {
    if (display_) XCloseDisplay(display_);
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

Watchdog::Watchdog(std::chrono::seconds limit, std::string stopCommand, pid_t xServer)
    : thread_([this, limit, stopCommand, xServer] {
          std::unique_lock<std::mutex> lock(mutex_);
          if (stop_.wait_for(lock, limit, [this] { return done_; })) return;
          std::fprintf(stderr, "watchdog: the test ran past %lld s; ending it\n",
                       static_cast<long long>(limit.count()));
          if (!stopCommand.empty()) std::system(stopCommand.c_str());
          if (xServer > 0) kill(xServer, SIGKILL);
      }) {}

Watchdog::~Watchdog() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        done_ = true;
    }
    stop_.notify_one();
    thread_.join();
}

Process::Process(const std::vector<std::string>& command, const std::string& folder,
                 const std::string& display, const std::string& outputFile) {
    std::vector<char*> arguments;
    for (const std::string& word : command)
        arguments.push_back(const_cast<char*>(word.c_str()));
    arguments.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (chdir(folder.c_str()) != 0) _exit(126);
        int output = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (output >= 0) {
            dup2(output, 1);
            dup2(output, 2);
            close(output);
        }
        if (display.empty()) {
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
        } else {
            setenv("DISPLAY", display.c_str(), 1);
        }
        execvp(arguments[0], arguments.data());
        _exit(127);
    }
}

Process::~Process() {
    if (running()) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

bool Process::running() {
    if (pid_ <= 0 || status_) return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) != pid_) return true;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return false;
}

std::optional<int> Process::waitForExit(std::chrono::milliseconds timeout) {
    auto end = std::chrono::steady_clock::now() + timeout;
    while (running() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (!status_ || *status_ < 0) return std::nullopt;
    return status_;
}

std::optional<Window> findWindow(Display* display, const std::string& title,
                                 std::chrono::milliseconds timeout, int processId) {
    return findWindowTitled(
        display, [&](const std::string& name) { return name == title; }, timeout, processId);
}

std::optional<Window> findWindowStartingWith(Display* display, const std::string& start,
                                             std::chrono::milliseconds timeout) {
    return findWindowTitled(
        display, [&](const std::string& name) { return name.rfind(start, 0) == 0; }, timeout, 0);
}

std::optional<Window> findWindowTitled(Display* display,
                                       const std::function<bool(const std::string&)>& title,
                                       std::chrono::milliseconds timeout, int processId) {
    auto end = std::chrono::steady_clock::now() + timeout;
    do {
        if (auto found = search(display, DefaultRootWindow(display), title, processId))
            return found;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (std::chrono::steady_clock::now() < end);
    return std::nullopt;
}

std::optional<WindowGeometry> geometry(Display* display, Window window) {
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, window, &attributes)) return std::nullopt;
    return WindowGeometry{attributes.width, attributes.height, attributes.map_state == IsViewable};
}

std::vector<unsigned long> grabWindow(Display* display, Window window, int width, int height,
                                      int left, int top) {
    std::vector<unsigned long> pixels;
    XImage* image = XGetImage(display, window, left, top, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (!image) return pixels;
    pixels.reserve(static_cast<std::size_t>(width * height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.push_back(XGetPixel(image, x, y) & 0xFFFFFF);
    XDestroyImage(image);
    return pixels;
}

void requestClose(Display* display, Window window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
}

std::optional<std::chrono::milliseconds> pingRoundTrip(Display* display, Window window,
                                                       std::chrono::milliseconds timeout) {
    static long stamp = 0;
    const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    const Atom ping = XInternAtom(display, "_NET_WM_PING", False);
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = protocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(ping);
    event.xclient.data.l[1] = ++stamp;
    event.xclient.data.l[2] = static_cast<long>(window);
    const auto start = std::chrono::steady_clock::now();
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
    std::optional<std::chrono::milliseconds> answered;
    while (!answered && std::chrono::steady_clock::now() - start < timeout) {
        if (!XPending(display)) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            continue;
        }
        XEvent reply;
        XNextEvent(display, &reply);
        if (reply.type == ClientMessage && reply.xclient.window == root &&
            reply.xclient.message_type == protocols &&
            static_cast<Atom>(reply.xclient.data.l[0]) == ping && reply.xclient.data.l[1] == stamp)
            answered = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now() - start);
    }
    XSelectInput(display, root, NoEventMask);
    return answered;
}

namespace {

std::string fileUri(const std::string& path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (unsigned char c : path) {
        if (std::isalnum(c) || c == '/' || c == '.' || c == '-' || c == '_' || c == '~') {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 15];
        }
    }
    return uri;
}

void sendClientMessage(Display* display, Window target, Atom type, const long (&data)[5]) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = target;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    for (int i = 0; i < 5; ++i)
        event.xclient.data.l[i] = data[i];
    XSendEvent(display, target, False, NoEventMask, &event);
    XFlush(display);
}

} // namespace

bool dragAndDrop(Display* display, Window target, const std::vector<std::string>& paths,
                 std::chrono::milliseconds timeout) {
    const Atom selection = XInternAtom(display, "XdndSelection", False);
    const Atom enter = XInternAtom(display, "XdndEnter", False);
    const Atom position = XInternAtom(display, "XdndPosition", False);
    const Atom status = XInternAtom(display, "XdndStatus", False);
    const Atom drop = XInternAtom(display, "XdndDrop", False);
    const Atom finished = XInternAtom(display, "XdndFinished", False);
    const Atom leave = XInternAtom(display, "XdndLeave", False);
    const Atom copy = XInternAtom(display, "XdndActionCopy", False);
    const Atom uriList = XInternAtom(display, "text/uri-list", False);

    std::string uris;
    for (const std::string& path : paths)
        uris += fileUri(path) + "\r\n";

    const Window root = DefaultRootWindow(display);
    const Window source = XCreateSimpleWindow(display, root, 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(display, selection, source, CurrentTime);
    int rootX = 0, rootY = 0;
    Window child = 0;
    XTranslateCoordinates(display, target, root, 400, 300, &rootX, &rootY, &child);

    const long version = 5;
    sendClientMessage(display, target, enter,
                      {static_cast<long>(source), version << 24, static_cast<long>(uriList), 0, 0});
    sendClientMessage(display, target, position,
                      {static_cast<long>(source), 0, (long(rootX) << 16) | rootY, CurrentTime,
                       static_cast<long>(copy)});

    bool dropped = false;
    bool done = false;
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done && std::chrono::steady_clock::now() < end) {
        if (!XPending(display)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == ClientMessage && event.xclient.message_type == status && !dropped) {
            dropped = true;
            if ((event.xclient.data.l[1] & 1) == 0) {
                sendClientMessage(display, target, leave, {static_cast<long>(source), 0, 0, 0, 0});
                break; // the target refused
            }
            sendClientMessage(display, target, drop,
                              {static_cast<long>(source), 0, CurrentTime, 0, 0});
        } else if (event.type == SelectionRequest) {
            const XSelectionRequestEvent& request = event.xselectionrequest;
            XEvent reply{};
            reply.xselection.type = SelectionNotify;
            reply.xselection.requestor = request.requestor;
            reply.xselection.selection = request.selection;
            reply.xselection.target = request.target;
            reply.xselection.time = request.time;
            reply.xselection.property = None;
            if (request.target == uriList) {
                XChangeProperty(display, request.requestor, request.property, uriList, 8,
                                PropModeReplace,
                                reinterpret_cast<const unsigned char*>(uris.data()),
                                static_cast<int>(uris.size()));
                reply.xselection.property = request.property;
            }
            XSendEvent(display, request.requestor, False, NoEventMask, &reply);
            XFlush(display);
        } else if (event.type == ClientMessage && event.xclient.message_type == finished) {
            done = true;
        }
    }
    XDestroyWindow(display, source);
    XFlush(display);
    return done;
}

void dragFromAVanishingSource(Display* display, Window target) {
    const Atom enter = XInternAtom(display, "XdndEnter", False);
    const Atom position = XInternAtom(display, "XdndPosition", False);
    const Atom uriList = XInternAtom(display, "text/uri-list", False);
    const Atom copy = XInternAtom(display, "XdndActionCopy", False);
    const Window root = DefaultRootWindow(display);
    const Window source = XCreateSimpleWindow(display, root, 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(display, XInternAtom(display, "XdndSelection", False), source, CurrentTime);
    sendClientMessage(display, target, enter,
                      {static_cast<long>(source), 5L << 24, static_cast<long>(uriList), 0, 0});
    sendClientMessage(
        display, target, position,
        {static_cast<long>(source), 0, (400L << 16) | 300, CurrentTime, static_cast<long>(copy)});
    XDestroyWindow(display, source);
    XFlush(display);
}

} // namespace e2e
