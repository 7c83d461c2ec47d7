#pragma once

#include "platform/file_names.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace tgltool {

// A failure that ends the command with exit code 2: usage or input/output.
struct CommandError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Writes the whole file under a temporary name beside it, then renames it, so
// that no half-written file is ever seen. Refuses an existing file unless
// `overwrite`.
void writeWhole(const std::string& path, const std::vector<std::uint8_t>& bytes, bool overwrite);
void refuseExisting(const std::string& path, bool overwrite);
// The same for a PNG of 0xAARRGGBB pixels.
void writePngWhole(const std::string& path, const std::uint32_t* argb, int width, int height,
                   bool overwrite);
// The same for a file written piece by piece; a failure is a CommandError.
class WholeFile {
  public:
    WholeFile(const std::string& path, bool overwrite);
    void write(const std::string& text) { file_.write(text.data(), text.size()); }
    void commit();

  private:
    std::string path_;
    filenames::WholeFile file_;
};
// Every output checked before the first is written: all or nothing.
void refuseExisting(const std::vector<std::string>& paths, bool overwrite);
std::vector<std::uint8_t> readWhole(const std::string& path);
// `name` inside `folder`, both UTF-8 (bytes on Linux).
std::string inFolder(const std::string& folder, const std::string& name);

// Lower-case hexadecimal digits, two per byte.
std::string hex(const std::vector<std::uint8_t>& bytes);

// A progress line on standard error for work that takes more than a second,
// only when standard error is a terminal.
class Progress {
  public:
    Progress(std::string label, std::size_t total); // total 0: not known ahead
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;
    ~Progress();
    void step(std::size_t done);

  private:
    std::string label_;
    std::size_t total_;
    std::chrono::steady_clock::time_point start_;
    bool shown_ = false;
    bool terminal_;
};

} // namespace tgltool
