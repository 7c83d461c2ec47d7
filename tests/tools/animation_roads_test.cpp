// GIF, animated WebP and sprite sheets into .tgl files and out again. The
// fixtures come from giflib's and libwebp's own encoders; what a GIF shows is
// checked against another decoder, gdk-pixbuf's.

#include "format/animation.h"
#include "format/compose.h"
#include "image/image.h"
#include "image/limits.h"
#include "tests/support/temp_dir.h"
#include "tools/tgl/animation_import.h"
#include "tools/tgl/commands.h"
#include "tools/tgl/output.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <webp/encode.h>
#include <webp/mux.h>

#include <cmath>
#include <fstream>
#include <sys/wait.h>

namespace {

using Pixels = std::vector<std::uint32_t>;

struct Shown {
    Pixels pixels; // 0xAARRGGBB
    int delay = 0; // milliseconds
};

// An image of a GIF fixture: where it goes and how it leaves the screen.
struct GifImage {
    int left, top, width, height;
    int disposal, delay, transparent; // transparent: an index, or -1
    bool interlaced, local;
};

// A GIF made by giflib's encoder; pixel (x, y) of image i is colour (x + y + i) % 7 + 1 of
// its palette, index 0 where (x * y) % 5 == 0 when the image has a transparent index.
std::vector<std::uint8_t> gifOf(int width, int height, const std::vector<GifImage>& images) {
    std::vector<std::uint8_t> bytes;
    int error = 0;
    GifFileType* gif = EGifOpen(
        &bytes,
        [](GifFileType* g, const GifByteType* data, int size) {
            auto* out = static_cast<std::vector<std::uint8_t>*>(g->UserData);
            out->insert(out->end(), data, data + size);
            return size;
        },
        &error);
    GifColorType global[8], local[8];
    for (int i = 0; i < 8; ++i) {
        global[i] = {GifByteType(30 * i), GifByteType(200 - 20 * i), 90};
        local[i] = {250, GifByteType(31 * i), GifByteType(255 - 31 * i)};
    }
    ColorMapObject* globalMap = GifMakeMapObject(8, global);
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, width, height, 8, 0, globalMap);
    for (std::size_t i = 0; i < images.size(); ++i) {
        const GifImage& m = images[i];
        GraphicsControlBlock control{m.disposal, false, m.delay, m.transparent};
        GifByteType extension[4];
        EGifGCBToExtension(&control, extension);
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension);
        ColorMapObject* map = m.local ? GifMakeMapObject(8, local) : nullptr;
        if (!map && gif->Image.ColorMap) { // giflib would lose the last image's copy
            GifFreeMapObject(gif->Image.ColorMap);
            gif->Image.ColorMap = nullptr;
        }
        EGifPutImageDesc(gif, m.left, m.top, m.width, m.height, m.interlaced, map);
        GifFreeMapObject(map);
        const int starts[] = {0, 4, 2, 1}, steps[] = {8, 8, 4, 2};
        for (int pass = 0; pass < (m.interlaced ? 4 : 1); ++pass)
            for (int y = m.interlaced ? starts[pass] : 0; y < m.height;
                 y += m.interlaced ? steps[pass] : 1) {
                std::vector<GifByteType> row(std::size_t(m.width));
                for (int x = 0; x < m.width; ++x)
                    row[std::size_t(x)] = m.transparent >= 0 && (x * y) % 5 == 0
                                              ? GifByteType(m.transparent)
                                              : GifByteType((x + y + int(i)) % 7 + 1);
                EGifPutLine(gif, row.data(), m.width);
            }
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(globalMap);
    return bytes;
}

