#pragma once

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
