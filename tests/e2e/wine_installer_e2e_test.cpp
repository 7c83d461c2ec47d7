// The Windows installer under Wine and Xvfb: a silent install per user and per
// machine (into a folder outside the code page), the file type and the
// thumbnail handler in the registry, a .tgl file opened as Explorer opens it,
// and a silent uninstall that leaves nothing of ours.

#include "platform/text_encoding.h"
#include "tests/e2e/x11_session.h"
#include "tests/support/temp_dir.h"
#include "tools/common/tga_writer.h"
#include "tools/common/tgl_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const char* const kStopWine =
    "(export WINEPREFIX='" WINE_PREFIX "'; wineserver -k; wineserver -w) >/dev/null 2>&1";
const std::string kClass = "{F4194379-8649-48FF-B3F0-A108E98F4911}";
const std::string kHandler = ".tgl\\ShellEx\\{E357FCCD-A995-4576-B01F-234630154E96}";
constexpr std::uint32_t kYellow = 0xFFFF00;

// What a Wine command prints, and whether it succeeded.
struct Output {
    bool ok = false;
    std::string text;
};

Output wine(const std::string& arguments) {
    Output out;
    FILE* pipe = popen(("wine " + arguments + " 2>/dev/null").c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.text.append(buffer, n);
    out.ok = pclose(pipe) == 0;
    return out;
}

// The Windows user's own folder in the prefix.
fs::path userFolder() {
    for (const auto& entry : fs::directory_iterator(fs::path(WINE_PREFIX) / "drive_c" / "users"))
        if (entry.path().filename() != "Public" && fs::is_directory(entry.path() / "AppData"))
            return entry.path();
    return {};
}

std::u16string utf16Of(const std::string& bytes) {
    std::u16string text(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = char16_t(std::uint8_t(bytes[2 * i]) | std::uint8_t(bytes[2 * i + 1]) << 8);
    return text;
}

// The "Path" value of a `reg export` file, which gives an expandable string
// as the hexadecimal bytes of its UTF-16.
std::string pathOfExport(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    const std::string text =
        textencoding::utf8FromUtf16(utf16Of(std::string(std::istreambuf_iterator<char>(in), {})));
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
    std::size_t at = lower.find("\"path\"=");
    if (at == std::string::npos) return {};
    at += 7;
    if (text[at] == '"') return text.substr(at + 1, text.find('"', at + 1) - at - 1);
    std::string bytes;
    for (at = text.find(':', at) + 1; at + 1 < text.size() && text[at] != '"' && text[at] != '[';
         ++at)
        if (std::isxdigit(static_cast<unsigned char>(text[at])))
            bytes += char(std::stoi(text.substr(at++, 2), nullptr, 16));
    return textencoding::utf8FromUtf16(utf16Of(bytes));
}

// Waits for every program of the prefix to end, as `wine` itself does not.
void waitForWine() { std::system("timeout 120 wineserver -w"); }

struct Mode {
    const char* option;
    const char* root; // of the registry keys
    bool allUsers;    // and then into Program Files\Анимация
};

const char* const kMachineFolder = "Анимация";

class Installer : public ::testing::TestWithParam<Mode> {
  protected:
    void SetUp() override {
        if (!e2e::XvfbServer::available() || access("/usr/bin/wine", X_OK) != 0)
            GTEST_SKIP() << "Xvfb or Wine is not installed";
        setenv("WINEPREFIX", WINE_PREFIX, 1);
        setenv("WINEDEBUG", "-all", 1);
        setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);
        setenv("LANG", "C.UTF-8", 1); // Wine reads names and arguments as UTF-8
        std::system(kStopWine);
        server.emplace();
        ASSERT_TRUE(server->started());
        watchdog.emplace(std::chrono::seconds(280), kStopWine, server->processId());
        setenv("DISPLAY", server->name().c_str(), 1);
        // A run that was stopped half way leaves its installation: remove it first.
        if (fs::exists(programs() / "uninstall.exe")) {
            wine("'" + (programs() / "uninstall.exe").string() + "' /S");
            waitForWine();
            wine("reg delete " + classes(".tgl") + " /f");
        }
    }
    void TearDown() override { std::system(kStopWine); }

    std::string classes(const std::string& key) const {
        return std::string("'") + GetParam().root + "\\Software\\Classes\\" + key + "'";
    }
    // The key's default value, or nothing when the key is not there.
    std::optional<std::string> defaultOf(const std::string& key) const {
        const Output out = wine("reg query " + classes(key) + " /ve");
        if (!out.ok) return std::nullopt;
        return out.text;
    }
    // The PATH as UTF-8. `reg query` would print it in the code page; `reg
    // export` writes UTF-16.
    std::string path() const {
        const std::string file = dir.file("environment.reg");
        wine(std::string("reg export '") +
             (GetParam().allUsers
                  ? "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment"
                  : "HKCU\\Environment") +
             "' '" + file + "' /y");
        return pathOfExport(file);
    }
    // The Unix folders under the prefix that the installer writes.
    fs::path programs() const {
        const fs::path c = fs::path(WINE_PREFIX) / "drive_c";
        if (GetParam().allUsers) return c / "Program Files" / kMachineFolder;
        return userFolder() / "AppData/Local/Programs/tglview";
    }
    fs::path startMenu() const {
        const fs::path c = fs::path(WINE_PREFIX) / "drive_c";
        const char* programs = "Microsoft/Windows/Start Menu/Programs/tglview";
        if (GetParam().allUsers) return c / "ProgramData" / programs;
        return userFolder() / "AppData/Roaming" / programs;
    }

    // A name outside the code page, with the player's font beside the program
    // in a folder outside it too: the overlay has text.
    void opensThroughTheAssociation() {
        const std::string name = "スプライト.tgl";
        tgltools::writeFile(
            dir.file(name),
            tgltools::TglWriter()
                .frame({300, 200, 1000})
                .image(tgltools::encodeTga(
                    24, 24, std::vector<std::uint32_t>(576, 0xFF000000u | kYellow), false))
                .build());
        // Not through a pipe: the player would hold it open.
        ASSERT_EQ(
            std::system(("wine start /unix '" + dir.file(name) + "' >/dev/null 2>&1").c_str()), 0);
        const auto window = e2e::findWindow(server->display(), "tgl play - " + name, 60s);
        ASSERT_TRUE(window) << "the player did not open the file";
        const auto size = e2e::geometry(server->display(), *window);
        ASSERT_TRUE(size);
        const int border = (size->width - 800) / 2, top = size->height - 600 - border;
        bool shown = false;
        for (auto end = std::chrono::steady_clock::now() + 10s;
             !shown && std::chrono::steady_clock::now() < end;) {
            const auto pixels = e2e::grabWindow(server->display(), *window, 800, 600, border, top);
            shown = std::count(pixels.begin(), pixels.end(), kYellow) == 576 &&
                    pixels[std::size_t(200 * 800 + 300)] == kYellow &&
                    std::any_of(pixels.begin(), pixels.begin() + 50 * 800,
                                [](unsigned long p) { return (p & 0xFF) < 0x40; });
        }
        EXPECT_TRUE(shown) << "the sprite is not at (300, 200), or the overlay has no text";
        e2e::requestClose(server->display(), *window);
        waitForWine();
    }

    TempDir dir;
    std::optional<e2e::XvfbServer> server;
    std::optional<e2e::Watchdog> watchdog;
};

TEST_P(Installer, InstallsOpensAFileAndUninstallsEverythingItMade) {
    ASSERT_FALSE(fs::exists(programs())) << "a previous run left an installation";
    // /D= takes the rest of the command line, spaces and all.
    const std::string folder =
        GetParam().allUsers ? std::string(" '/D=C:\\Program' 'Files\\") + kMachineFolder + "'" : "";
    ASSERT_TRUE(wine(std::string(SETUP) + " /S /PATH " + GetParam().option + folder).ok);
    waitForWine();

    for (const char* name :
         {"tglview.exe", "tglplay.exe", "tgl.exe", "tglthumb.dll", "qub.dll", "xlibplus.dll",
          "stand_1.tgl", "font1.fnt", "font1.tga", "README.txt", "LICENSE", "uninstall.exe"})
        EXPECT_TRUE(fs::is_regular_file(programs() / name)) << name;
    for (const char* name : {"tglview.lnk", "tglview player.lnk", "README.lnk"})
        EXPECT_TRUE(fs::is_regular_file(startMenu() / name)) << name;
    EXPECT_NE(defaultOf(".tgl").value_or("").find("tglview.animation"), std::string::npos);
    EXPECT_NE(defaultOf("tglview.animation\\shell\\open\\command")
                  .value_or("")
                  .find("tglplay.exe\" \"%1\""),
              std::string::npos);
    EXPECT_NE(defaultOf(kHandler).value_or("").find(kClass), std::string::npos);
    EXPECT_NE(defaultOf("CLSID\\" + kClass + "\\InprocServer32").value_or("").find("tglthumb.dll"),
              std::string::npos);
    const std::string folderName = programs().filename().string();
    EXPECT_NE(path().find(folderName), std::string::npos) << "/PATH did not add the folder";

    // Opened as Explorer opens a file, through the association. Wine reads
    // associations from HKLM only; Windows merges the user's own over them.
    if (GetParam().allUsers) opensThroughTheAssociation();

    // A user who gave .tgl to another program keeps that choice.
    if (!GetParam().allUsers) wine("reg add " + classes(".tgl") + " /ve /d other.animation /f");
    ASSERT_TRUE(wine("'" + (programs() / "uninstall.exe").string() + "' /S").ok);
    waitForWine();

    EXPECT_FALSE(fs::exists(programs())) << "files are left";
    EXPECT_FALSE(fs::exists(startMenu())) << "the Start menu entries are left";
    for (const std::string& key : {std::string("tglview.animation"), "CLSID\\" + kClass, kHandler,
                                   std::string("Applications\\tglplay.exe")})
        EXPECT_FALSE(defaultOf(key)) << key << " is left";
    EXPECT_FALSE(wine(std::string("reg query '") + GetParam().root +
                      "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\tglview'")
                     .ok);
    EXPECT_EQ(path().find(folderName), std::string::npos) << "the PATH still names the folder";
    if (GetParam().allUsers) {
        EXPECT_FALSE(defaultOf(".tgl")) << "the .tgl key is left";
    } else {
        EXPECT_NE(defaultOf(".tgl").value_or("").find("other.animation"), std::string::npos)
            << "the user's own association was removed";
        wine("reg delete " + classes(".tgl") + " /f");
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, Installer,
                         ::testing::Values(Mode{"/CurrentUser", "HKCU", false},
                                           Mode{"/AllUsers", "HKLM", true}),
                         [](const auto& info) {
                             return std::string(info.param.allUsers ? "PerMachine" : "PerUser");
                         });

} // namespace