void save(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Every frame of an animation as gdk-pixbuf composes it, straight alpha.
std::vector<Shown> pixbufFrames(const std::string& path, int count) {
    GError* error = nullptr;
    GdkPixbufAnimation* animation = gdk_pixbuf_animation_new_from_file(path.c_str(), &error);
    EXPECT_TRUE(animation) << (error ? error->message : "");
    std::vector<Shown> frames;
    if (!animation) return frames;
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    GTimeVal now{1000, 0};
    GdkPixbufAnimationIter* iter = gdk_pixbuf_animation_get_iter(animation, &now);
    for (int i = 0; i < count; ++i) {
        GdkPixbuf* p = gdk_pixbuf_animation_iter_get_pixbuf(iter);
        Shown shown{{}, gdk_pixbuf_animation_iter_get_delay_time(iter)};
        const int w = gdk_pixbuf_get_width(p), h = gdk_pixbuf_get_height(p);
        const int channels = gdk_pixbuf_get_n_channels(p), stride = gdk_pixbuf_get_rowstride(p);
        const guchar* rows = gdk_pixbuf_read_pixels(p);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const guchar* c = rows + y * stride + x * channels;
                shown.pixels.push_back(std::uint32_t(channels == 4 ? c[3] : 255) << 24 |
                                       std::uint32_t(c[0]) << 16 | std::uint32_t(c[1]) << 8 | c[2]);
            }
        frames.push_back(std::move(shown));
        g_time_val_add(&now, long(std::max(shown.delay, 1)) * 1000);
        gdk_pixbuf_animation_iter_advance(iter, &now);
    }
    G_GNUC_END_IGNORE_DEPRECATIONS
    g_object_unref(iter);
    g_object_unref(animation);
    return frames;
}

std::uint32_t overWhite(std::uint32_t p) {
    const std::uint32_t a = p >> 24;
    std::uint32_t out = 0xFF000000u;
    for (int shift : {16, 8, 0})
        out |= (((p >> shift) & 0xFF) * a + 255 * (255 - a) + 127) / 255 << shift;
    return out;
}

tglformat::Animation read(const std::string& path) {
    tglformat::Animation animation;
    auto source = tglformat::openFile(path.c_str());
    EXPECT_TRUE(source && tglformat::readAnimation(*source, animation)) << path;
    return animation;
}

// What the viewer shows of frame i, in the w x h box at (left, top).
Pixels viewed(const tglformat::Animation& animation, std::size_t i, int left, int top, int w,
              int h) {
    const tglformat::Picture window =
        tglformat::composeFrame(animation.frames[i], animation.images[i]);
    Pixels out;
    for (int y = top; y < top + h; ++y)
        for (int x = left; x < left + w; ++x)
            out.push_back(window.pixels[std::size_t(y) * 800 + std::size_t(x)]);
    return out;
}

Pixels onWhite(Pixels pixels) {
    for (std::uint32_t& p : pixels)
        p = overWhite(p);
    return pixels;
}

const std::vector<GifImage> kGifImages = {
    {0, 0, 48, 40, DISPOSE_DO_NOT, 5, -1, false, false},
    {8, 8, 16, 16, DISPOSE_BACKGROUND, 0, 0, false, true},
    {26, 26, 16, 10, DISPOSE_PREVIOUS, 1, 0, true, true},
    {4, 20, 10, 10, DISPOSE_DO_NOT, 12, 3, false, false},
    {36, 30, 20, 16, DISPOSE_DO_NOT, 7, -1, false, true}, // past the corner
};

class AnimationRoads : public ::testing::Test {
  protected:
    std::string file(const std::string& name) const { return dir.file(name); }
    void pack(const std::string& input, const std::string& output) {
        tgltool::PackOptions options;
        options.inputs = {input};
        options.output = output;
        ASSERT_EQ(tgltool::pack(options), 0);
    }
    TempDir dir;
};

// Each frame shows what gdk-pixbuf composes, centred in the window, for the
// GIF's time (0 and 1 hundredths as 100 ms); and the GIF made of the .tgl
// shows the same frames again, in the same times.
TEST_F(AnimationRoads, GifFramesShowAsAnotherDecoderComposesThemAndComeBackOut) {
    save(file("in.gif"), gifOf(48, 40, kGifImages));
    pack(file("in.gif"), file("in.tgl"));
    const tglformat::Animation animation = read(file("in.tgl"));
    ASSERT_EQ(animation.frames.size(), kGifImages.size());
    const std::vector<Shown> expected = pixbufFrames(file("in.gif"), int(kGifImages.size()));
    const int left = (800 - 48) / 2, top = (600 - 40) / 2;
    const int delays[] = {50, 100, 100, 120, 70};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(viewed(animation, i, left, top, 48, 40), onWhite(expected[i].pixels)) << i;
        EXPECT_EQ(animation.frames[i].duration, delays[i]) << i;
    }

    tgltool::RenderOptions gif;
    gif.mode = tgltool::RenderMode::Gif;
    gif.look = {true, true};
    ASSERT_EQ(tgltool::render(file("in.tgl"), file("out.gif"), gif), 0);
    const std::vector<Shown> back = pixbufFrames(file("out.gif"), int(kGifImages.size()));
    for (std::size_t i = 0; i < back.size(); ++i) {
        EXPECT_EQ(onWhite(back[i].pixels), onWhite(expected[i].pixels)) << i;
        EXPECT_NEAR(back[i].delay, delays[i], 10) << i;
    }
}

