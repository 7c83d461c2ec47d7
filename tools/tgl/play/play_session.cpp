#include "draw/font.h"
#include "draw/rect.h"
#include "draw/sprite.h"
#include "engine/engine_extensions.h"
#include "engine/engine_ref.h"
#include "format/frame_schedule.h"
#include "image/input_file.h"
#include "image/limits.h"
#include "platform/file_names.h"
#include "platform/windows_api.h"
#include "shell/window_shell.h"
#include "tgl/tgl_animation.h"
#include "tgl/tgl_loader.h"
#include "tgl/tgl_player.h"
#include "tools/tgl/output.h"
#include "tools/tgl/play/file_watch.h"
#include "tools/tgl/play/play.h"
#include "tools/tgl/play/play_overlay.h"
#include "tools/tgl/play/play_view.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <tuple>

namespace tgltool {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPlayingRate = CTGLPlayer::kFrameRate;
// Paused, nothing moves: a few frames a second keep keys and reloads prompt.
constexpr int kPausedRate = 20;
constexpr std::uint32_t kOutline = 0xFF0080FF;
constexpr std::uint32_t kPanel = 0xD0FFFFFF;
constexpr std::uint32_t kText = 0xFF000000;
constexpr float kCheckerSide = 32;
constexpr const char* kDropHint = "Drop a .tgl file here";
// The overlay's panel: its corner in the window, and the text's margin inside it.
constexpr float kPanelCorner = 4;
constexpr float kTextMarginX = 4, kTextMarginY = 2;
constexpr float kFallbackLineHeight = 16; // a font that says none

enum class Background { White, Black, Checker, Custom };

// Everything the callbacks need; one session per process.
struct Session {
    PlayOptions options;
    EngineRef engine{EngineRef::kNone};
    std::unique_ptr<Font> font;
    std::string path; // the file playing
    std::unique_ptr<CTGL> animation;
    TglLoader loader;
    std::unique_ptr<FileWatch> watch;
    tglformat::FrameSchedule schedule;
    Background background = Background::White;
    std::uint32_t customColour = 0xFFFFFFFF;
    PlayView view;
    Rect framesBox; // the union of the frames' images, in frame points
    bool dragging = false;
    int dragX = 0, dragY = 0; // where the last drag step ended, in window points
    bool overlay = true;
    bool quit = false;
    bool paused = false; // as the frame rate was last set
    // The overlay's facts, its lines made of them and their panel's width;
    // the lines are made again only when a fact changes.
    OverlayFacts facts;
    bool factsChanged = true;
    std::vector<std::string> overlayText;
    float overlayWidth = 0;
    WNDPROC engineProcedure = nullptr;
};

Session* session = nullptr;

std::optional<std::uint32_t> colourOf(const std::string& text) {
    if (text.size() != 7 || text[0] != '#') return std::nullopt;
    std::uint32_t rgb = 0;
    for (std::size_t i = 1; i < 7; ++i) {
        const char c = text[i];
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0) return std::nullopt;
        rgb = rgb << 4 | static_cast<std::uint32_t>(digit);
    }
    return 0xFF000000u | rgb;
}

// Where this program lies: the Windows package keeps the font beside tgl.exe.
std::filesystem::path programFolder() {
    return filenames::pathFromUtf8(filenames::programPath()).parent_path();
}

std::string findFont(const PlayOptions& options) {
    if (!options.font.empty()) return options.font;
    namespace fs = std::filesystem;
    std::error_code error;
    for (const fs::path& folder :
         {fs::current_path(error), filenames::pathFromUtf8(options.file).parent_path(),
          programFolder()})
        if (fs::is_regular_file(folder / "font1.fnt", error))
            return filenames::utf8FromPath(folder / "font1.fnt");
    return "font1.fnt";
}

// Why the file cannot be read, as one phrase; empty when it can.
std::string readProblem(const std::string& path) {
    const imaging::InputFile input =
        imaging::openInputFile(path.c_str(), InputLimits::kMaxFileBytes);
    if (input.file) std::fclose(input.file);
    return input.status == imaging::InputFileStatus::Ok ? ""
                                                        : imaging::inputFileProblem(input.status);
}

void startLoad(const std::string& path) { session->loader.start(path.c_str()); }

