// The viewer's start as a user meets it: starts the real viewer in FOLDER
// (which holds its "stand_1.tgl") under the current display, and reports the
// time from exec to the first presented frame that shows the animation (and
// to the window), the CPU it takes per wall second over SECONDS of play once
// the file is loaded, and its peak resident memory; the median of RUNS runs.
//     build/bin/viewer_start build/bin/tglview FOLDER [SECONDS=10] [RUNS=3]
// The viewer says when each step happened through TGLVIEW_TRACE. On Linux it
// also measures another program the same way, for the first picture from
// outside: the first new window on the display whose picture is not one
// colour.
//     build/bin/viewer_start --peer FOLDER SECONDS RUNS -- PROGRAM ARGS...

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#if defined(_WIN32)
#include <windows.h>

#include <psapi.h> // after windows.h, which it needs
#else
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <csignal>
#include <fcntl.h>
#include <set>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The viewer, started in a folder, until it is ended.
class Viewer {
  public:
    // The program and its arguments.
    Viewer(const std::vector<std::string>& command, const std::string& folder,
           const std::string& trace) {
#if defined(_WIN32)
        SetEnvironmentVariableA("TGLVIEW_TRACE", trace.c_str());
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        std::string line;
        for (const std::string& word : command)
            line += (line.empty() ? "\"" : " \"") + word + "\"";
        started_ = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                  folder.c_str(), &startup, &process_);
#else
        std::vector<char*> argv;
        for (const std::string& word : command)
            argv.push_back(const_cast<char*>(word.c_str()));
        argv.push_back(nullptr);
        pid_ = fork();
        if (pid_ == 0) {
            setenv("TGLVIEW_TRACE", trace.c_str(), 1);
            const int quiet = open("/dev/null", O_WRONLY);
            dup2(quiet, 1);
            dup2(quiet, 2);
            if (chdir(folder.c_str()) == 0) execvp(argv[0], argv.data());
            _exit(127);
        }
        started_ = pid_ > 0;
#endif
    }
    ~Viewer() {
#if defined(_WIN32)
        if (!started_) return;
        TerminateProcess(process_.hProcess, 0);
        WaitForSingleObject(process_.hProcess, INFINITE);
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
#else
        if (!started_) return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
#endif
    }
    bool started() const { return started_; }

    // User and system time so far.
    std::chrono::nanoseconds cpu() const {
#if defined(_WIN32)
        FILETIME created, exited, kernel, user;
        GetProcessTimes(process_.hProcess, &created, &exited, &kernel, &user);
        const auto ticks = [](FILETIME t) {
            return (std::uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime) * 100;
        };
        return std::chrono::nanoseconds(ticks(kernel) + ticks(user));
#else
        std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), {});
        std::istringstream fields(text.substr(text.rfind(')') + 2));
        std::string field;
        long long user = 0, system = 0;
        for (int i = 3; i <= 15 && fields >> field; ++i) {
            if (i == 14) user = std::stoll(field);
            if (i == 15) system = std::stoll(field);
        }
        return std::chrono::nanoseconds((user + system) * (1000000000LL / sysconf(_SC_CLK_TCK)));
#endif
    }

    // Resident memory now, and at its peak.
    double residentMiB(bool peak) const {
#if defined(_WIN32)
        PROCESS_MEMORY_COUNTERS counters{};
        GetProcessMemoryInfo(process_.hProcess, &counters, sizeof counters);
        return double(peak ? counters.PeakWorkingSetSize : counters.WorkingSetSize) / (1 << 20);
#else
        std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
        const std::string field = peak ? "VmHWM:" : "VmRSS:";
        for (std::string line; std::getline(status, line);)
            if (line.rfind(field, 0) == 0) return std::stod(line.substr(6)) / 1024;
        return 0;
#endif
    }

  private:
    bool started_ = false;
#if defined(_WIN32)
    PROCESS_INFORMATION process_{};
#else
    pid_t pid_ = -1;
#endif
};

// When the trace names `step`, in the steady clock's time; waits for it.
std::optional<Clock::time_point> traced(const std::string& trace, const std::string& step,
                                        Clock::duration patience) {
    for (const auto end = Clock::now() + patience; Clock::now() < end;
         std::this_thread::sleep_for(1ms)) {
        std::ifstream in(trace);
        long long ns = 0;
        std::string name;
        while (in >> ns >> name)
            if (name == step) return Clock::time_point(std::chrono::nanoseconds(ns));
    }
    return std::nullopt;
}

struct Run {
    double windowMs = 0, pictureMs = 0, cpuPercent = 0, peakMiB = 0, steadyMiB = 0;
};

// CPU per wall second over `seconds` of play, then resident memory.
void measurePlaying(const Viewer& viewer, int seconds, Run& run) {
    const auto cpuBefore = viewer.cpu();
    const auto wallBefore = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const auto wall = Clock::now() - wallBefore;
    run.cpuPercent = 100.0 * double((viewer.cpu() - cpuBefore).count()) / double(wall.count());
    run.peakMiB = viewer.residentMiB(true);
    run.steadyMiB = viewer.residentMiB(false);
}

