#include "platform/file_names.h"

#include "platform/text_encoding.h"

#if defined(_WIN32)
#include <windows.h>

#include <shellapi.h>
#else
#include <cerrno>
#endif

namespace filenames {

#if defined(_WIN32)

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 on Windows");

std::wstring wide(std::string_view utf8) {
    const std::u16string units = textencoding::utf16FromUtf8(utf8);
    return std::wstring(units.begin(), units.end());
}

std::string utf8(std::wstring_view wide) {
    return textencoding::utf8FromUtf16(
        std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

std::filesystem::path pathFromUtf8(const std::string& name) { return wide(name); }
std::string utf8FromPath(const std::filesystem::path& path) { return utf8(path.native()); }

std::FILE* openFile(const std::string& name, const char* mode) {
    return _wfopen(wide(name).c_str(), wide(mode).c_str());
}

bool removeFile(const std::string& name) { return DeleteFileW(wide(name).c_str()) != 0; }

std::error_code replaceFile(const std::string& from, const std::string& to) {
    if (MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING)) return {};
    return std::error_code(int(GetLastError()), std::system_category());
}

std::string programPath() {
    for (DWORD size = 512; size <= 65536; size *= 2) {
        std::wstring path(size, L'\0');
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), size);
        if (length == 0) return {};
        if (length < size) return utf8(std::wstring_view(path.data(), length));
    }
    return {};
}

std::vector<std::string> commandLineArguments() {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> out;
    for (int i = 0; arguments && i < count; ++i)
        out.push_back(utf8(arguments[i]));
    LocalFree(arguments);
    return out;
}

Utf8Console::Utf8Console() : previous_(GetConsoleOutputCP()) {
    if (previous_) SetConsoleOutputCP(CP_UTF8);
}

Utf8Console::~Utf8Console() {
    if (previous_) SetConsoleOutputCP(previous_);
}

#else

std::filesystem::path pathFromUtf8(const std::string& name) { return name; }
std::string utf8FromPath(const std::filesystem::path& path) { return path.native(); }

std::FILE* openFile(const std::string& name, const char* mode) {
    return std::fopen(name.c_str(), mode);
}

bool removeFile(const std::string& name) { return std::remove(name.c_str()) == 0; }

std::error_code replaceFile(const std::string& from, const std::string& to) {
    if (std::rename(from.c_str(), to.c_str()) == 0) return {};
    return std::error_code(errno, std::generic_category());
}

std::string programPath() {
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error).native();
}

#endif

} // namespace filenames
