#include "image/image.h"
#include "image/limits.h"
#include "tests/support/temp_dir.h"
#include "tools/common/tga_writer.h"
#include "tools/common/tgl_writer.h"

#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>

namespace {

using nlohmann::json;
using tgltools::Bytes;
using tgltools::TglWriter;

struct Outcome {
    int exitCode;
    std::string out;
    std::string err;
};

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

Bytes tga(int side, std::uint32_t argb) {
    return tgltools::encodeTga(side, side,
                               std::vector<std::uint32_t>(std::size_t(side * side), argb), false);
}

// The real tgl program, run in the test's folder with no display: nothing it
// does needs one.
class TglTool : public ::testing::Test {
  protected:
    Outcome tgl(const std::string& arguments) {
        const std::string command = "cd '" + dir.path().string() +
                                    "' && env -u DISPLAY -u WAYLAND_DISPLAY '" TGL_TOOL "' " +
                                    arguments + " > out.txt 2> err.txt";
        const int status = std::system(command.c_str());
        return Outcome{WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(dir.file("out.txt")),
                       slurp(dir.file("err.txt"))};
    }
    void write(const std::string& name, const Bytes& bytes) {
        tgltools::writeFile(dir.file(name), bytes);
    }
    json infoOf(const std::string& name) {
        Outcome r = tgl("info --json " + name);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return json::parse(r.out);
    }

    TempDir dir;
};

TEST_F(TglTool, PackUnpackPackGivesTheSameBytesAndTheSameImages) {
    write("a.tga", tga(8, 0xFFFF0000));
    write("b.tga", tga(6, 0x8000FF00));
    ASSERT_EQ(
        tgl("pack a.tga b.tga -o first.tgl --durations 40,90 --positions '10,20;30,40'").exitCode,
        0);
    ASSERT_EQ(tgl("unpack first.tgl out").exitCode, 0);
    EXPECT_EQ(slurp(dir.file("out/frame_000.tga")), slurp(dir.file("a.tga")));
    EXPECT_EQ(slurp(dir.file("out/frame_001.tga")), slurp(dir.file("b.tga")));
    const json table = json::parse(slurp(dir.file("out/animation.json")));
    EXPECT_EQ(table["frames"][1]["x"], 30);
    EXPECT_EQ(table["frames"][1]["y"], 40);
    EXPECT_EQ(table["frames"][1]["duration"], 90);
    EXPECT_EQ(table["perFrameDurations"], 1);
    ASSERT_EQ(tgl("pack out -o second.tgl").exitCode, 0);
    EXPECT_EQ(slurp(dir.file("second.tgl")), slurp(dir.file("first.tgl")));
}

TEST_F(TglTool, PackDefaultsCentreTheFramesWithOneDuration) {
    write("a.tga", tga(100, 0xFF000000));
    ASSERT_EQ(tgl("pack a.tga a.tga -o c.tgl --duration 70").exitCode, 0);
    const json info = infoOf("c.tgl");
    EXPECT_EQ(info["perFrameDurations"], 0);
    EXPECT_EQ(info["defaultDuration"], 70);
    EXPECT_EQ(info["frames"][0]["x"], 350);
    EXPECT_EQ(info["frames"][0]["y"], 250);
    EXPECT_EQ(info["loopMilliseconds"], 140);
}

TEST_F(TglTool, InfoReportsEveryMalformedKindFieldByField) {
    TglWriter w;
    w.frame({1, 2, 0, 3, 4}).frame({}).frame({}).frame({});
    w.image(tga(4, 0xFF000000))
        .zeroWord()
        .rawBlock(Bytes{9, 9, 9}, 7, 8)
        .rawBlock(tgltools::zlibCompress(Bytes(50, 'x')));
    w.image(tga(4, 0xFF000000)); // a fourth frame is left, so this one fits
    w.image(tga(4, 0xFF000000)); // surplus
    write("bad.tgl", w.build());
    const json info = infoOf("bad.tgl");
    const json& frames = info["frames"];
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[0]["status"], "ok");
    EXPECT_EQ(frames[0]["image"]["format"], "TGA");
    EXPECT_EQ(frames[0]["image"]["width"], 4);
    EXPECT_EQ(frames[0]["image"]["description"], "TGA RGBA 32-bit 4x4");
    EXPECT_EQ(frames[0]["aux1"], 3);
    EXPECT_EQ(frames[0]["block"]["offset"], 52 + 4 * 16);
    EXPECT_EQ(frames[1]["status"], "not zlib");
    EXPECT_EQ(frames[1]["block"]["marker"], 7);
    EXPECT_EQ(frames[1]["block"]["second"], 8);
    EXPECT_EQ(frames[1]["block"]["length"], 3);
    EXPECT_EQ(frames[2]["status"], "not an image");
    EXPECT_EQ(frames[2]["inflatedBytes"], 50);
    EXPECT_EQ(frames[3]["status"], "ok");
    const std::string anomalies = info["anomalies"].dump();
    EXPECT_NE(anomalies.find("no frame left"), std::string::npos) << anomalies;
    EXPECT_NE(anomalies.find("1 zero word"), std::string::npos) << anomalies;
}

