// The viewer as a user runs it (its WinMain, its window, "stand_1.tgl" and
// "font1.fnt" from the current folder) for a number of frames: the CPU it
// takes per wall second and a histogram of the intervals between presented
// frames at its 100 fps target. A plain program, so that it also runs in the
// Windows build under Wine, where Google Benchmark is not packaged:
//     cd build/sample && ../bin/viewer_pacing [FRAMES]
//     cd build/sample && wine ../../build-windows/bin/viewer_pacing.exe [FRAMES]

#include "app/win_main.h"
#include "engine/engine_ref.h"
#include "engine/engine_test_hooks.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/resource.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kWarmUp = 50; // the first load and the window's first paints
std::vector<Clock::time_point> presented;
double cpuAfterWarmUp = 0;

// User plus system time of this process, in seconds.
double processSeconds() {
#if defined(_WIN32)
    FILETIME created, ended, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    auto seconds = [](FILETIME t) {
        return double(ULONGLONG(t.dwHighDateTime) << 32 | t.dwLowDateTime) * 1e-7;
    };
    return seconds(kernel) + seconds(user);
#else
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
#endif
}

bool notePresent() {
    presented.push_back(Clock::now());
    if (presented.size() == kWarmUp) cpuAfterWarmUp = processSeconds();
    return false;
}

} // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::atoi(argv[1]) : 1000;
    // WinMain takes a reference of its own; this one holds the hooks.
    EngineRef engine;
    engine->testHooks()->setStopAfterFrames(frames + int(kWarmUp));
    engine->testHooks()->setBeforePresent(notePresent);
    presented.reserve(std::size_t(frames) + kWarmUp);
    char noCommandLine[] = "";
    WinMain(nullptr, nullptr, noCommandLine, SW_SHOWNORMAL);
    const double cpuEnd = processSeconds();

    if (presented.size() < kWarmUp + 2) {
        std::fprintf(stderr, "viewer_pacing: only %zu frames were presented\n", presented.size());
        return 1;
    }
    const std::size_t measured = presented.size() - kWarmUp;
    const double wall =
        std::chrono::duration<double>(presented.back() - presented[kWarmUp - 1]).count();
    std::printf("%zu frames in %.2f s: %.1f fps, CPU %.1f %% of one core\n", measured, wall,
                double(measured) / wall, 100.0 * (cpuEnd - cpuAfterWarmUp) / wall);

    // Intervals in whole milliseconds, 0 to 20 and over.
    int histogram[22] = {};
    double worst = 0;
    for (std::size_t i = kWarmUp; i < presented.size(); ++i) {
        const double ms =
            std::chrono::duration<double, std::milli>(presented[i] - presented[i - 1]).count();
        worst = ms > worst ? ms : worst;
        ++histogram[ms >= 21 ? 21 : int(ms)];
    }
    std::printf("frame intervals at a 10 ms target (worst %.1f ms):\n", worst);
    for (int ms = 0; ms < 22; ++ms)
        if (histogram[ms])
            std::printf("  %s%2d ms: %d\n", ms == 21 ? ">=" : "  ", ms, histogram[ms]);
    return 0;
}
