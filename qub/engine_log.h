#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>

namespace qub {

// The engine's log file: one line per call, flushed at once so that nothing is
// lost when the process dies. Not copyable: it owns the open file.
class EngineLog {
  public:
    EngineLog() = default;
    EngineLog(const EngineLog&) = delete;
    EngineLog& operator=(const EngineLog&) = delete;
    ~EngineLog();

    // Starts the file afresh; an empty name keeps the log closed.
    void open(const std::string& fileName);
    void close();
    bool isOpen() const { return file_ != nullptr; }

    void line(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    void lineV(const char* format, std::va_list args);

  private:
    std::FILE* file_ = nullptr;
};

} // namespace qub