std::string titleFor(const std::string& path) {
    return path.empty()
               ? "tgl play"
               : "tgl play - " + filenames::utf8FromPath(filenames::pathFromUtf8(path).filename());
}

void zoomTo(int zoom);
void viewChanged();

// A load that fails keeps what is on screen and says why.
void takeLoad(TglLoader::Progress progress) {
    if (progress == TglLoader::Progress::Failed) {
        const imaging::InputFileStatus failure = session->loader.failure();
        session->facts.reloadError =
            std::string("it ") + (failure == imaging::InputFileStatus::Ok
                                      ? "does not begin with \"DFX\""
                                      : imaging::inputFileProblem(failure));
        session->factsChanged = true;
        return;
    }
    session->animation.reset(session->loader.take(&session->facts.statuses));
    // A dropped file names the window too.
    session->engine->setStringState(QubState::kWindowTitle, titleFor(session->path).c_str());
    session->framesBox.clear();
    for (std::int32_t i = 0; i < session->animation->frames.size(); ++i) {
        const CTGL::frame& f = session->animation->frames[i];
        if (!f.sprite) continue;
        session->framesBox.extend(float(f.x), float(f.y));
        session->framesBox.extend(float(f.x) + f.sprite->width(), float(f.y) + f.sprite->height());
    }
    zoomTo(session->view.zoom);
    session->facts.reloadError.clear();
    session->factsChanged = true;
    session->schedule.setFrames(session->animation->durations(), timeGetTime());
}

// Zooms about the centre of the frames' box as it shows (or of the window),
// keeping the box in view as far as it fits.
void zoomTo(int zoom) {
    Session& s = *session;
    const float width = float(s.options.width), height = float(s.options.height);
    float x = 0, y = 0;
    s.view.centreOf(s.framesBox, width, height, x, y);
    s.view.zoomAbout(zoom, x, y, s.framesBox, width, height);
    viewChanged();
}

void viewChanged() {
    Session& s = *session;
    s.facts.zoom = s.view.zoom;
    s.facts.panX = s.view.offsetX;
    s.facts.panY = s.view.offsetY;
    s.factsChanged = true;
}

// A mouse message's signed x and y.
int xOf(LPARAM point) { return static_cast<short>(point & 0xFFFF); }
int yOf(LPARAM point) { return static_cast<short>((point >> 16) & 0xFFFF); }

// Each notch zooms in or out about the point under the cursor, which stays there.
void onWheel(HWND window, WPARAM wParam, LPARAM lParam) {
    Session& s = *session;
    const int turn = static_cast<short>((wParam >> 16) & 0xFFFF);
    POINT at{xOf(lParam), yOf(lParam)};
    if (turn == 0 || !ScreenToClient(window, &at)) return;
    for (int notch = 0; notch < std::max(1, std::abs(turn) / WHEEL_DELTA); ++notch) {
        const int zoom =
            turn > 0 ? PlayView::zoomedIn(s.view.zoom) : PlayView::zoomedOut(s.view.zoom);
        s.view.zoomAbout(zoom, float(at.x), float(at.y), Rect(), float(s.options.width),
                         float(s.options.height));
    }
    viewChanged();
}

// Dragging with the left button moves the view with the cursor.
void onPointer([[maybe_unused]] HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Session& s = *session;
    const int x = xOf(lParam), y = yOf(lParam);
    if (message == WM_LBUTTONDOWN) {
        s.dragging = true;
#if defined(_WIN32)
        SetCapture(window); // the drag goes on past the window's edge
#endif
    } else if (message == WM_LBUTTONUP) {
        s.dragging = false;
#if defined(_WIN32)
        ReleaseCapture();
#endif
    } else if (s.dragging && (wParam & MK_LBUTTON)) {
        s.view.drag(float(x - s.dragX), float(y - s.dragY));
        viewChanged();
    }
    s.dragX = x, s.dragY = y;
}