TEST_F(TglTool, InfoReportsLengthsAndCountsTheFileCannotHold) {
    TglWriter negative;
    negative.frame({}).frame({}).image(tga(4, 0xFF000000)).rawBlock(Bytes(8, 0), 1, 0, -5);
    write("negative.tgl", negative.build());
    json info = infoOf("negative.tgl");
    EXPECT_EQ(info["frames"][1]["status"], "no block");
    EXPECT_NE(info["anomalies"].dump().find("negative payload length -5"), std::string::npos);

    TglWriter huge;
    huge.frameCount(1000000).frame({});
    write("huge.tgl", huge.build());
    info = infoOf("huge.tgl");
    EXPECT_EQ(info["declaredFrameCount"], 1000000);
    EXPECT_EQ(info["frames"].size(), 1u) << "held to the records the file holds";
    EXPECT_NE(info["anomalies"].dump().find("held to"), std::string::npos);
}

// The first frame that shows, cropped to the frames' union box, on
// transparency, made smaller to fit; a file where nothing shows gives 1.
TEST_F(TglTool, ThumbnailCropsToTheFramesAndFitsTheSquare) {
    TglWriter w;
    w.frame({0, 0, 10}).frame({100, 100, 10}).frame({110, 90, 10});
    w.rawBlock(Bytes{1, 2, 3}).image(tga(10, 0xFFFF0000)).image(tga(20, 0x800000FF));
    write("two.tgl", w.build());
    ASSERT_EQ(tgl("thumbnail two.tgl t.png").exitCode, 0);
    const std::string png = slurp(dir.file("t.png"));
    imaging::DecodedImage thumb;
    ASSERT_EQ(
        imaging::decodeImage(reinterpret_cast<const std::uint8_t*>(png.data()), png.size(), thumb),
        imaging::ImageStatus::Ok);
    ASSERT_EQ(thumb.width, 30); // 100..130 by 90..110
    ASSERT_EQ(thumb.height, 20);
    EXPECT_EQ(thumb.pixels[std::size_t(10 * 30 + 0)], 0xFFFF0000u) << "frame 1 at (0, 10)";
    EXPECT_EQ(thumb.pixels[0], 0u) << "transparent around it";
    EXPECT_EQ(thumb.pixels[std::size_t(5 * 30 + 25)], 0u) << "only the first frame that shows";

    ASSERT_EQ(tgl("thumbnail two.tgl small.png --size 15").exitCode, 0);
    const std::string smallPng = slurp(dir.file("small.png"));
    ASSERT_EQ(imaging::decodeImage(reinterpret_cast<const std::uint8_t*>(smallPng.data()),
                                   smallPng.size(), thumb),
              imaging::ImageStatus::Ok);
    EXPECT_EQ(thumb.width, 15);
    EXPECT_EQ(thumb.height, 10);
    EXPECT_EQ(thumb.pixels[std::size_t(7 * 15 + 2)], 0xFFFF0000u) << "averaged, still red";

    TglWriter none;
    none.frame({-500, 0, 10}).image(tga(10, 0xFFFF0000));
    write("off.tgl", none.build());
    EXPECT_EQ(tgl("thumbnail off.tgl off.png").exitCode, 1);
    EXPECT_EQ(tgl("thumbnail two.tgl t.png").exitCode, 2) << "it exists";
}

