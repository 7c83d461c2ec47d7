#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

// File names cross into the system here. Inside the programs a name is a
// std::string of UTF-8; on Windows each of these goes through the wide API,
// elsewhere a name is bytes and goes through as it is.
namespace filenames {

std::filesystem::path pathFromUtf8(const std::string& name);
std::string utf8FromPath(const std::filesystem::path& path);

// fopen, remove, and a rename that replaces what stands at `to` (the reason
// when it fails).
std::FILE* openFile(const std::string& name, const char* mode);
bool removeFile(const std::string& name);
std::error_code replaceFile(const std::string& from, const std::string& to);

// A file written under a temporary name beside its own and renamed over it
// by commit(), so that no half-written file is ever seen; a file never
// committed is removed.
class WholeFile {
  public:
    explicit WholeFile(std::string name); // the reason in error() when it cannot be made
    WholeFile(const WholeFile&) = delete;
    WholeFile& operator=(const WholeFile&) = delete;
    ~WholeFile();
    void write(const void* bytes, std::size_t size);
    std::error_code commit();
    std::error_code error() const { return error_; }

  private:
    std::string name_, temporary_;
    std::FILE* file_ = nullptr;
    std::error_code error_;
};

// The whole file at once, as WholeFile writes it.
std::error_code writeWholeFile(const std::string& name, const void* bytes, std::size_t size);
inline std::error_code writeWholeFile(const std::string& name,
                                      const std::vector<std::uint8_t>& bytes) {
    return writeWholeFile(name, bytes.data(), bytes.size());
}

// The running program's own path, any length; empty when it cannot be told.
std::string programPath();

#if defined(_WIN32)
std::wstring wide(std::string_view utf8);
std::string utf8(std::wstring_view wide);

// The command line's arguments, the program first, as UTF-8.
std::vector<std::string> commandLineArguments();

// While it lives, a console that the program writes to reads its bytes as
// UTF-8; a pipe or a file gets the bytes as they are.
class Utf8Console {
  public:
    Utf8Console();
    Utf8Console(const Utf8Console&) = delete;
    Utf8Console& operator=(const Utf8Console&) = delete;
    ~Utf8Console();

  private:
    unsigned previous_;
};
#endif

} // namespace filenames
