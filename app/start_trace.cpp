#include "app/start_trace.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

void traceStartStep(const char* step) {
    static const char* const path = std::getenv("TGLVIEW_TRACE");
    if (!path) return;
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    if (std::FILE* file = std::fopen(path, "a")) {
        std::fprintf(file, "%lld %s\n",
                     static_cast<long long>(
                         std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()),
                     step);
        std::fclose(file);
    }
}
