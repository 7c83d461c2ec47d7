#pragma once

#include <nlohmann/json.hpp>

#include <string>

namespace tgltool {

// dump(indent), with each byte that is not UTF-8 (a Linux file name may hold
// any) written as U+FFFD instead of thrown on.
std::string jsonText(const nlohmann::json& value, int indent);

// A JSON document whose "frames" array is written a frame at a time, in the
// bytes that dump(2) of the whole document would give: head(), then each
// frame's element(), then tail().
class FramesJson {
  public:
    // `document` with "frames" an empty array.
    explicit FramesJson(const nlohmann::json& document);
    // Up to and with the array's "[".
    const std::string& head() const { return head_; }
    // The frame's object, after a comma unless it is the first.
    static std::string element(const nlohmann::json& frame, bool first);
    // The array's "]" and the rest of the document, with a final newline.
    std::string tail(bool anyFrames) const;

  private:
    std::string head_, rest_;
};

} // namespace tgltool
