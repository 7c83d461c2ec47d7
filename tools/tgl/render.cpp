#include "draw/sprite.h"
#include "engine/engine.h"
#include "engine/engine_ref.h"
#include "engine/engine_test_hooks.h"
#include "qub/image/image.h"
#include "tgl/tgl_animation.h"
#include "tools/tgl/commands.h"
#include "tools/tgl/output.h"
#include "tools/tgl/webp_export.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <unistd.h>

namespace tgltool {

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;
using Picture = std::vector<std::uint32_t>; // 0xAARRGGBB, kWidth x kHeight

// Our engine, drawing off-screen (no display needed), for as long as a render runs.
class HeadlessEngine {
  public:
    HeadlessEngine() {
        if (!engine_ || !engine_->testHooks()) throw CommandError("the engine did not start");
        engine_->testHooks()->setOffscreen(true);
        if (!engine_->init()) throw CommandError("the engine did not start");
    }
    HeadlessEngine(const HeadlessEngine&) = delete;
    HeadlessEngine& operator=(const HeadlessEngine&) = delete;
    ~HeadlessEngine() { engine_->shutdown(); }
    Engine* operator->() const { return engine_.get(); }

  private:
    EngineRef engine_;
};

// What the viewer shows for one frame: white, and the frame's image at its place.
Picture renderFrame(HeadlessEngine& engine, CTGL& animation, int index) {
    Picture picture(std::size_t(kWidth) * kHeight);
    engine->beginScene(0);
    engine->clearScreen(0xFFFFFFFF);
    CTGL::frame& f = animation.frames[index];
    if (f.sprite) f.sprite->render(static_cast<float>(f.x), static_cast<float>(f.y));
    engine->testHooks()->readBackBuffer(picture.data(), kWidth, kHeight);
    engine->endScene();
    return picture;
}

void writePng(const std::string& path, Picture& picture, int width, int height, bool overwrite) {
    refuseExisting(path, overwrite);
    const std::string temporary = path + ".part-" + std::to_string(getpid());
    const bool saved = qub::writePngFile(temporary.c_str(), picture.data(), width, height);
    std::error_code error;
    if (saved) fs::rename(temporary, path, error);
    if (!saved || error) {
        std::remove(temporary.c_str());
        throw CommandError(path + ": cannot write");
    }
}

// Frames at a quarter of their size, four to a row, on grey.
Picture contactSheet(const std::vector<Picture>& frames, int& width, int& height) {
    constexpr int kScale = 4, kColumns = 4, kGap = 2;
    const int cellW = kWidth / kScale, cellH = kHeight / kScale;
    const int rows = (static_cast<int>(frames.size()) + kColumns - 1) / kColumns;
    width = kColumns * cellW + (kColumns + 1) * kGap;
    height = rows * cellH + (rows + 1) * kGap;
    Picture sheet(std::size_t(width) * std::size_t(height), 0xFF808080);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const int x0 = kGap + static_cast<int>(i % kColumns) * (cellW + kGap);
        const int y0 = kGap + static_cast<int>(i / kColumns) * (cellH + kGap);
        for (int y = 0; y < cellH; ++y)
            for (int x = 0; x < cellW; ++x) {
                std::uint32_t sum[4] = {};
                for (int dy = 0; dy < kScale; ++dy)
                    for (int dx = 0; dx < kScale; ++dx) {
                        const std::uint32_t p =
                            frames[i][std::size_t((y * kScale + dy) * kWidth + x * kScale + dx)];
                        for (int c = 0; c < 4; ++c)
                            sum[c] += (p >> (8 * c)) & 0xFF;
                    }
                std::uint32_t out = 0;
                for (int c = 0; c < 4; ++c)
                    out |= (sum[c] / (kScale * kScale)) << (8 * c);
                sheet[std::size_t((y0 + y) * width + x0 + x)] = out;
            }
    }
    return sheet;
}

} // namespace

int render(const std::string& file, const std::string& output, RenderMode mode, int frame,
           bool overwrite) {
    HeadlessEngine engine;
    CTGL animation;
    if (!animation.load(file.c_str()))
        throw CommandError(file + ": cannot be loaded as an animation");
    const int count = animation.frames.size();
    if (count == 0) throw CommandError(file + ": has no frames to render");

    if (mode == RenderMode::Frame) {
        if (frame < 0 || frame >= count)
            throw CommandError("--frame " + std::to_string(frame) +
                               ": the animation has frames 0 to " + std::to_string(count - 1));
        Picture picture = renderFrame(engine, animation, frame);
        writePng(output, picture, kWidth, kHeight, overwrite);
        return 0;
    }

    if (mode == RenderMode::All) {
        // One picture at a time, after every name has been checked.
        std::vector<std::string> names;
        for (int i = 0; i < count; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "frame_%03d.png", i);
            names.push_back((fs::path(output) / name).string());
        }
        refuseExisting(names, overwrite);
        fs::create_directories(output);
        Progress progress("rendering", static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            Picture picture = renderFrame(engine, animation, i);
            writePng(names[std::size_t(i)], picture, kWidth, kHeight, overwrite);
            progress.step(static_cast<std::size_t>(i + 1));
        }
        return 0;
    }

    std::vector<Picture> frames;
    std::vector<std::int32_t> durations;
    Progress progress("rendering", static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        frames.push_back(renderFrame(engine, animation, i));
        durations.push_back(animation.frames[i].duration);
        progress.step(static_cast<std::size_t>(i + 1));
    }
    if (mode == RenderMode::Sheet) {
        int width = 0, height = 0;
        Picture sheet = contactSheet(frames, width, height);
        writePng(output, sheet, width, height, overwrite);
    } else {
        writeWhole(output, animatedWebP(frames, kWidth, kHeight, durations), overwrite);
    }
    return 0;
}

} // namespace tgltool
