#pragma once

#include <chrono>
#include <cstdint>
#include <string>

// Tells when a file has changed: through inotify on its folder on Linux, so
// that a save that writes a new file and renames it over the old one counts,
// and by its size and modification time every 250 ms elsewhere. A burst of
// changes (a save in several writes) counts once, when it has been still for
// 50 ms.
namespace tgltool {

class FileWatch {
  public:
    using Clock = std::chrono::steady_clock;

    explicit FileWatch(const std::string& path);
    ~FileWatch();
    FileWatch(const FileWatch&) = delete;
    FileWatch& operator=(const FileWatch&) = delete;

    // True once for each change that has settled by `now`.
    bool changed(Clock::time_point now);

  private:
    bool sawChange(Clock::time_point now);

    std::string path_;
    std::string name_; // inside its folder
    int inotify_ = -1;
    Clock::time_point lastChange_{};
    Clock::time_point lastLook_{};
    std::uintmax_t size_ = 0;
    std::int64_t modified_ = 0;
    bool pending_ = false;
};

} // namespace tgltool
