// tgl: describe, unpack, pack, render, verify and play .tgl animations.
// Exit codes: 0 success, 1 problems found, 2 usage or input/output error.

#include "image/limits.h"
#include "platform/file_names.h"
#include "tools/tgl/commands.h"
#include "tools/tgl/output.h"
#include "tools/tgl/play/play.h"
#include "tools/tgl/version.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
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

// A command: its subcommand in the parser, and what runs once it was chosen.
struct Command {
    CLI::App* parsed;
    std::function<int()> run;
};

Command infoCommand(CLI::App& app) {
    struct Options {
        std::string file;
        bool json = false;
    };
    auto o = std::make_shared<Options>();
    auto* command =
        app.add_subcommand("info", "the header, a row per frame, the loop time and any anomalies");
    command->add_option("FILE", o->file, "a .tgl file")->required();
    command->add_flag("--json", o->json, "one JSON document instead of text");
    return {command, [o] { return tgltool::info(o->file, o->json); }};
}

Command unpackCommand(CLI::App& app) {
    struct Options {
        std::string file, folder;
        bool force = false;
    };
    auto o = std::make_shared<Options>();
    auto* command =
        app.add_subcommand("unpack", "write each frame's image and animation.json into a folder");
    command->add_option("FILE", o->file, "a .tgl file")->required();
    command->add_option("DIR", o->folder, "the folder to write into")->required();
    command->add_flag("--force", o->force, "replace files that exist");
    return {command, [o] { return tgltool::unpack(o->file, o->folder, o->force); }};
}

// What `pack` reads from its command line before it becomes PackOptions.
struct PackArguments {
    tgltool::PackOptions pack;
    std::string durations, at, positions, grid;
    bool noTrim = false;
};

// The options for animations brought in from other formats.
void addAnimationOptions(CLI::App* command, PackArguments& o) {
    command->add_flag("--no-trim", o.noTrim,
                      "animations: keep whole canvases instead of what shows of each");
    command->add_option("--format", o.pack.format,
                        "animations: the frames' images as png (default), tga or bmp");
    command->add_option("--tag", o.pack.tag,
                        "sheet or Aseprite: only the frames of this tag, in its direction");
    command
        ->add_option("--layer", o.pack.layers,
                     "Aseprite: draw only this layer (repeat for more; a group: all it holds)")
        ->allow_extra_args(false); // one name each time, not the input after it
    command->add_option("--grid", o.grid, "WxH: INPUT is a strip or grid of cells this size");
    command->add_option("--count", o.pack.count,
                        "grid: take this many cells (default: to the last that is not empty)");
    command->add_option("--margin", o.pack.margin, "grid: pixels around the cells");
    command->add_option("--spacing", o.pack.spacing, "grid: pixels between the cells");
}

int runPack(PackArguments& o) {
    tgltool::PackOptions& pack = o.pack;
    if (!o.durations.empty()) pack.durations = numbers(o.durations, ',');
    pack.trim = !o.noTrim;
    if (!o.grid.empty()) {
        const auto size = numbers(o.grid, 'x');
        if (size.size() != 2 || size[0] < 1 || size[1] < 1)
            throw tgltool::CommandError("--grid is WxH: " + o.grid);
        pack.gridWidth = size[0];
        pack.gridHeight = size[1];
    }
    if (!o.at.empty()) {
        pack.hasAt = true;
        pack.at = point(o.at);
    }
    std::stringstream list(o.positions);
    for (std::string item; std::getline(list, item, ';');)
        pack.positions.push_back(point(item));
    return tgltool::pack(pack);
}