// The sample, exported whole on white: within its palette's error, and the times kept.
TEST_F(AnimationRoads, TheSampleAsAGifIsTheViewersFramesWithinThePalette) {
    const tglformat::Animation sample = read(SAMPLE);
    tgltool::RenderOptions gif;
    gif.mode = tgltool::RenderMode::Gif;
    ASSERT_EQ(tgltool::render(SAMPLE, file("s.gif"), gif), 0);
    const std::vector<Shown> frames = pixbufFrames(file("s.gif"), int(sample.frames.size()));
    double error = 0, spriteError = 0, spritePixels = 0;
    std::int64_t carried = 0, shownTime = 0;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const Pixels window = viewed(sample, i, 0, 0, 800, 600);
        ASSERT_EQ(frames[i].pixels.size(), window.size());
        for (std::size_t p = 0; p < window.size(); ++p) {
            double here = 0;
            for (int shift : {16, 8, 0})
                here += std::abs(int((window[p] >> shift) & 0xFF) -
                                 int((frames[i].pixels[p] >> shift) & 0xFF));
            error += here;
            if (window[p] != 0xFFFFFFFF) spriteError += here, spritePixels += 1;
        }
        carried += sample.frames[i].duration;
        shownTime += frames[i].delay;
        EXPECT_NEAR(frames[i].delay, sample.frames[i].duration, 10) << i;
        EXPECT_NEAR(shownTime, carried, 10) << "the rounding is not carried";
    }
    error /= double(frames.size()) * 800 * 600 * 3;
    std::printf("mean error per channel of the sample as GIF: %.3f over the window, %.2f over "
                "the sprite\n",
                error, spriteError / spritePixels / 3);
    EXPECT_LT(error, 1.0);
}

// Lossless WebP frames come through exactly, stored as PNG, TGA or BMP.
TEST_F(AnimationRoads, LosslessWebPFramesComeThroughExactly) {
    WebPAnimEncoderOptions options;
    WebPAnimEncoderOptionsInit(&options);
    WebPConfig config;
    WebPConfigInit(&config);
    config.lossless = 1;
    WebPAnimEncoder* encoder = WebPAnimEncoderNew(30, 20, &options);
    std::vector<Pixels> pictures;
    for (int f = 0; f < 3; ++f) {
        Pixels p(600);
        for (int i = 0; i < 600; ++i) {
            const std::uint32_t alpha = (i + f) % 3 == 0 ? 0 : f % 2 ? 0x80 : 0xFF;
            p[std::size_t(i)] = alpha ? alpha << 24 | (std::uint32_t(i) * 2654435761u >> 8) : 0;
        }
        WebPPicture picture;
        WebPPictureInit(&picture);
        picture.use_argb = 1;
        picture.width = 30;
        picture.height = 20;
        WebPPictureAlloc(&picture);
        std::copy(p.begin(), p.end(), picture.argb);
        WebPAnimEncoderAdd(encoder, &picture, f * 80, &config);
        WebPPictureFree(&picture);
        pictures.push_back(p);
    }
    WebPAnimEncoderAdd(encoder, nullptr, 3 * 80, nullptr);
    WebPData data;
    WebPDataInit(&data);
    ASSERT_TRUE(WebPAnimEncoderAssemble(encoder, &data));
    save(file("in.webp"), std::vector<std::uint8_t>(data.bytes, data.bytes + data.size));
    WebPDataClear(&data);
    WebPAnimEncoderDelete(encoder);

    // The same pixels whatever the frames are stored as.
    for (const char* format : {"png", "tga", "bmp"}) {
        tgltool::PackOptions options;
        options.inputs = {file("in.webp")};
        options.output = file(std::string("in-") + format + ".tgl");
        options.format = format;
        ASSERT_EQ(tgltool::pack(options), 0);
        const tglformat::Animation animation = read(options.output);
        ASSERT_EQ(animation.frames.size(), 3u);
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(viewed(animation, i, 385, 290, 30, 20), onWhite(pictures[i])) << format << i;
            EXPECT_EQ(animation.frames[i].duration, 80);
        }
    }
    // Whole canvases: every frame 30 x 20 at the canvas's corner.
    tgltool::PackOptions whole;
    whole.inputs = {file("in.webp")};
    whole.output = file("whole.tgl");
    whole.trim = false;
    ASSERT_EQ(tgltool::pack(whole), 0);
    const tglformat::Animation canvases = read(whole.output);
    for (std::size_t i = 0; i < canvases.frames.size(); ++i) {
        EXPECT_EQ(canvases.frames[i].record.x, 385);
        EXPECT_EQ(canvases.images[i].pixels.width, 30);
        EXPECT_EQ(viewed(canvases, i, 385, 290, 30, 20), onWhite(pictures[i])) << i;
    }
}

