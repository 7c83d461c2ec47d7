#include "tests/support/mime_database.h"

#include <cstdlib>

bool usePrivateMimeDatabase(const TempDir& dir, const char* typeXml) {
    const std::string mime = dir.file("data/mime");
    const std::string setup = "mkdir -p '" + mime + "/packages' && cp '" + typeXml + "' '" + mime +
                              "/packages/' && update-mime-database '" + mime + "'";
    if (std::system(setup.c_str()) != 0) return false;
    setenv("XDG_DATA_DIRS", (dir.file("data") + ":/usr/share").c_str(), 1);
    return true;
}