Command packCommand(CLI::App& app) {
    auto o = std::make_shared<PackArguments>();
    auto* command = app.add_subcommand(
        "pack", "build a .tgl file from a folder with animation.json, an animated GIF, WebP or "
                "PNG, an Aseprite file, a sprite sheet's JSON, a strip of cells, or images");
    command
        ->add_option("INPUT", o->pack.inputs,
                     "a folder from unpack; an animated .gif, .webp or .png; an .aseprite or .ase "
                     "file; a sprite sheet's .json; a strip with --grid; or image files in frame "
                     "order")
        ->required();
    command->add_option("-o,--output", o->pack.output, "the .tgl file to write")->required();
    command->add_option("--duration", o->pack.duration,
                        "milliseconds for every frame (default 100)");
    command->add_option("--durations", o->durations, "milliseconds per frame: a,b,c");
    command->add_option("--at", o->at, "X,Y for every frame (default: centred in 800 x 600)");
    command->add_option("--positions", o->positions, "X,Y per frame: x1,y1;x2,y2;...");
    command->add_flag("--force", o->pack.overwrite, "replace the output if it exists");
    command->add_flag("--allow-outside", o->pack.allowOutside,
                      "take animation.json's images, or a sheet, from outside its folder");
    addAnimationOptions(command, *o);
    command->footer(
        "A GIF frame of delay 0 or 1 hundredths shows for 100 ms, as browsers show it. Frames of "
        "an animation are placed as they show, centred in 800 x 600 unless --at says "
        "where the canvas goes (a sheet from tgl export goes back where it was).\n"
        "Examples:\n  tgl pack hero.aseprite --tag run -o run.tgl\n"
        "  tgl pack walk.png -o walk.tgl            (an animated PNG)\n"
        "  tgl pack strip.png --grid 32x32 --duration 80 -o strip.tgl");
    return {command, [o] { return runPack(*o); }};
}

Command renderCommand(CLI::App& app) {
    struct Options {
        std::string file, output, background = "white", range;
        bool all = false, sheet = false, apng = false;
        tgltool::RenderOptions render;
    };
    auto o = std::make_shared<Options>();
    auto* command =
        app.add_subcommand("render", "what the viewer shows, as PNG, animated PNG, WebP or GIF");
    command->add_option("FILE", o->file, "a .tgl file")->required();
    command
        ->add_option("-o,--output", o->output,
                     "OUT.png, a folder with --all, OUT.apng, OUT.webp or OUT.gif")
        ->required();
    command->add_flag("--apng", o->apng, "an animated PNG, whatever OUT's name");
    command->add_option("--scale", o->render.scale,
                        "N from 1 to 16: each pixel an N x N block, as pixel art is enlarged");
    command->add_flag("--crop", o->render.look.crop,
                      "GIF: only the frames' box, not the whole window");
    command->add_option("--background", o->background,
                        "GIF: white (default) or none, transparent where nothing shows");
    command->add_option("--frame", o->render.frame, "the frame to render (default 0)");
    auto* all = command->add_flag("--all", o->all, "every frame as a PNG in the folder OUT");
    command->add_flag("--sheet", o->sheet, "every frame on one contact sheet")->excludes(all);
    command->add_flag("--force", o->render.overwrite, "replace files that exist");
    command->add_option("--range", o->range,
                        "A-B: frames A to B only, with --all, --sheet or an animation");
    command->footer("Example:\n  tgl render walk.tgl -o walk.apng --scale 4");
    return {command, [o] {
                using tgltool::RenderMode;
                tgltool::RenderOptions& render = o->render;
                render.mode = o->all                         ? RenderMode::All
                              : o->sheet                     ? RenderMode::Sheet
                              : o->apng                      ? RenderMode::Apng
                              : endsWith(o->output, ".apng") ? RenderMode::Apng
                              : endsWith(o->output, ".webp") ? RenderMode::WebP
                              : endsWith(o->output, ".gif")  ? RenderMode::Gif
                                                             : RenderMode::Frame;
                if (o->background != "white" && o->background != "none")
                    throw tgltool::CommandError("--background is white or none: " + o->background);
                render.look.transparent = o->background == "none";
                if (!o->range.empty()) {
                    const auto ab = numbers(o->range, '-');
                    if (ab.size() != 2) throw tgltool::CommandError("--range is A-B: " + o->range);
                    render.range = {ab[0], ab[1]};
                }
                return tgltool::render(o->file, o->output, render);
            }};
}