// A sheet of the sample packs back into the same frames at the same places for
// the same times, and exports to the same sheet again.
TEST_F(AnimationRoads, ASheetRoundTripKeepsFramesPositionsAndDurations) {
    const tglformat::Animation sample = read(SAMPLE);
    for (bool array : {false, true}) {
        TempDir round;
        const std::string first = round.file("a/stand_1.png"), again = round.file("b/stand_1.png");
        std::filesystem::create_directories(round.file("a"));
        std::filesystem::create_directories(round.file("b"));
        const tgltool::ExportOptions sheet{array, array};
        ASSERT_EQ(tgltool::exportSheet(SAMPLE, first, sheet), 0);
        pack(round.file("a/stand_1.json"), round.file("b/stand_1.tgl"));
        const tglformat::Animation back = read(round.file("b/stand_1.tgl"));
        ASSERT_EQ(back.frames.size(), sample.frames.size());
        for (std::size_t i = 0; i < sample.frames.size(); ++i) {
            EXPECT_EQ(viewed(back, i, 0, 0, 800, 600), viewed(sample, i, 0, 0, 800, 600)) << i;
            EXPECT_EQ(back.frames[i].duration, sample.frames[i].duration);
        }
        ASSERT_EQ(tgltool::exportSheet(round.file("b/stand_1.tgl"), again, sheet), 0);
        std::ifstream a(round.file("a/stand_1.json")), b(round.file("b/stand_1.json"));
        EXPECT_EQ(nlohmann::json::parse(a), nlohmann::json::parse(b));
    }
}

// Sheets from other programs: a frame turned a quarter clockwise, trimmed
// inside its source, and a frame tag's range in reverse.
TEST_F(AnimationRoads, RotatedFramesTurnBackAndTagsPickTheirFrames) {
    // A 3 x 2 sprite, rows ABC / DEF, lies in the sheet as 2 x 3: DA / EB / FC.
    const std::uint32_t A = 0xFF000001, B = 0xFF000002, C = 0xFF000003, D = 0xFF000004,
                        E = 0xFF000005, F = 0xFF000006;
    const Pixels sheet{D, A, 0, E, B, 0, F, C, 0xFF0000FF};
    ASSERT_TRUE(imaging::writePngFile(file("s.png").c_str(), sheet.data(), 3, 3));
    const nlohmann::json json = {
        {"frames",
         {{{"filename", "turned"},
           {"frame", {{"x", 0}, {"y", 0}, {"w", 3}, {"h", 2}}},
           {"rotated", true},
           {"trimmed", true},
           {"spriteSourceSize", {{"x", 1}, {"y", 2}, {"w", 3}, {"h", 2}}},
           {"sourceSize", {{"w", 5}, {"h", 5}}},
           {"duration", 40}},
          {{"filename", "blue"},
           {"frame", {{"x", 2}, {"y", 2}, {"w", 1}, {"h", 1}}},
           {"sourceSize", {{"w", 1}, {"h", 1}}},
           {"duration", 30}}}},
        {"meta",
         {{"image", "s.png"},
          {"size", {{"w", 3}, {"h", 3}}},
          {"frameTags", {{{"name", "back"}, {"from", 0}, {"to", 1}, {"direction", "reverse"}}}}}}};
    std::ofstream(file("s.json")) << json.dump();
    tgltool::PackOptions options;
    options.inputs = {file("s.json")};
    options.output = file("s.tgl");
    options.tag = "back";
    options.hasAt = true;
    options.at = {100, 200};
    ASSERT_EQ(tgltool::pack(options), 0);
    const tglformat::Animation animation = read(file("s.tgl"));
    ASSERT_EQ(animation.frames.size(), 2u);
    EXPECT_EQ(animation.frames[0].duration, 30); // blue first: the tag runs in reverse
    EXPECT_EQ(viewed(animation, 0, 100, 200, 1, 1), Pixels{0xFF0000FF});
    EXPECT_EQ(viewed(animation, 1, 101, 202, 3, 2), (Pixels{A, B, C, D, E, F}));
    EXPECT_EQ(animation.frames[1].record.x, 101);
    EXPECT_EQ(animation.frames[1].record.y, 202);
}

