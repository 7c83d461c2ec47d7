#include "tools/tgl/animation_report.h"
#include "tools/tgl/commands.h"
#include "tools/tgl/output.h"

#include <cstdio>

namespace tgltool {

namespace {

const char* problemOf(FrameStatus status) {
    switch (status) {
    case FrameStatus::NoBlock: return "has no image block";
    case FrameStatus::NotZlib: return "payload is not a zlib stream";
    case FrameStatus::NotAnImage: return "payload inflates to no image the viewer can show";
    case FrameStatus::OverSizeLimit: return "payload inflates past the size limit";
    case FrameStatus::OverImageLimit: return "payload is an image past the size limits";
    case FrameStatus::OverDecodedBudget:
        return "image would pass the decoded budget of the whole animation";
    case FrameStatus::Ok: break;
    }
    return "";
}

} // namespace

int verify(const std::vector<std::string>& files) {
    bool allShow = true;
    bool unreadable = false;
    for (const std::string& file : files) {
        ReportReader reader(file);
        const AnimationReport& in = reader.report();
        if (!in.error.empty()) {
            std::printf("%s: %s\n", file.c_str(), in.error.c_str());
            allShow = false;
            unreadable = unreadable || in.ioError;
            continue;
        }
        // Block k belongs to frame k.
        reader.readFrames([&](std::size_t i, const FrameInfo& f) {
            if (f.status == FrameStatus::Ok) return;
            if (f.hasBlock)
                std::printf("%s: block %zu at offset %u: %s\n", file.c_str(), i, f.blockOffset,
                            problemOf(f.status));
            else
                std::printf("%s: frame %zu %s\n", file.c_str(), i, problemOf(f.status));
        });
        allShow = allShow && in.everyFrameShows();
        for (const std::string& a : in.anomalies)
            std::printf("%s: warning: %s\n", file.c_str(), a.c_str());
        if (in.frameCount == 0) std::printf("%s: warning: no frames\n", file.c_str());
    }
    if (unreadable) throw CommandError("some files could not be read");
    return allShow ? 0 : 1;
}

} // namespace tgltool
