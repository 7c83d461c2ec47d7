#include "image/input_file.h"

#include "platform/file_names.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace imaging {

namespace {

#if defined(_WIN32)
constexpr int kOpenFlags = O_RDONLY | O_BINARY; // opening never waits for a writer there
#else
constexpr int kOpenFlags = O_RDONLY | O_NONBLOCK; // a FIFO with no writer opens at once
#endif

} // namespace

InputFile openInputFile(const char* path, std::uint64_t maxBytes) {
    InputFile result;
    if (!path) return result;
#if defined(_WIN32)
    const int descriptor = _wopen(filenames::wide(path).c_str(), kOpenFlags);
#else
    const int descriptor = ::open(path, kOpenFlags);
#endif
    if (descriptor < 0) return result;
    struct stat info {};
    if (fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(descriptor);
        result.status = InputFileStatus::NotRegular;
        return result;
    }
    if (std::uint64_t(info.st_size) >= maxBytes) {
        ::close(descriptor);
        result.status = InputFileStatus::TooLarge;
        return result;
    }
#if !defined(_WIN32)
    fcntl(descriptor, F_SETFL, fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
#endif
    result.file = fdopen(descriptor, "rb");
    if (!result.file) {
        ::close(descriptor);
        return result;
    }
    result.status = InputFileStatus::Ok;
    result.size = std::uint64_t(info.st_size);
    return result;
}

const char* inputFileProblem(InputFileStatus status) {
    switch (status) {
    case InputFileStatus::Ok: return "";
    case InputFileStatus::CannotOpen: return "cannot be opened";
    case InputFileStatus::NotRegular: return "is not a regular file";
    case InputFileStatus::TooLarge: return "is too large";
    }
    return "";
}

} // namespace imaging
