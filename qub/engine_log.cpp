#include "qub/engine_log.h"

#include "platform/file_names.h"

#include <vector>

namespace qub {

EngineLog::~EngineLog() { close(); }

void EngineLog::open(const std::string& fileName) {
    close();
    if (fileName.empty()) return;
    file_ = filenames::openFile(fileName, "w");
}

void EngineLog::close() {
    if (!file_) return;
    std::fclose(file_);
    file_ = nullptr;
}

void EngineLog::line(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    lineV(format, args);
    va_end(args);
}

void EngineLog::lineV(const char* format, std::va_list args) {
    if (!file_ || !format) return;

    char small[512];
    std::va_list retry;
    va_copy(retry, args);
    int length = std::vsnprintf(small, sizeof small, format, args);
    if (length < 0) {
        va_end(retry);
        return;
    }
    if (static_cast<std::size_t>(length) < sizeof small) {
        std::fwrite(small, 1, static_cast<std::size_t>(length), file_);
    } else {
        std::vector<char> large(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(large.data(), large.size(), format, retry);
        std::fwrite(large.data(), 1, static_cast<std::size_t>(length), file_);
    }
    va_end(retry);
    std::fputc('\n', file_);
    std::fflush(file_);
}

} // namespace qub
