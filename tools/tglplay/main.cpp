// tglplay: tgl play for double-clicks. A program of the Windows GUI subsystem,
// so no console opens beside the player; what would go to a console goes to a
// message box. With no file, the window waits for one to be dropped.

#include "platform/file_names.h"
#include "platform/windows_api.h"
#include "tools/tgl/output.h"
#include "tools/tgl/play/play.h"

#include <cstdlib>
#include <new>
#include <string>

namespace {

int complain(const std::string& text) {
    MessageBoxW(nullptr, filenames::wide(text).c_str(), L"tglplay", MB_OK | MB_ICONERROR);
    return 2;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const std::vector<std::string> arguments = filenames::commandLineArguments();
    if (arguments.size() > 2) return complain("tglplay plays one .tgl file: tglplay FILE");
    tgltool::PlayOptions options;
    if (arguments.size() == 2) options.file = arguments[1];
    try {
        return tgltool::play(options);
    } catch (const tgltool::CommandError& e) {
        return complain(e.what());
    } catch (const std::bad_alloc&) {
        return complain("Not enough memory.");
    } catch (const std::exception&) {
        return complain("The player failed unexpectedly.");
    }
}
