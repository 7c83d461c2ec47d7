#include "qub/drivers/x11/uri_list.h"

#include <gtest/gtest.h>

namespace {

TEST(XdndUriList, GivesLocalFilePathsDecodedAndNothingElse) {
    const std::string list = "# a comment\r\n"
                             "file:///tmp/a%20b/Stand%5F1.tgl\r\n"
                             "file://localhost/home/x.tgl\r\n"
                             "http://example.org/y.tgl\r\n"
                             "file://elsewhere.invalid/z.tgl\r\n"
                             "file:///bad%00name\r\n"
                             "file:///half%2\n"
                             "file:/plain/path.tgl";
    EXPECT_EQ(qub::filePathsOf(list),
              (std::vector<std::string>{"/tmp/a b/Stand_1.tgl", "/home/x.tgl", "/half%2",
                                        "/plain/path.tgl"}));
}

} // namespace
