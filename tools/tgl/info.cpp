#include "tools/tgl/animation_report.h"
#include "tools/tgl/commands.h"
#include "tools/tgl/frames_json.h"
#include "tools/tgl/output.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <iostream>
#include <memory>

namespace tgltool {

namespace {

nlohmann::json frameJson(std::size_t index, const FrameInfo& f) {
    nlohmann::json frame = {{"index", index},
                            {"x", f.x},
                            {"y", f.y},
                            {"aux1", f.aux1},
                            {"aux2", f.aux2},
                            {"duration", f.duration},
                            {"status", statusText(f.status)}};
    if (f.hasBlock) {
        frame["block"] = {{"offset", f.blockOffset},
                          {"marker", f.marker},
                          {"second", f.secondWord},
                          {"length", f.length}};
        frame["inflatedBytes"] = f.inflatedBytes;
    } else {
        frame["block"] = nullptr;
    }
    if (!f.image.format.empty())
        frame["image"] = {{"format", f.image.format},
                          {"width", f.image.width},
                          {"height", f.image.height},
                          {"description", f.image.description}};
    else
        frame["image"] = nullptr;
    return frame;
}

// The JSON document, as one nlohmann::json would print it, made a frame at a
// time: the frames wait in a temporary file because "anomalies", known only
// at the end, comes first.
void printJson(ReportReader& reader) {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> frames(std::tmpfile(), std::fclose);
    if (!frames) throw CommandError("cannot make a temporary file");
    reader.readFrames([&](std::size_t index, const FrameInfo& f) {
        const std::string text = FramesJson::element(frameJson(index, f), index == 0);
        std::fwrite(text.data(), 1, text.size(), frames.get());
    });
    const AnimationReport& in = reader.report();
    const FramesJson document({{"file", in.path},
                               {"magicFourthByte", in.magicFourth},
                               {"perFrameDurations", in.durationFlag},
                               {"headerRest", hex(in.headerRest)},
                               {"declaredFrameCount", in.declaredFrameCount},
                               {"defaultDuration", in.defaultDuration},
                               {"frames", nlohmann::json::array()},
                               {"loopMilliseconds", in.loopMilliseconds},
                               {"anomalies", in.anomalies}});
    std::fputs(document.head().c_str(), stdout);
    std::rewind(frames.get());
    char buffer[1 << 16];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, frames.get())) > 0;)
        std::fwrite(buffer, 1, n, stdout);
    std::fputs(document.tail(in.frameCount > 0).c_str(), stdout);
}

void printText(ReportReader& reader) {
    const AnimationReport& in = reader.report();
    std::printf("%s: %zu frame(s), %s, default duration %d ms, loop %lld ms\n", in.path.c_str(),
                in.frameCount, in.durationFlag ? "durations per frame" : "one duration for all",
                in.defaultDuration, static_cast<long long>(in.loopMilliseconds));
    std::printf("header: flag %d, fourth byte 0x%02x, rest %s\n", in.durationFlag, in.magicFourth,
                hex(in.headerRest).c_str());
    std::printf("%5s %6s %6s %6s %6s %6s %9s %8s %8s %9s %9s %-30s %s\n", "frame", "x", "y", "aux1",
                "aux2", "ms", "offset", "marker", "second", "length", "inflated", "image",
                "status");
    reader.readFrames([](std::size_t i, const FrameInfo& f) {
        const std::string image = f.image.format.empty() ? "-" : f.image.description;
        if (f.hasBlock)
            std::printf("%5zu %6d %6d %6d %6d %6d %9u %8d %8d %9d %9u %-30s %s\n", i, f.x, f.y,
                        f.aux1, f.aux2, f.duration, f.blockOffset, f.marker, f.secondWord, f.length,
                        f.inflatedBytes, image.c_str(), statusText(f.status));
        else
            std::printf("%5zu %6d %6d %6d %6d %6d %9s %8s %8s %9s %9s %-30s %s\n", i, f.x, f.y,
                        f.aux1, f.aux2, f.duration, "-", "-", "-", "-", "-", image.c_str(),
                        statusText(f.status));
    });
    for (const std::string& a : in.anomalies)
        std::printf("anomaly: %s\n", a.c_str());
}

} // namespace

int info(const std::string& file, bool json) {
    ReportReader reader(file);
    const AnimationReport& in = reader.report();
    if (in.ioError) throw CommandError(file + ": " + in.error);
    if (!in.error.empty()) {
        if (json)
            std::cout << jsonText({{"file", file}, {"error", in.error}}, 2) << "\n";
        else
            std::printf("%s: %s\n", file.c_str(), in.error.c_str());
        return 1;
    }
    if (json)
        printJson(reader);
    else
        printText(reader);
    return 0;
}

} // namespace tgltool
