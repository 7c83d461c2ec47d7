#pragma once

#include "tests/support/temp_dir.h"

// Our file type in a MIME database of the test's own (dir/data/mime), put
// first on XDG_DATA_DIRS, as the package installs it for the desktop.
// False when update-mime-database fails.
bool usePrivateMimeDatabase(const TempDir& dir, const char* typeXml);
