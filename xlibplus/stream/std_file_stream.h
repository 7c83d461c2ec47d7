#pragma once

#include "xlibplus/stream/stream.h"

#include <cstdio>

namespace xlibplus {

// A stream over a file of the standard I/O library, in the host's byte order.
// It owns the file it opened and closes it in close or its destructor. A failed
// open is silent: isOpen is false and every operation gives its neutral value.
class xStdFileStream : public xStream {
  public:
    xStdFileStream(const char* fileName, const char* mode);
    // Takes over a file already open for reading; null gives a closed stream.
    explicit xStdFileStream(std::FILE* adopted);
    xStdFileStream(const xStdFileStream&) = delete;
    xStdFileStream& operator=(const xStdFileStream&) = delete;
    ~xStdFileStream() override;

    bool isOpen() const { return file_ != nullptr; }
    void close();

    std::uint32_t tell() override;
    void seek(std::uint32_t position) override;
    // Moves to the end and back.
    std::uint32_t size() override;
    // True only once a read has tried to go past the end, or the file failed.
    bool eof() override;
    // The whole count or 0, never part of it.
    std::uint32_t read(void* destination, std::uint32_t count) override;
    // Flushed at once.
    std::uint32_t write(const void* source, std::uint32_t count) override;

  private:
    std::FILE* file_;
};

} // namespace xlibplus
