#include "tools/tgl/frames_json.h"

#include <stdexcept>

namespace tgltool {

std::string jsonText(const nlohmann::json& value, int indent) {
    return value.dump(indent, ' ', false, nlohmann::json::error_handler_t::replace);
}

FramesJson::FramesJson(const nlohmann::json& document) {
    const std::string text = jsonText(document, 2);
    // The key at the top level, one line of its own two spaces in: a string's
    // own line breaks are written as \n, so no text in a value can match it.
    const std::string mark = "\n  \"frames\": [";
    const std::size_t found = text.find(mark);
    if (found == std::string::npos) throw std::logic_error("the document has no \"frames\" array");
    const std::size_t at = found + mark.size();
    head_ = text.substr(0, at);
    rest_ = text.substr(at + 1); // after the empty array's "]"
}

// Inside the top-level object's array, two levels in: four spaces a line.
std::string FramesJson::element(const nlohmann::json& frame, bool first) {
    std::string text = first ? "\n    " : ",\n    ";
    for (char c : jsonText(frame, 2)) {
        text += c;
        if (c == '\n') text += "    ";
    }
    return text;
}

std::string FramesJson::tail(bool anyFrames) const {
    return (anyFrames ? "\n  ]" : "]") + rest_ + "\n";
}

} // namespace tgltool