Command exportCommand(CLI::App& app) {
    struct Options {
        std::string file, output;
        tgltool::ExportOptions sheet;
    };
    auto o = std::make_shared<Options>();
    auto* command = app.add_subcommand(
        "export", "the frames on one sprite sheet, with the JSON frame list engines read");
    command->add_option("FILE", o->file, "a .tgl file")->required();
    command->add_option("--sheet", o->output, "OUT.png; OUT.json is written beside it")->required();
    command->add_flag("--pot", o->sheet.powerOfTwoSides, "sides that are powers of two");
    command->add_flag("--json-array", o->sheet.jsonArray, "frames as an array, not a hash by name");
    command->add_flag("--force", o->sheet.overwrite, "replace files that exist");
    command->add_option("--scale", o->sheet.scale,
                        "N from 1 to 16: each pixel an N x N block, the JSON's sizes too");
    command->add_option("--padding", o->sheet.padding, "pixels between sprites (default 1)");
    command->add_option("--extrude", o->sheet.extrude,
                        "repeat each sprite's edge pixels this many times around it");
    command->footer("Example:\n  tgl export walk.tgl --sheet walk.png --padding 2 --extrude 1");
    return {command, [o] { return tgltool::exportSheet(o->file, o->output, o->sheet); }};
}

Command thumbnailCommand(CLI::App& app) {
    struct Options {
        std::string file, output;
        int size = 256;
        bool force = false;
    };
    auto o = std::make_shared<Options>();
    auto* command = app.add_subcommand(
        "thumbnail", "the first frame that shows, cropped to the frames and fitted into a square");
    command->add_option("FILE", o->file, "a .tgl file")->required();
    command->add_option("OUT", o->output, "the PNG to write")->required();
    command->add_option("--size", o->size, "the square's side (default 256)");
    command->add_flag("--force", o->force, "replace the output if it exists");
    return {command, [o] { return tgltool::thumbnail(o->file, o->output, o->size, o->force); }};
}

Command verifyCommand(CLI::App& app) {
    auto inputs = std::make_shared<std::vector<std::string>>();
    auto* command = app.add_subcommand(
        "verify", "exit 0 when every frame of every file would show, 1 when not");
    command->add_option("FILE", *inputs, "the .tgl files")->required();
    return {command, [inputs] { return tgltool::verify(*inputs); }};
}

Command playCommand(CLI::App& app) {
    struct Options {
        tgltool::PlayOptions play;
        std::string size;
    };
    auto o = std::make_shared<Options>();
    auto* command =
        app.add_subcommand("play", "play the file in a window, with keys to pause, step and zoom");
    command->add_option("FILE", o->play.file, "a .tgl file")->required();
    command->add_option("--speed", o->play.speed, "1 is as the file says (1/8 to 8)");
    command->add_option("--zoom", o->play.zoom, "1, 2, 4 or 8");
    command->add_option("--background", o->play.background, "white, black, checker or #RRGGBB");
    command->add_flag("--paused", o->play.paused, "start paused");
    command->add_option("--frame", o->play.frame, "the frame to start on (default 0)");
    command->add_option("--font", o->play.font, "the .fnt font of the overlay");
    command->add_option("--size", o->size, "the window's WxH (default 800x600)");
    command->add_option("--screenshot", o->play.screenshot,
                        "write the first picture to this PNG and quit");
    return {command, [o] {
                if (!o->size.empty()) {
                    const auto wh = numbers(o->size, 'x');
                    constexpr int kSide = InputLimits::kMaxImageSide;
                    if (wh.size() != 2 || wh[0] < 1 || wh[1] < 1 || wh[0] > kSide || wh[1] > kSide)
                        throw tgltool::CommandError("a size is WxH, each from 1 to " +
                                                    std::to_string(kSide) + ": " + o->size);
                    o->play.width = wh[0];
                    o->play.height = wh[1];
                }
                return tgltool::play(o->play);
            }};
}

// Runs the command chosen; its failures become exit code 2 with one line.
int runReporting(const std::function<int()>& run) {
    try {
        return run();
    } catch (const tgltool::CommandError& e) {
        std::fprintf(stderr, "tgl: %s\n", e.what());
    } catch (const std::filesystem::filesystem_error& e) {
        std::fprintf(stderr, "tgl: %s: %s\n", filenames::utf8FromPath(e.path1()).c_str(),
                     e.code().message().c_str());
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "tgl: not enough memory\n");
    } catch (const std::exception&) {
        std::fprintf(stderr, "tgl: the command failed unexpectedly\n");
    }
    return 2;
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
    const Command commands[] = {infoCommand(app),   unpackCommand(app), packCommand(app),
                                renderCommand(app), exportCommand(app), thumbnailCommand(app),
                                verifyCommand(app), playCommand(app)};
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
    for (const Command& command : commands)
        if (*command.parsed) return runReporting(command.run);
    return 2;
}
