#include "tools/tgl/play/file_watch.h"

#include "platform/file_names.h"

#include <filesystem>
#include <system_error>

#if defined(__linux__)
#include <sys/inotify.h>
#include <unistd.h>
#endif

namespace tgltool {

namespace {

constexpr auto kSettle = std::chrono::milliseconds(50);
constexpr auto kLookEvery = std::chrono::milliseconds(250);

} // namespace

FileWatch::FileWatch(const std::string& path) : path_(path) {
    const std::filesystem::path file = filenames::pathFromUtf8(path);
    name_ = filenames::utf8FromPath(file.filename());
#if defined(__linux__)
    inotify_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    const std::string folder = file.has_parent_path() ? file.parent_path().string() : ".";
    if (inotify_ >= 0 &&
        inotify_add_watch(inotify_, folder.c_str(),
                          IN_CLOSE_WRITE | IN_MODIFY | IN_MOVED_TO | IN_CREATE | IN_ATTRIB) < 0) {
        close(inotify_);
        inotify_ = -1;
    }
#endif
    sawChange(Clock::now()); // the size and time it starts from
    pending_ = false;
}

FileWatch::~FileWatch() {
#if defined(__linux__)
    if (inotify_ >= 0) close(inotify_);
#endif
}

bool FileWatch::changed(Clock::time_point now) {
    if (sawChange(now)) {
        pending_ = true;
        lastChange_ = now;
    }
    if (!pending_ || now - lastChange_ < kSettle) return false;
    pending_ = false;
    return true;
}

bool FileWatch::sawChange(Clock::time_point now) {
    bool seen = false;
#if defined(__linux__)
    if (inotify_ >= 0) {
        alignas(inotify_event) char buffer[4096];
        for (ssize_t got; (got = read(inotify_, buffer, sizeof buffer)) > 0;)
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (event->len > 0 && name_ == event->name) seen = true;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        return seen;
    }
#endif
    if (now - lastLook_ < kLookEvery) return false;
    lastLook_ = now;
    std::error_code error;
    const std::filesystem::path file = filenames::pathFromUtf8(path_);
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    const std::int64_t modified =
        error ? 0 : std::filesystem::last_write_time(file, error).time_since_epoch().count();
    seen = size != size_ || modified != modified_;
    size_ = size;
    modified_ = modified;
    return seen;
}

} // namespace tgltool
