#include "draw/sprite.h"
#include "tests/support/headless_engine_suite.h"
#include "tests/support/image_files.h"
#include "tests/support/temp_dir.h"
#include "tgl/tgl_animation.h"
#include "tools/common/tgl_writer.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <sys/wait.h>

namespace {

using tgltools::Bytes;
using tgltools::TglWriter;

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A frame table of `frames` frames, then these blocks.
TglWriter animation(int frames) {
    TglWriter w;
    w.perFrameDurations(1);
    for (int i = 0; i < frames; ++i)
        w.frame({10 * i, 5 * i, 40 + i, i, -i});
    return w;
}

struct Case {
    const char* name;
    Bytes file;
};

std::vector<Case> damagedFiles() {
    const testimg::Image small = testimg::pattern(6, 4, true);
    Bytes cutPng = testimg::png(testimg::pattern(16, 16, true));
    cutPng.resize(cutPng.size() / 2);
    Bytes cutTga = testimg::tga(testimg::solid(4, 4, 0xFF0000FF), false);
    cutTga.resize(18 + 6 * 4);
    // A whole image one pixel wider than the limit: decodable, and refused alike.
    const Bytes widePng = testimg::png(testimg::solid(16385, 1, 0xFF000000));

    return {
        {"every format", animation(4)
                             .image(testimg::tga(small, false))
                             .image(testimg::png(small))
                             .image(testimg::bmp24(testimg::pattern(5, 3, false)))
                             .image(testimg::jpeg(testimg::solid(8, 8, 0xFF204060), 90))
                             .build()},
        {"not zlib",
         animation(2).rawBlock(text("plainly not zlib")).image(testimg::tga(small, true)).build()},
        {"no image inside", animation(2).image(text("hello, world")).image(cutTga).build()},
        {"refused formats", animation(2)
                                .image(text("GIF89a\x01\0\x01\0\0\0\0;"))
                                .image(text("P6 1 1 255\nabc"))
                                .build()},
        {"over an image limit", animation(2).image(widePng).image(testimg::png(small)).build()},
        {"pixels that do not decode", animation(1).image(cutPng).build()},
        {"fewer blocks than frames", animation(3).image(testimg::tga(small, false)).build()},
        {"a negative length",
         animation(2).image(testimg::png(small)).rawBlock({}, 1, 0, -5).build()},
        {"a surplus block",
         animation(1).image(testimg::png(small)).image(testimg::png(small)).build()},
        {"a zero bomb and bytes past the image",
         animation(2)
             .image(Bytes(32u << 20, 0))
             .image([] {
                 Bytes padded = testimg::tga(testimg::solid(4, 4, 0xFF0000FF), false);
                 padded.resize(padded.size() + (2u << 20));
                 return padded;
             }())
             .build()},
        {"zero words between", animation(2)
                                   .zeroWord()
                                   .image(testimg::png(small))
                                   .zeroWord()
                                   .image(testimg::bmp32(small))
                                   .build()},
    };
}

// The viewer's loader over our engine and `tgl info --json` must tell the same
// story of every frame: a sprite exactly where the report says "ok".
class LoaderAndReport : public HeadlessEngineSuite {
  protected:
    nlohmann::json report(const std::string& path) {
        const std::string out = dir.file("info.json");
        const std::string command = "'" TGL_TOOL "' info --json '" + path + "' > '" + out + "'";
        const int status = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
        return nlohmann::json::parse(slurp(out));
    }

    TempDir dir;
};

TEST_F(LoaderAndReport, AgreeFrameByFrameOnDamagedFiles) {
    for (const Case& c : damagedFiles()) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file("case.tgl");
        testimg::writeFile(path, c.file);
        CTGL loaded;
        ASSERT_TRUE(loaded.load(path.c_str()));
        const nlohmann::json info = report(path);
        const nlohmann::json& frames = info["frames"];
        ASSERT_EQ(static_cast<int>(frames.size()), loaded.frames.size());
        for (std::int32_t i = 0; i < loaded.frames.size(); ++i) {
            const CTGL::frame& f = loaded.frames[i];
            const nlohmann::json& r = frames[static_cast<std::size_t>(i)];
            EXPECT_EQ(r["x"], f.x);
            EXPECT_EQ(r["duration"], f.duration);
            ASSERT_EQ(r["status"] == "ok", f.sprite != nullptr)
                << "frame " << i << ": " << r["status"];
            if (!f.sprite) continue;
            EXPECT_EQ(r["image"]["width"], f.sprite->width()) << "frame " << i;
            EXPECT_EQ(r["image"]["height"], f.sprite->height()) << "frame " << i;
        }
    }
}

TEST_F(LoaderAndReport, TheReportNamesEachReason) {
    const auto statusesOf = [&](const Bytes& file) {
        testimg::writeFile(dir.file("one.tgl"), file);
        std::vector<std::string> statuses;
        const nlohmann::json info = report(dir.file("one.tgl"));
        for (const auto& f : info["frames"])
            statuses.push_back(f["status"]);
        return statuses;
    };
    const std::vector<Case> cases = damagedFiles();
    EXPECT_EQ(statusesOf(cases[1].file), (std::vector<std::string>{"not zlib", "ok"}));
    EXPECT_EQ(statusesOf(cases[2].file), (std::vector<std::string>{"not an image", "ok"}));
    EXPECT_EQ(statusesOf(cases[3].file),
              (std::vector<std::string>{"not an image", "not an image"}));
    EXPECT_EQ(statusesOf(cases[4].file), (std::vector<std::string>{"over an image limit", "ok"}));
    EXPECT_EQ(statusesOf(cases[5].file), (std::vector<std::string>{"not an image"}));
    EXPECT_EQ(statusesOf(cases[6].file), (std::vector<std::string>{"ok", "no block", "no block"}));
    EXPECT_EQ(statusesOf(cases[9].file),
              (std::vector<std::string>{"not an image", "over the size limit"}));
}

} // namespace