void onCharacter(char c) {
    tglformat::FrameSchedule& schedule = session->schedule;
    const std::uint32_t now = timeGetTime();
    switch (c) {
    case ' ': schedule.setPaused(!schedule.paused(), now); break;
    case '+': schedule.setSpeed(schedule.speed() * 2, now); break;
    case '-': schedule.setSpeed(schedule.speed() / 2, now); break;
    case '0': schedule.setSpeed(1, now); break;
    case 'z': zoomTo(PlayView::zoomedIn(session->view.zoom)); break;
    case 'Z': zoomTo(PlayView::zoomedOut(session->view.zoom)); break;
    case 'b':
        session->background =
            static_cast<Background>((static_cast<int>(session->background) + 1) %
                                    (session->options.background[0] == '#' ? 4 : 3));
        break;
    case 'o': session->overlay = !session->overlay; break;
    case 'r':
        if (!session->path.empty()) startLoad(session->path);
        break;
    case 'q': session->quit = true; break;
    default: break;
    }
}

void onKey(UINT key) {
    tglformat::FrameSchedule& schedule = session->schedule;
    const std::uint32_t now = timeGetTime();
    switch (key) {
    case VK_RIGHT: schedule.step(1, now); break;
    case VK_LEFT: schedule.step(-1, now); break;
    case VK_HOME: // the whole view first, then the first frame
        if (session->view.zoom != 1 || session->view.offsetX != 0 || session->view.offsetY != 0) {
            session->view = PlayView{};
            zoomTo(1);
        } else {
            schedule.show(0, now);
        }
        break;
    case VK_END: schedule.show(schedule.frameCount() - 1, now); break;
    case VK_ESCAPE: session->quit = true; break;
    default: break;
    }
}

void onDrop(HDROP drop) {
    const std::string path = firstDroppedPath(drop);
    if (path.empty()) return;
    std::string extension = filenames::utf8FromPath(filenames::pathFromUtf8(path).extension());
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension != ".tgl") return;
    session->path = path;
    session->watch = std::make_unique<FileWatch>(session->path);
    startLoad(session->path);
}

LRESULT CALLBACK playWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CHAR) onCharacter(static_cast<char>(wParam));
    if (message == WM_KEYDOWN) onKey(static_cast<UINT>(wParam));
    if (message == WM_MOUSEWHEEL) onWheel(window, wParam, lParam);
    if (message == WM_LBUTTONDOWN || message == WM_LBUTTONUP || message == WM_MOUSEMOVE)
        onPointer(window, message, wParam, lParam);
    if (message == WM_DROPFILES) {
        onDrop(reinterpret_cast<HDROP>(wParam));
        DragFinish(reinterpret_cast<HDROP>(wParam));
        return 0;
    }
    return CallWindowProcA(session->engineProcedure, window, message, wParam, lParam);
}

bool frameCallback() {
    Session& s = *session;
    if (s.watch && s.watch->changed(Clock::now())) startLoad(s.path);
    if (s.loader.loading()) {
        const TglLoader::Progress progress = s.loader.pollFrame();
        if (progress != TglLoader::Progress::Loading) takeLoad(progress);
    }
    s.schedule.update(timeGetTime());
    const bool paused = s.schedule.paused() && !s.loader.loading();
    if (paused != s.paused) {
        s.paused = paused;
        s.engine->setIntState(QubState::kFrameRate, paused ? kPausedRate : kPlayingRate);
    }
    return s.quit;
}

void fill(float x0, float y0, float x1, float y1, std::uint32_t colour) {
    Quad quad{};
    const float corners[4][2] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
    for (int i = 0; i < 4; ++i)
        quad.vertices[i] = Vertex{corners[i][0], corners[i][1], 0.5f, colour, 0, 0};
    quad.blendMode = kBlendAlpha;
    session->engine->drawQuad(&quad);
}

void drawBackground() {
    Session& s = *session;
    switch (s.background) {
    case Background::White: s.engine->clearScreen(0xFFFFFFFF); break;
    case Background::Black: s.engine->clearScreen(0xFF000000); break;
    case Background::Custom: s.engine->clearScreen(s.customColour); break;
    case Background::Checker:
        s.engine->clearScreen(0xFFCCCCCC);
        for (float y = 0; y < float(s.options.height); y += kCheckerSide)
            for (float x = (int(y / kCheckerSide) % 2) * kCheckerSide; x < float(s.options.width);
                 x += 2 * kCheckerSide)
                fill(x, y, x + kCheckerSide, y + kCheckerSide, 0xFF999999);
        break;
    }
}

