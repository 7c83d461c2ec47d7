#pragma once

#include <string>
#include <vector>

namespace qub {

// Turns a drop reported path by path (begun, each path, completed) into one
// list, as the window procedures get it in one dropped-files message. A path
// with no drop begun is a drop of its own.
class DropCoalescer {
  public:
    void begin() {
        paths_.clear();
        inProgress_ = true;
    }
    // True when the path completes a drop on its own: take() it now.
    bool add(const char* path) {
        paths_.emplace_back(path);
        return !inProgress_;
    }
    // True when the drop holds any path: take() it now.
    bool complete() {
        inProgress_ = false;
        return !paths_.empty();
    }
    std::vector<std::string> take() {
        std::vector<std::string> paths;
        paths.swap(paths_);
        return paths;
    }

  private:
    std::vector<std::string> paths_;
    bool inProgress_ = false;
};

} // namespace qub
