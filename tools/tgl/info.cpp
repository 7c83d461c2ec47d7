#include "tools/tgl/animation_report.h"
#include "tools/tgl/commands.h"
#include "tools/tgl/output.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <iostream>

namespace tgltool {

namespace {

nlohmann::json toJson(const AnimationReport& in) {
    nlohmann::json frames = nlohmann::json::array();
    for (std::size_t i = 0; i < in.frames.size(); ++i) {
        const FrameInfo& f = in.frames[i];
        nlohmann::json frame = {{"index", i},
                                {"x", f.x},
                                {"y", f.y},
                                {"aux1", f.aux1},
                                {"aux2", f.aux2},
                                {"duration", f.duration},
                                {"status", statusText(f.status)}};
        if (f.hasBlock) {
            frame["block"] = {{"offset", f.blockOffset},
                              {"marker", f.marker},
                              {"second", f.second},
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
        frames.push_back(frame);
    }
    return {{"file", in.path},
            {"magicFourthByte", in.magicFourth},
            {"perFrameDurations", in.durationFlag},
            {"headerRest", hex(in.headerRest)},
            {"declaredFrameCount", in.declaredFrameCount},
            {"defaultDuration", in.defaultDuration},
            {"frames", frames},
            {"loopMilliseconds", in.loopMilliseconds()},
            {"anomalies", in.anomalies}};
}

void printText(const AnimationReport& in) {
    std::printf("%s: %zu frame(s), %s, default duration %d ms, loop %lld ms\n", in.path.c_str(),
                in.frames.size(), in.durationFlag ? "durations per frame" : "one duration for all",
                in.defaultDuration, static_cast<long long>(in.loopMilliseconds()));
    std::printf("header: flag %d, fourth byte 0x%02x, rest %s\n", in.durationFlag, in.magicFourth,
                hex(in.headerRest).c_str());
    std::printf("%5s %6s %6s %6s %6s %6s %9s %8s %8s %9s %9s %-30s %s\n", "frame", "x", "y", "aux1",
                "aux2", "ms", "offset", "marker", "second", "length", "inflated", "image",
                "status");
    for (std::size_t i = 0; i < in.frames.size(); ++i) {
        const FrameInfo& f = in.frames[i];
        const std::string image = f.image.format.empty() ? "-" : f.image.description;
        if (f.hasBlock)
            std::printf("%5zu %6d %6d %6d %6d %6d %9u %8d %8d %9d %9u %-30s %s\n", i, f.x, f.y,
                        f.aux1, f.aux2, f.duration, f.blockOffset, f.marker, f.second, f.length,
                        f.inflatedBytes, image.c_str(), statusText(f.status));
        else
            std::printf("%5zu %6d %6d %6d %6d %6d %9s %8s %8s %9s %9s %-30s %s\n", i, f.x, f.y,
                        f.aux1, f.aux2, f.duration, "-", "-", "-", "-", "-", image.c_str(),
                        statusText(f.status));
    }
    for (const std::string& a : in.anomalies)
        std::printf("anomaly: %s\n", a.c_str());
}

} // namespace

int info(const std::string& file, bool json) {
    const AnimationReport in = readReport(file);
    if (in.ioError) throw CommandError(file + ": " + in.error);
    if (!in.error.empty()) {
        if (json)
            std::cout << nlohmann::json{{"file", file}, {"error", in.error}}.dump(2) << "\n";
        else
            std::printf("%s: %s\n", file.c_str(), in.error.c_str());
        return 1;
    }
    if (json)
        std::cout << toJson(in).dump(2) << "\n";
    else
        printText(in);
    return 0;
}

} // namespace tgltool