// The frame's image area in the view, as the overlay outlines it.
Rect frameArea(const CTGL::frame& f, const Sprite& sprite, const PlayView& view) {
    return view.place(
        Rect(float(f.x), float(f.y), float(f.x) + sprite.width(), float(f.y) + sprite.height()));
}

void outline(const Rect& r) {
    fill(r.minX - 1, r.minY - 1, r.maxX + 1, r.minY, kOutline);
    fill(r.minX - 1, r.maxY, r.maxX + 1, r.maxY + 1, kOutline);
    fill(r.minX - 1, r.minY, r.minX, r.maxY, kOutline);
    fill(r.maxX, r.minY, r.maxX + 1, r.maxY, kOutline);
}

// The facts that move from frame to frame; the frame statuses and the
// reload error change only with a load.
auto movingFacts(const OverlayFacts& f) {
    return std::make_tuple(f.fileName, f.frame, f.frameCount, f.duration, f.x, f.y, f.aux1, f.aux2,
                           f.loopPosition, f.loopMilliseconds, f.speed, f.paused);
}

void refreshFacts() {
    Session& s = *session;
    OverlayFacts& facts = s.facts;
    const auto before = movingFacts(facts);
    facts.fileName = filenames::utf8FromPath(filenames::pathFromUtf8(s.path).filename());
    facts.frameCount = s.schedule.frameCount();
    facts.frame = s.schedule.current();
    if (s.animation && facts.frame < s.animation->frames.size()) {
        const CTGL::frame& f = s.animation->frames[facts.frame];
        facts.duration = f.duration;
        facts.x = f.x, facts.y = f.y, facts.aux1 = f.aux1, facts.aux2 = f.aux2;
    }
    facts.loopPosition = s.schedule.loopPosition();
    facts.loopMilliseconds = s.schedule.loopMilliseconds();
    facts.speed = s.schedule.speed();
    facts.paused = s.schedule.paused();
    s.factsChanged = s.factsChanged || movingFacts(facts) != before;
}

float lineHeight() {
    const float height = session->font->lineHeight();
    return height > 0 ? height : kFallbackLineHeight;
}

void drawOverlay(const Rect* area) {
    Session& s = *session;
    if (area) outline(*area);
    refreshFacts();
    if (s.factsChanged) {
        s.factsChanged = false;
        s.overlayText = overlayLines(s.facts);
        s.overlayWidth = 0;
        for (const std::string& text : s.overlayText)
            s.overlayWidth = std::max(s.overlayWidth, s.font->textWidth(text.c_str(), false));
    }
    const std::vector<std::string>& shown = s.overlayText;
    const float line = lineHeight();
    fill(kPanelCorner, kPanelCorner, kPanelCorner + s.overlayWidth + 2 * kTextMarginX,
         kPanelCorner + line * float(shown.size()) + 2 * kTextMarginY, kPanel);
    for (std::size_t i = 0; i < shown.size(); ++i)
        s.font->render(kPanelCorner + kTextMarginX, kPanelCorner + kTextMarginY + line * float(i),
                       0, shown[i].c_str());
}

// An empty window waits for a file; a drop that failed says why below.
void drawDropHint() {
    Session& s = *session;
    const float line = lineHeight();
    std::vector<std::string> lines{kDropHint};
    if (!s.facts.reloadError.empty())
        lines.push_back("The file did not load: " + s.facts.reloadError);
    float y = (float(s.options.height) - line * float(lines.size())) / 2;
    for (const std::string& text : lines) {
        const float width = s.font->textWidth(text.c_str(), false);
        s.font->render((float(s.options.width) - width) / 2, y, 0, text.c_str());
        y += line;
    }
}

bool renderCallback() {
    Session& s = *session;
    s.engine->beginScene(0);
    drawBackground();
    std::optional<Rect> area;
    if (s.animation && s.schedule.current() < s.animation->frames.size()) {
        CTGL::frame& f = s.animation->frames[s.schedule.current()];
        if (f.sprite) {
            area = frameArea(f, *f.sprite, s.view);
            f.sprite->renderStretched(area->minX, area->minY, area->maxX, area->maxY);
        }
    }
    if (!s.animation)
        drawDropHint();
    else if (s.overlay)
        drawOverlay(area ? &*area : nullptr);
    if (!s.options.screenshot.empty()) {
        EngineExtensions* extensions = s.engine->extensions();
        if (!extensions || !extensions->saveBackBuffer(s.options.screenshot.c_str()))
            std::fprintf(stderr, "tgl: %s could not be written\n", s.options.screenshot.c_str());
        s.quit = true;
    }
    s.engine->endScene();
    return false;
}

