#include "qub/drivers/x11/uri_list.h"

#include <sstream>
#include <unistd.h>

namespace qub {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

std::vector<std::string> filePathsOf(const std::string& uriList) {
    std::vector<std::string> paths;
    std::istringstream lines(uriList);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("file:", 0) != 0) continue; // comments and other schemes too
        std::string rest = line.substr(5);
        if (rest.rfind("//", 0) == 0) { // an authority: none, or this host
            const std::size_t slash = rest.find('/', 2);
            if (slash == std::string::npos) continue;
            const std::string host = rest.substr(2, slash - 2);
            if (!host.empty() && host != "localhost") {
                char name[256] = {};
                if (gethostname(name, sizeof name - 1) != 0 || host != name) continue;
            }
            rest = rest.substr(slash);
        }
        std::string path;
        for (std::size_t i = 0; i < rest.size(); ++i) {
            const int high = i + 2 < rest.size() && rest[i] == '%' ? hexDigit(rest[i + 1]) : -1;
            const int low = high >= 0 ? hexDigit(rest[i + 2]) : -1;
            if (low >= 0) {
                path += static_cast<char>(high * 16 + low);
                i += 2;
            } else {
                path += rest[i];
            }
        }
        if (!path.empty() && path.find('\0') == std::string::npos) paths.push_back(path);
    }
    return paths;
}

} // namespace qub