// Every picture named up front; one already written is copied, not encoded
// again; --range picks frames.
TEST_F(TglTool, RenderAllSaysHowManyAndWritesARepeatedPictureOnce) {
    TglWriter w;
    w.frame({}).frame({}).frame({5, 5, 10}).frame({}).image(tga(4, 0xFF00FF00));
    write("some.tgl", w.build());
    const Outcome all = tgl("render some.tgl --all -o all");
    ASSERT_EQ(all.exitCode, 0);
    EXPECT_NE(all.err.find("writing 4 picture(s)"), std::string::npos) << all.err;
    EXPECT_EQ(slurp(dir.file("all/frame_001.png")), slurp(dir.file("all/frame_003.png")));
    EXPECT_NE(slurp(dir.file("all/frame_000.png")), slurp(dir.file("all/frame_001.png")));
    ASSERT_EQ(tgl("render some.tgl --all -o part --range 1-2").exitCode, 0);
    EXPECT_TRUE(std::filesystem::exists(dir.file("part/frame_002.png")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("part/frame_000.png")));
    EXPECT_EQ(tgl("render some.tgl --all -o bad --range 2-9").exitCode, 2);
}

TEST_F(TglTool, RenderPutsEachFrameAtItsPosition) {
    TglWriter w;
    w.frame({100, 50, 10})
        .image(tga(10, 0xFFFF0000))
        .frame({300, 200, 10})
        .image(tga(10, 0xFF0000FF));
    write("two.tgl", w.build());
    ASSERT_EQ(tgl("render two.tgl --frame 1 -o f1.png").exitCode, 0);
    SDL_Surface* loaded = IMG_Load(dir.file("f1.png").c_str());
    ASSERT_NE(loaded, nullptr);
    SDL_Surface* png = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(loaded);
    auto at = [&](int x, int y) {
        return static_cast<const std::uint32_t*>(png->pixels)[y * png->pitch / 4 + x];
    };
    EXPECT_EQ(png->w, 800);
    EXPECT_EQ(at(305, 205), 0xFF0000FFu);
    EXPECT_EQ(at(299, 205), 0xFFFFFFFFu);
    EXPECT_EQ(at(310, 205), 0xFFFFFFFFu);
    EXPECT_EQ(at(105, 55), 0xFFFFFFFFu) << "only the frame asked for";
    SDL_FreeSurface(png);

    EXPECT_EQ(tgl("render two.tgl --all -o frames").exitCode, 0);
    EXPECT_FALSE(slurp(dir.file("frames/frame_001.png")).empty());
    EXPECT_EQ(tgl("render two.tgl --sheet -o sheet.png").exitCode, 0);
    EXPECT_EQ(tgl("render two.tgl -o two.webp").exitCode, 0);
    EXPECT_EQ(slurp(dir.file("two.webp")).substr(8, 4), "WEBP");
    EXPECT_EQ(tgl("render two.tgl --frame 2 -o f2.png").exitCode, 2);
}