std::optional<Run> runOnce(const std::string& program, const std::string& folder, int seconds) {
    const std::string trace = folder + "/viewer_start.trace";
    std::remove(trace.c_str());
    const Clock::time_point exec = Clock::now();
    Viewer viewer({program}, folder, trace);
    if (!viewer.started()) return std::nullopt;
    const auto picture = traced(trace, "picture", 20s);
    const auto window = traced(trace, "window", 1s);
    if (!picture || !window) return std::nullopt;
    const auto ms = [&](Clock::time_point t) {
        return std::chrono::duration<double, std::milli>(t - exec).count();
    };
    Run run;
    run.pictureMs = ms(*picture);
    run.windowMs = ms(*window);
    if (!traced(trace, "loaded", 60s)) return std::nullopt;
    std::this_thread::sleep_for(500ms);
    measurePlaying(viewer, seconds, run);
    return run;
}

#if !defined(_WIN32)
// Another program's first picture, seen from outside: the first window that
// was not on the display before it started, mapped, and not of one colour.
class FirstPicture {
  public:
    FirstPicture() : display_(XOpenDisplay(nullptr)) {
        if (display_) before_ = topLevels();
    }
    ~FirstPicture() {
        if (display_) XCloseDisplay(display_);
    }
    bool ready() const { return display_ != nullptr; }
    // Polls until the window appears and then shows a picture.
    bool wait(Clock::duration patience, Clock::time_point& window, Clock::time_point& picture) {
        std::optional<Window> shown;
        for (const auto end = Clock::now() + patience; Clock::now() < end;
             std::this_thread::sleep_for(2ms)) {
            if (!shown) {
                for (Window w : topLevels())
                    if (!before_.count(w) && viewable(w)) shown = w;
                if (shown) window = Clock::now();
            }
            if (shown && showsAPicture(*shown)) {
                picture = Clock::now();
                return true;
            }
        }
        return false;
    }

  private:
    std::set<Window> topLevels() {
        std::set<Window> found;
        Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        if (XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count)) {
            found.insert(children, children + count);
            XFree(children);
        }
        return found;
    }
    bool viewable(Window w) {
        XWindowAttributes a{};
        return XGetWindowAttributes(display_, w, &a) && a.map_state == IsViewable && a.width > 16 &&
               a.height > 16;
    }
    bool showsAPicture(Window w) {
        XWindowAttributes a{};
        if (!XGetWindowAttributes(display_, w, &a)) return false;
        XImage* image =
            XGetImage(display_, w, 0, 0, unsigned(a.width), unsigned(a.height), AllPlanes, ZPixmap);
        if (!image) return false;
        const unsigned long first = XGetPixel(image, 0, 0);
        bool varied = false;
        for (int y = 0; y < a.height && !varied; y += 2)
            for (int x = 0; x < a.width && !varied; x += 2)
                varied = XGetPixel(image, x, y) != first;
        XDestroyImage(image);
        return varied;
    }

    Display* display_;
    std::set<Window> before_;
};

std::optional<Run> runPeer(const std::vector<std::string>& command, const std::string& folder,
                           int seconds) {
    FirstPicture watch;
    if (!watch.ready()) return std::nullopt;
    const Clock::time_point exec = Clock::now();
    Viewer peer(command, folder, "/dev/null");
    Clock::time_point window, picture;
    if (!peer.started() || !watch.wait(20s, window, picture)) return std::nullopt;
    const auto ms = [&](Clock::time_point t) {
        return std::chrono::duration<double, std::milli>(t - exec).count();
    };
    Run run;
    run.pictureMs = ms(picture);
    run.windowMs = ms(window);
    std::this_thread::sleep_for(1500ms); // as the viewer: once the file is loaded
    measurePlaying(peer, seconds, run);
    return run;
}
#endif

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    const bool peerMode = argc > 1 && std::string(argv[1]) == "--peer";
    const int first = peerMode ? 2 : 1;
    std::vector<std::string> peer;
    for (int i = first + 4; peerMode && i < argc; ++i)
        peer.push_back(argv[i]);
    if (argc < first + 2 || (peerMode && (peer.empty() || std::string(argv[5]) != "--"))) {
        std::fprintf(stderr, "usage: viewer_start VIEWER FOLDER [SECONDS=10] [RUNS=3]\n"
                             "       viewer_start --peer FOLDER SECONDS RUNS -- PROGRAM ARGS...\n");
        return 2;
    }
    const std::string folder = argv[2];
    const int seconds = argc > 3 ? std::atoi(argv[3]) : 10;
    const int runs = argc > 4 ? std::atoi(argv[4]) : 3;
    std::vector<double> window, picture, cpu, peak, steady;
    for (int i = 0; i < runs; ++i) {
#if defined(_WIN32)
        const std::optional<Run> run = runOnce(argv[1], folder, seconds);
#else
        const std::optional<Run> run =
            peerMode ? runPeer(peer, folder, seconds) : runOnce(argv[1], folder, seconds);
#endif
        if (!run) {
            std::fprintf(stderr, "viewer_start: the viewer showed no animation\n");
            return 1;
        }
        window.push_back(run->windowMs);
        picture.push_back(run->pictureMs);
        cpu.push_back(run->cpuPercent);
        peak.push_back(run->peakMiB);
        steady.push_back(run->steadyMiB);
        std::printf("run %d: window %.0f ms, first picture %.0f ms, CPU %.2f %%, memory peak %.1f "
                    "MiB, playing %.1f MiB\n",
                    i + 1, run->windowMs, run->pictureMs, run->cpuPercent, run->peakMiB,
                    run->steadyMiB);
    }
    std::printf("median: window %.0f ms, first picture %.0f ms, CPU %.2f %%, memory peak %.1f MiB, "
                "playing %.1f MiB\n",
                median(window), median(picture), median(cpu), median(peak), median(steady));
    return 0;
}
