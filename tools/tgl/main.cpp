// tgl: describe, unpack, pack, render, verify and play .tgl animations.
// Exit codes: 0 success, 1 problems found, 2 usage or input/output error.

#include "image/limits.h"
#include "platform/file_names.h"
#include "tools/tgl/commands.h"
#include "tools/tgl/play/play.h"
#include "tools/tgl/output.h"
#include "tools/tgl/version.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <sstream>

namespace {


std::vector<std::int32_t> numbers(const std::string& text, char separator) {
    std::vector<std::int32_t> out;
    std::stringstream in(text);
    for (std::string item; std::getline(in, item, separator);) {
        char* end = nullptr;
        errno = 0;
        const long long value = std::strtoll(item.c_str(), &end, 10);
        if (item.empty() || *end != '\0' || errno == ERANGE || value < INT32_MIN ||
            value > INT32_MAX)
            throw tgltool::CommandError("not a number from -2147483648 to 2147483647: " + item);
        out.push_back(static_cast<std::int32_t>(value));
    }
    return out;
}

std::pair<std::int32_t, std::int32_t> point(const std::string& text) {
    const auto xy = numbers(text, ',');
    if (xy.size() != 2) throw tgltool::CommandError("a position is X,Y: " + text);
    return {xy[0], xy[1]};
}

bool endsWith(const std::string& s, const std::string& end) {
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

// The arguments as UTF-8: on Windows from the wide command line, not through
// the code page.
std::vector<std::string> utf8Arguments(int argc, char** argv) {
#if defined(_WIN32)
    (void)argc, (void)argv;
    return filenames::commandLineArguments();
#else
    return std::vector<std::string>(argv, argv + argc);
#endif
}

} // namespace

int main(int argc, char** argv) {
#if defined(_WIN32)
    const filenames::Utf8Console console;
#endif
    std::vector<std::string> arguments = utf8Arguments(argc, argv);
    CLI::App app{
        "Describe, unpack, pack, render, export, verify, thumbnail and play .tgl animations.",
        "tgl"};
    app.set_version_flag("--version", std::string("tgl ") + tgltool::kVersion);
    app.require_subcommand(1);
    // Options begin with dashes everywhere; a path such as /tmp/a.tgl is never one.
    app.allow_windows_style_options(false);

    std::string file, folder, output;
    bool json = false, force = false, all = false, sheet = false;
    int frame = 0;
    std::vector<std::string> inputs;
    tgltool::PackOptions pack;
    std::string durations, at, positions;

    auto* info =
        app.add_subcommand("info", "the header, a row per frame, the loop time and any anomalies");
    info->add_option("FILE", file, "a .tgl file")->required();
    info->add_flag("--json", json, "one JSON document instead of text");

    auto* unpack =
        app.add_subcommand("unpack", "write each frame's image and animation.json into a folder");
    unpack->add_option("FILE", file, "a .tgl file")->required();
    unpack->add_option("DIR", folder, "the folder to write into")->required();
    unpack->add_flag("--force", force, "replace files that exist");

    auto* packCommand = app.add_subcommand(
        "pack", "build a .tgl file from a folder with animation.json, an animated GIF or WebP, a "
                "sprite sheet's JSON, or images");
    packCommand
        ->add_option("INPUT", pack.inputs,
                     "a folder from unpack; an animated .gif or .webp; a sprite sheet's .json; or "
                     "image files in frame order")
        ->required();
    packCommand->add_option("-o,--output", pack.output, "the .tgl file to write")->required();
    packCommand->add_option("--duration", pack.duration,
                            "milliseconds for every frame (default 100)");
    packCommand->add_option("--durations", durations, "milliseconds per frame: a,b,c");
    packCommand->add_option("--at", at, "X,Y for every frame (default: centred in 800 x 600)");
    packCommand->add_option("--positions", positions, "X,Y per frame: x1,y1;x2,y2;...");
    packCommand->add_flag("--force", pack.overwrite, "replace the output if it exists");
    packCommand->add_flag("--allow-outside", pack.allowOutside,
                          "take animation.json's images, or a sheet, from outside its folder");
    bool noTrim = false;
    packCommand->add_flag("--no-trim", noTrim,
                          "GIF, WebP, sheet: keep whole canvases instead of what shows of each");
    packCommand->add_option("--format", pack.format,
                            "GIF, WebP, sheet: the frames' images as png (default), tga or bmp");
    packCommand->add_option("--tag", pack.tag, "sheet: only the frames of this frame tag");
    packCommand->footer(
        "A GIF frame of delay 0 or 1 hundredths shows for 100 ms, as browsers show it. Frames of "
        "a GIF, WebP or sheet are placed as they show, centred in 800 x 600 unless --at says "
        "where the canvas goes (a sheet from tgl export goes back where it was).");

    auto* renderCommand =
        app.add_subcommand("render", "what the viewer shows, as PNG, animated WebP or GIF");
    renderCommand->add_option("FILE", file, "a .tgl file")->required();
    renderCommand
        ->add_option("-o,--output", output, "OUT.png, a folder with --all, OUT.webp or OUT.gif")
        ->required();
    tgltool::GifLook look;
    std::string background = "white";
    renderCommand->add_flag("--crop", look.crop, "GIF: only the frames' box, not the whole window");
    renderCommand->add_option("--background", background,
                              "GIF: white (default) or none, transparent where nothing shows");
    renderCommand->add_option("--frame", frame, "the frame to render (default 0)");
    auto* allFlag = renderCommand->add_flag("--all", all, "every frame as a PNG in the folder OUT");
    renderCommand->add_flag("--sheet", sheet, "every frame on one contact sheet")
        ->excludes(allFlag);
    renderCommand->add_flag("--force", force, "replace files that exist");
    std::string range;
    renderCommand->add_option("--range", range,
                              "A-B: frames A to B only, with --all, --sheet or WebP");

    bool powerOfTwo = false, jsonArray = false;
    auto* exportCommand = app.add_subcommand(
        "export", "the frames on one sprite sheet, with the JSON frame list engines read");
    exportCommand->add_option("FILE", file, "a .tgl file")->required();
    exportCommand->add_option("--sheet", output, "OUT.png; OUT.json is written beside it")
        ->required();
    exportCommand->add_flag("--pot", powerOfTwo, "sides that are powers of two");
    exportCommand->add_flag("--json-array", jsonArray, "frames as an array, not a hash by name");
    exportCommand->add_flag("--force", force, "replace files that exist");

    int thumbnailSize = 256;
    auto* thumbnailCommand = app.add_subcommand(
        "thumbnail", "the first frame that shows, cropped to the frames and fitted into a square");
    thumbnailCommand->add_option("FILE", file, "a .tgl file")->required();
    thumbnailCommand->add_option("OUT", output, "the PNG to write")->required();
    thumbnailCommand->add_option("--size", thumbnailSize, "the square's side (default 256)");
    thumbnailCommand->add_flag("--force", force, "replace the output if it exists");

    auto* verify = app.add_subcommand(
        "verify", "exit 0 when every frame of every file would show, 1 when not");
    verify->add_option("FILE", inputs, "the .tgl files")->required();

    tgltool::PlayOptions play;
    std::string size;
    auto* playCommand =
        app.add_subcommand("play", "play the file in a window, with keys to pause, step and zoom");
    playCommand->add_option("FILE", play.file, "a .tgl file")->required();
    playCommand->add_option("--speed", play.speed, "1 is as the file says (1/8 to 8)");
    playCommand->add_option("--zoom", play.zoom, "1, 2, 4 or 8");
    playCommand->add_option("--background", play.background, "white, black, checker or #RRGGBB");
    playCommand->add_flag("--paused", play.paused, "start paused");
    playCommand->add_option("--frame", play.frame, "the frame to start on (default 0)");
    playCommand->add_option("--font", play.font, "the .fnt font of the overlay");
    playCommand->add_option("--size", size, "the window's WxH (default 800x600)");
    playCommand->add_option("--screenshot", play.screenshot,
                            "write the first picture to this PNG and quit");

    try {
        std::vector<char*> pointers;
        for (std::string& argument : arguments)
            pointers.push_back(argument.data());
        app.parse(int(pointers.size()), pointers.data());
    } catch (const CLI::Success& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return 2;
    }

    try {
        if (*info) return tgltool::info(file, json);
        if (*unpack) return tgltool::unpack(file, folder, force);
        if (*packCommand) {
            if (!durations.empty()) pack.durations = numbers(durations, ',');
            pack.trim = !noTrim;
            if (!at.empty()) {
                pack.hasAt = true;
                pack.at = point(at);
            }
            std::stringstream list(positions);
            for (std::string item; std::getline(list, item, ';');)
                pack.positions.push_back(point(item));
            return tgltool::pack(pack);
        }
        if (*renderCommand) {
            tgltool::RenderMode mode = all                         ? tgltool::RenderMode::All
                                       : sheet                     ? tgltool::RenderMode::Sheet
                                       : endsWith(output, ".webp") ? tgltool::RenderMode::WebP
                                       : endsWith(output, ".gif")  ? tgltool::RenderMode::Gif
                                                                   : tgltool::RenderMode::Frame;
            if (background != "white" && background != "none")
                throw tgltool::CommandError("--background is white or none: " + background);
            look.transparent = background == "none";
            tgltool::FrameRange frames;
            if (!range.empty()) {
                const auto ab = numbers(range, '-');
                if (ab.size() != 2) throw tgltool::CommandError("--range is A-B: " + range);
                frames = {ab[0], ab[1]};
            }
            return tgltool::render(file, output, mode, frame, force, frames, look);
        }
        if (*verify) return tgltool::verify(inputs);
        if (*exportCommand) return tgltool::exportSheet(file, output, powerOfTwo, jsonArray, force);
        if (*thumbnailCommand) return tgltool::thumbnail(file, output, thumbnailSize, force);
        if (*playCommand) {
            if (!size.empty()) {
                const auto wh = numbers(size, 'x');
                constexpr int kSide = InputLimits::kMaxImageSide;
                if (wh.size() != 2 || wh[0] < 1 || wh[1] < 1 || wh[0] > kSide || wh[1] > kSide)
                    throw tgltool::CommandError("a size is WxH, each from 1 to " +
                                                std::to_string(kSide) + ": " + size);
                play.width = wh[0];
                play.height = wh[1];
            }
            return tgltool::play(play);
        }
    } catch (const tgltool::CommandError& e) {
        std::fprintf(stderr, "tgl: %s\n", e.what());
        return 2;
    } catch (const std::filesystem::filesystem_error& e) {
        std::fprintf(stderr, "tgl: %s: %s\n", filenames::utf8FromPath(e.path1()).c_str(),
                     e.code().message().c_str());
        return 2;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "tgl: not enough memory\n");
        return 2;
    } catch (const std::exception&) {
        std::fprintf(stderr, "tgl: the command failed unexpectedly\n");
        return 2;
    }
    return 2;
}