TEST_F(TglTool, VerifyExitCodes) {
    write("good.tgl", TglWriter().frame({}).image(tga(4, 0xFF000000)).build());
    write(
        "bad.tgl",
        TglWriter().frame({}).frame({}).image(tga(4, 0xFF000000)).rawBlock(Bytes{1, 2, 3}).build());
    EXPECT_EQ(tgl("verify good.tgl").exitCode, 0);
    Outcome bad = tgl("verify good.tgl bad.tgl");
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.out.find("bad.tgl: block 1 at offset "), std::string::npos) << bad.out;
    EXPECT_NE(bad.out.find("payload is not a zlib stream"), std::string::npos) << bad.out;
    write("short.tgl", TglWriter().frame({}).frame({}).image(tga(4, 0xFF000000)).build());
    EXPECT_NE(tgl("verify short.tgl").out.find("frame 1 has no image block"), std::string::npos);
    EXPECT_EQ(tgl("verify missing.tgl").exitCode, 2);
}

TEST_F(TglTool, NothingIsOverwrittenWithoutForce) {
    write("a.tga", tga(4, 0xFF000000));
    write("out.tgl", Bytes{'k', 'e', 'e', 'p'});
    Outcome refused = tgl("pack a.tga -o out.tgl");
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.err.find("already exists"), std::string::npos);
    EXPECT_EQ(slurp(dir.file("out.tgl")), "keep");
    EXPECT_EQ(tgl("pack a.tga -o out.tgl --force").exitCode, 0);
    EXPECT_EQ(slurp(dir.file("out.tgl")).substr(0, 3), "DFX");
}

// Several outputs: all checked before the first is written. --force replaces
// regular files only, and a dangling link counts as something there.
TEST_F(TglTool, OutputsAreAllOrNothingAndForceReplacesOnlyRegularFiles) {
    write("a.tga", tga(4, 0xFF000000));
    write("b.tga", tga(4, 0xFFFFFFFF));
    ASSERT_EQ(tgl("pack a.tga b.tga -o two.tgl").exitCode, 0);
    std::filesystem::create_directories(dir.file("frames"));
    write("frames/frame_001.tga", {'k'});
    EXPECT_EQ(tgl("unpack two.tgl frames").exitCode, 2);
    EXPECT_FALSE(std::filesystem::exists(dir.file("frames/frame_000.tga")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("frames/animation.json")));
    std::filesystem::create_directories(dir.file("pictures"));
    write("pictures/frame_001.png", {'k'});
    EXPECT_EQ(tgl("render two.tgl --all -o pictures").exitCode, 2);
    EXPECT_FALSE(std::filesystem::exists(dir.file("pictures/frame_000.png")));

    ASSERT_EQ(mkfifo(dir.file("fifo.tgl").c_str(), 0600), 0);
    std::filesystem::create_symlink("a.tga", dir.file("link.tgl"));
    std::filesystem::create_symlink("nowhere", dir.file("dangling.tgl"));
    for (const char* output : {"fifo.tgl", "link.tgl"}) {
        const Outcome r = tgl(std::string("pack b.tga -o ") + output + " --force");
        EXPECT_EQ(r.exitCode, 2) << output;
        EXPECT_NE(r.err.find("not a regular file"), std::string::npos) << r.err;
    }
    EXPECT_TRUE(std::filesystem::is_fifo(dir.file("fifo.tgl")));
    EXPECT_EQ(slurp(dir.file("a.tga")), slurp(dir.file("link.tgl"))) << "nothing written through";
    EXPECT_EQ(tgl("pack b.tga -o dangling.tgl").exitCode, 2);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("dangling.tgl")));
}

