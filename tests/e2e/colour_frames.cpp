#include "tests/e2e/colour_frames.h"

#include "tools/common/tga_writer.h"
#include "tools/common/tgl_writer.h"

#include <algorithm>
#include <thread>

namespace e2e {

std::vector<std::uint8_t> colourFrames() {
    tgltools::TglWriter animation;
    for (std::uint32_t colour : kFrameColours)
        animation.frame({200, 100, 400})
            .image(tgltools::encodeTga(
                40, 40, std::vector<std::uint32_t>(1600, 0xFF000000u | colour), false));
    return animation.build();
}

std::vector<unsigned long> coloursShown(Display* display, Window window,
                                        std::chrono::milliseconds span) {
    const auto size = geometry(display, window);
    std::vector<unsigned long> shown;
    if (!size) return shown;
    for (auto end = std::chrono::steady_clock::now() + span; std::chrono::steady_clock::now() < end;
         std::this_thread::sleep_for(std::chrono::milliseconds(20))) {
        const auto pixels = grabWindow(display, window, size->width, size->height);
        for (std::uint32_t colour : kFrameColours)
            if (std::count(pixels.begin(), pixels.end(), colour) >= 1600 &&
                (shown.empty() || shown.back() != colour))
                shown.push_back(colour);
    }
    return shown;
}

bool inTheFilesOrder(const std::vector<unsigned long>& shown) {
    for (std::size_t i = 1; i < shown.size(); ++i) {
        const auto before =
            std::find(std::begin(kFrameColours), std::end(kFrameColours), shown[i - 1]);
        if (shown[i] != kFrameColours[(before - std::begin(kFrameColours) + 1) % 3]) return false;
    }
    return true;
}

std::optional<std::vector<unsigned long>>
coloursPlayedBy(const std::string& program, const TempDir& dir, const std::string& titleStart) {
    using namespace std::chrono_literals;
    if (!tgltools::writeFile(dir.file("walk.tgl"), colourFrames())) return std::nullopt;
    XvfbServer server;
    if (!server.started()) return std::nullopt;
    const Watchdog watchdog(60s, "true", server.processId());
    const Process shown({"dbus-run-session", "--", program, dir.file("walk.tgl")},
                        dir.path().string(), server.name(), dir.file("program.out"));
    const auto window = findWindowStartingWith(server.display(), titleStart, 30s);
    if (!window) return std::nullopt;
    return coloursShown(server.display(), *window, 3s);
}

} // namespace e2e
