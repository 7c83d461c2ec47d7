#include "platform/window_host.h"

#include <chrono>
#include <utility>

namespace {

DWORD steadyMilliseconds() {
    using namespace std::chrono;
    auto now = duration_cast<milliseconds>(steady_clock::now().time_since_epoch());
    return static_cast<DWORD>(now.count()); // keeps the low 32 bits: the clock wraps
}

struct Clock {
    std::function<DWORD()> source = steadyMilliseconds;
    DWORD offset = 0; // unsigned arithmetic wraps as the 32-bit timer does
};

Clock& timerClock() {
    static Clock c;
    return c;
}

} // namespace

DWORD timeGetTime() { return timerClock().source() + timerClock().offset; }

namespace platform {

void setTimeOrigin(DWORD now) { timerClock().offset = now - timerClock().source(); }

void setTimeSource(std::function<DWORD()> source) {
    timerClock().source = source ? std::move(source) : steadyMilliseconds;
    timerClock().offset = 0;
}

} // namespace platform
