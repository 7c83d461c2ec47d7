#pragma once

#include <string>
#include <vector>

namespace qub {

// The local paths of a text/uri-list: file URIs of no host or of this one,
// percent-decoded; every other line is left out.
std::vector<std::string> filePathsOf(const std::string& uriList);

} // namespace qub
