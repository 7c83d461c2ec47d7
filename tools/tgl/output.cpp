#include "tools/tgl/output.h"

#include "image/image.h"
#include "image/input_file.h"
#include "image/limits.h"
#include "platform/file_names.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace tgltool {

// Whatever stands at the path counts, a dangling symbolic link too; --force
// replaces a regular file and nothing else (not a link, a FIFO or a folder).
void refuseExisting(const std::string& path, bool overwrite) {
    std::error_code error;
    const std::filesystem::file_status status =
        std::filesystem::symlink_status(filenames::pathFromUtf8(path), error);
    if (!std::filesystem::exists(status)) return;
    if (!overwrite) throw CommandError(path + ": already exists (use --force to replace it)");
    if (!std::filesystem::is_regular_file(status))
        throw CommandError(path + ": is not a regular file, which is all --force replaces");
}

void refuseExisting(const std::vector<std::string>& paths, bool overwrite) {
    for (const std::string& path : paths)
        refuseExisting(path, overwrite);
}

void writePngWhole(const std::string& path, const std::uint32_t* argb, int width, int height,
                   bool overwrite) {
    const std::vector<std::uint8_t> png = imaging::encodePng(argb, width, height);
    if (png.empty()) throw CommandError(path + ": cannot write");
    writeWhole(path, png, overwrite);
}

namespace {

std::string cannotWrite(const std::string& path, std::error_code error) {
    return path + ": cannot write" + (error ? " (" + error.message() + ")" : std::string());
}

} // namespace

WholeFile::WholeFile(const std::string& path, bool overwrite)
    : path_((refuseExisting(path, overwrite), path)), file_(path) {
    if (file_.error()) throw CommandError(cannotWrite(path_, file_.error()));
}

void WholeFile::commit() {
    if (const std::error_code error = file_.commit()) throw CommandError(cannotWrite(path_, error));
}

void writeWhole(const std::string& path, const std::vector<std::uint8_t>& bytes, bool overwrite) {
    refuseExisting(path, overwrite);
    if (const std::error_code error = filenames::writeWholeFile(path, bytes))
        throw CommandError(cannotWrite(path, error));
}

std::vector<std::uint8_t> readWhole(const std::string& path) {
    const imaging::InputFile input =
        imaging::openInputFile(path.c_str(), InputLimits::kMaxFileBytes);
    if (input.status != imaging::InputFileStatus::Ok)
        throw CommandError(path + ": " + imaging::inputFileProblem(input.status));
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(input.size));
    const bool whole = std::fread(bytes.data(), 1, bytes.size(), input.file) == bytes.size();
    std::fclose(input.file);
    if (!whole) throw CommandError(path + ": cannot be read");
    return bytes;
}

std::string inFolder(const std::string& folder, const std::string& name) {
    return filenames::utf8FromPath(filenames::pathFromUtf8(folder) / filenames::pathFromUtf8(name));
}

std::string hex(const std::vector<std::uint8_t>& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (std::uint8_t b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

Progress::Progress(std::string label, std::size_t total)
    : label_(std::move(label)), total_(total), start_(std::chrono::steady_clock::now()),
      terminal_(isatty(2) != 0) {}

Progress::~Progress() {
    if (shown_) std::fprintf(stderr, "\n");
}

void Progress::step(std::size_t done) {
    if (!terminal_) return;
    if (!shown_ && std::chrono::steady_clock::now() - start_ < std::chrono::seconds(1)) return;
    shown_ = true;
    if (total_ == 0) // not known ahead
        std::fprintf(stderr, "\r%s: %zu", label_.c_str(), done);
    else
        std::fprintf(stderr, "\r%s: %zu/%zu", label_.c_str(), done, total_);
    std::fflush(stderr);
}

} // namespace tgltool