// animation.json as a user edits it: every number in its field's range, frame
// images from inside the folder, and one plain line for what is wrong.
TEST_F(TglTool, PackChecksEveryFieldAndKeepsToItsFolder) {
    write("a.tga", tga(4, 0xFF000000));
    ASSERT_EQ(tgl("pack a.tga a.tga -o two.tgl").exitCode, 0);
    ASSERT_EQ(tgl("unpack two.tgl out").exitCode, 0);
    const json original = json::parse(slurp(dir.file("out/animation.json")));
    const auto packWith = [&](const std::function<void(json&)>& edit,
                              const std::string& options = "") {
        json description = original;
        edit(description);
        const std::string text = description.dump();
        write("out/animation.json", Bytes(text.begin(), text.end()));
        return tgl("pack out -o again.tgl --force" + options);
    };
    const std::pair<std::function<void(json&)>, std::string> wrong[] = {
        {[](json& d) { d["frames"][1]["x"] = 1.5; },
         "frame 1: x must be an integer from -2147483648 to 2147483647, got 1.5"},
        {[](json& d) { d["frames"][0]["duration"] = 99999999999; }, "got 99999999999"},
        {[](json& d) { d["frames"][0]["y"] = 1e30; }, "frame 0: y must be an integer"},
        {[](json& d) { d["magicFourthByte"] = 1000; },
         "magicFourthByte must be an integer from 0 to 255, got 1000"},
        {[](json& d) { d["headerRest"] = "00"; }, "headerRest must be 72 hexadecimal digits"},
        {[](json& d) { d["frames"][0]["image"] = "../a.tga"; }, "is outside the folder"},
        {[&](json& d) { d["frames"][0]["image"] = dir.file("a.tga"); }, "is outside the folder"},
        {[](json& d) { d["frames"][0]["image"] = "link.tga"; }, "is outside the folder"},
        {[](json& d) { d["frames"] = 3; }, "\"frames\" array"},
    };
    std::filesystem::create_symlink(dir.file("a.tga"), dir.file("out/link.tga"));
    for (const auto& [edit, message] : wrong) {
        const Outcome r = packWith(edit);
        EXPECT_EQ(r.exitCode, 2) << message;
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("json.exception"), std::string::npos) << r.err;
    }
    EXPECT_EQ(packWith([](json& d) { d["frames"][0]["image"] = "../a.tga"; }, " --allow-outside")
                  .exitCode,
              0);
    write("out/animation.json", Bytes{'{', 'x'});
    const Outcome broken = tgl("pack out -o again.tgl --force");
    EXPECT_NE(broken.err.find("not valid JSON (at byte 2)"), std::string::npos) << broken.err;
}

// Files the viewer refuses unread are reported (exit 1) at once, not read.
TEST_F(TglTool, FilesTheViewerDoesNotReadAreReportedAsSuch) {
    write("big.tgl", Bytes{'D', 'F', 'X', 0});
    std::filesystem::resize_file(dir.file("big.tgl"), InputLimits::kMaxFileBytes); // sparse
    ASSERT_EQ(mkfifo(dir.file("fifo.tgl").c_str(), 0600), 0);
    for (const char* file : {"big.tgl", "fifo.tgl"}) {
        const Outcome r = tgl(std::string("info ") + file);
        EXPECT_EQ(r.exitCode, 1) << file;
        EXPECT_NE(r.out.find("which the viewer does not read"), std::string::npos) << r.out;
        EXPECT_EQ(tgl(std::string("verify ") + file).exitCode, 1) << file;
    }
    EXPECT_EQ(tgl("render fifo.tgl -o f.png").exitCode, 2) << "and returns";
}

TEST_F(TglTool, UsageErrorsExitTwoWithAMessage) {
    for (const char* arguments : {"", "frobnicate", "info", "pack a.tga", "render x.tgl",
                                  "pack a.tga -o x.tgl --durations 1,z"}) {
        Outcome r = tgl(arguments);
        EXPECT_EQ(r.exitCode, 2) << arguments;
        EXPECT_FALSE(r.err.empty() && r.out.empty()) << arguments;
    }
    EXPECT_EQ(tgl("--help").exitCode, 0);
    EXPECT_EQ(tgl("info --help").exitCode, 0);
    EXPECT_NE(tgl("--version").out.find("tgl "), std::string::npos);
}

} // namespace