// The options a window cannot show are refused before one opens.
void checkOptions(const PlayOptions& options, const std::optional<std::uint32_t>& custom) {
    const std::string problem = options.file.empty() ? "" : readProblem(options.file);
    if (!problem.empty()) throw CommandError(options.file + ": " + problem);
    if (!custom && options.background != "white" && options.background != "black" &&
        options.background != "checker")
        throw CommandError("--background is white, black, checker or #RRGGBB: " +
                           options.background);
    if (!PlayView::isZoom(options.zoom)) throw CommandError("--zoom is 1, 2, 4 or 8");
    if (!(options.speed >= tglformat::FrameSchedule::kSlowest &&
          options.speed <= tglformat::FrameSchedule::kFastest))
        throw CommandError("--speed is from 0.125 to 8");
    if (!options.screenshot.empty()) refuseExisting(options.screenshot, false);
}

// The engine's states and its window; false when none could be opened.
bool openWindow(Engine& engine, const PlayOptions& options) {
    const std::string title = titleFor(options.file);
    WindowSetup setup;
    setup.frameCallback = frameCallback;
    setup.renderCallback = renderCallback;
    setup.title = title.c_str();
    setup.frameRate = kPlayingRate;
    setup.width = options.width;
    setup.height = options.height;
    configureEngine(engine, setup);
    // A screenshot needs no window on screen, nor a display.
    if (!options.screenshot.empty() && engine.extensions()) engine.extensions()->setOffscreen(true);
    return engine.init();
}

// The first load is waited for: false when the file is no animation.
bool firstLoad(Session& state) {
    if (state.options.file.empty()) return true;
    state.loader.start(state.options.file.c_str());
    TglLoader::Progress first;
    while ((first = state.loader.poll(Clock::now() + std::chrono::seconds(1))) ==
           TglLoader::Progress::Loading) {
    }
    if (first == TglLoader::Progress::Failed) return false;
    takeLoad(first);
    return true;
}

// From the options' frame, speed and pause, with keys and drops, until the user quits.
void playInWindow(Session& state, Engine& engine) {
    const PlayOptions& options = state.options;
    state.schedule.setSpeed(options.speed, timeGetTime());
    if (options.frame != 0) state.schedule.show(options.frame, timeGetTime());
    state.schedule.setPaused(options.paused, timeGetTime());
    state.font = std::make_unique<Font>(findFont(options).c_str(), false);
    state.font->setColour(kText);
    if (!options.file.empty()) state.watch = std::make_unique<FileWatch>(state.path);
    HWND window = static_cast<HWND>(engine.getWindowHandle(QubState::kMainWindow));
    state.engineProcedure = subclassForDrops(window, playWindowProcedure);
    engine.run();
}

} // namespace

int play(const PlayOptions& options) {
    const std::optional<std::uint32_t> custom = colourOf(options.background);
    checkOptions(options, custom);

    Session state;
    session = &state;
    state.options = options;
    state.path = options.file;
    state.view.zoom = options.zoom;
    state.background = custom                            ? Background::Custom
                       : options.background == "black"   ? Background::Black
                       : options.background == "checker" ? Background::Checker
                                                         : Background::White;
    if (custom) state.customColour = *custom;

    TglLoader::keepMemoryBetweenLoads();
    state.engine.acquire();
    Engine& engine = *state.engine;
    if (!openWindow(engine, options)) {
        engine.shutdown();
        session = nullptr;
        throw CommandError("no window could be opened");
    }
    const bool loaded = firstLoad(state);
    if (loaded) playInWindow(state, engine);
    // The window goes first: a frame still being decoded must not hold it open.
    engine.shutdown();
    state.loader.cancel();
    state.animation.reset();
    state.font.reset();
    session = nullptr;
    if (!loaded)
        throw CommandError(options.file +
                           ": not a .tgl animation (it does not begin with \"DFX\")");
    return 0;
}

} // namespace tgltool