TEST(ComposeBudget, TakesCanvasesUpToTheLimitAndRefusesOnePixelMore) {
    tgltool::ComposeBudget budget("a.gif");
    budget.spend(1 << 16, (InputLimits::kMaxComposedPixels >> 16) - 1);
    budget.spend(1 << 16, 1); // exactly the limit
    EXPECT_THROW(budget.spend(1, 1), tgltool::CommandError);
}

// Hostile and broken inputs: one plain line, exit code 2, nothing written.
TEST_F(AnimationRoads, BadInputGetsOneLineAndWritesNothing) {
    std::vector<std::uint8_t> giant =
        gifOf(8, 8, {{0, 0, 8, 8, DISPOSE_DO_NOT, 5, -1, false, false}});
    giant[6] = giant[7] = giant[8] = giant[9] = 0xFF; // a 65535 x 65535 screen
    save(file("giant.gif"), giant);
    std::vector<std::uint8_t> cut = gifOf(48, 40, kGifImages);
    cut.resize(cut.size() / 2);
    save(file("cut.gif"), cut);
    save(file("bad.webp"), {'R', 'I', 'F', 'F', 1, 0, 0, 0, 'W', 'E', 'B', 'P'});
    ASSERT_TRUE(
        imaging::writePngFile(file("small.png").c_str(), Pixels(4, 0xFF00FF00).data(), 2, 2));
    const auto sheet =
        [&](const std::string& name, const nlohmann::json& frame, const std::string& image) {
            std::ofstream(file(name))
                << nlohmann::json{{"frames", {{"a", frame}}}, {"meta", {{"image", image}}}}.dump();
        };
    const nlohmann::json inside = {{"frame", {{"x", 0}, {"y", 0}, {"w", 2}, {"h", 2}}}};
    sheet("outside.json", inside, "../small.png");
    sheet("past.json", {{"frame", {{"x", 1}, {"y", 0}, {"w", 2}, {"h", 2}}}}, "small.png");
    sheet("huge.json",
          {{"frame", {{"x", 0}, {"y", 0}, {"w", 2}, {"h", 2}}},
           {"sourceSize", {{"w", 16384}, {"h", 16384}}}},
          "small.png");
    std::ofstream(file("broken.json")) << "{\"frames\": [";
    // 65 canvases of 2^26 pixels: past the composed budget of 2^32, refused before any is made.
    nlohmann::json many = nlohmann::json::object();
    for (int i = 0; i < 65; ++i)
        many["f" + std::to_string(i)] = {{"frame", {{"x", 0}, {"y", 0}, {"w", 2}, {"h", 2}}},
                                         {"sourceSize", {{"w", 8192}, {"h", 8192}}}};
    std::ofstream(file("many.json"))
        << nlohmann::json{{"frames", many}, {"meta", {{"image", "small.png"}}}}.dump();
    for (const char* input : {"giant.gif", "cut.gif", "bad.webp", "outside.json", "past.json",
                              "huge.json", "broken.json", "many.json"}) {
        const std::string command = "cd '" + dir.path().string() + "' && '" TGL_TOOL "' pack " +
                                    input + " -o out.tgl 2> err.txt";
        const int status = std::system(command.c_str());
        EXPECT_EQ(WEXITSTATUS(status), 2) << input;
        std::ifstream err(file("err.txt"));
        const std::string text((std::istreambuf_iterator<char>(err)), {});
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << input << ": " << text;
        EXPECT_FALSE(std::filesystem::exists(file("out.tgl"))) << input;
    }
}

} // namespace
