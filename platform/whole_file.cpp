#include "platform/file_names.h"

#include <cerrno>

#if defined(_WIN32)
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

namespace filenames {

namespace {

std::error_code lastError() {
    return std::error_code(errno ? errno : EIO, std::generic_category());
}

} // namespace

WholeFile::WholeFile(std::string name)
    : name_(std::move(name)), temporary_(name_ + ".part-" + std::to_string(getpid())) {
    errno = 0;
    file_ = openFile(temporary_, "wb");
    if (!file_) error_ = lastError();
}

WholeFile::~WholeFile() {
    if (!file_) return;
    std::fclose(file_);
    removeFile(temporary_);
}

void WholeFile::write(const void* bytes, std::size_t size) {
    if (!file_ || error_ || size == 0) return;
    errno = 0;
    if (std::fwrite(bytes, 1, size, file_) != size) error_ = lastError();
}

std::error_code WholeFile::commit() {
    if (!file_) return error_;
    errno = 0;
    if (std::fclose(file_) != 0 && !error_) error_ = lastError();
    file_ = nullptr;
    if (!error_) error_ = replaceFile(temporary_, name_);
    if (error_) removeFile(temporary_);
    return error_;
}

std::error_code writeWholeFile(const std::string& name, const void* bytes, std::size_t size) {
    WholeFile file(name);
    file.write(bytes, size);
    return file.commit();
}

} // namespace filenames
