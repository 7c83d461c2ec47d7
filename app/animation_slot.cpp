#include "app/animation_slot.h"

#include "app/start_trace.h"
#include "tgl/tgl_animation.h"
#include "tgl/tgl_loader.h"
#include "tgl/tgl_player.h"

#include <climits>
#include <cstring>

CTGL* currentAnimation = nullptr;
CTGLPlayer* currentPlayer = nullptr;
bool reloadPending = false;
xlibplus::xStringA currentFileName;

namespace {

TglLoader loader;
// The animation on screen is the loader's, still filling.
bool currentFilling = false;
// The start-up file has been loading since before the window opened.
bool startupPrefetched = false;
constexpr const char* kStartupFile = "stand_1.tgl";

void dropAnimation() {
    delete currentAnimation;
    delete currentPlayer;
    currentAnimation = nullptr;
    currentPlayer = nullptr;
}

void show(CTGL* animation) {
    dropAnimation();
    currentFilling = false;
    if (!animation) return;
    static bool first = true;
    if (first) traceStartStep("animation");
    first = false;
    currentAnimation = animation;
    currentPlayer = new CTGLPlayer(currentAnimation);
    currentPlayer->start();
}

} // namespace

void prefetchStartupAnimation() {
    loader.start(kStartupFile, true);
    startupPrefetched = true;
}

void requestStartupAnimation() {
    reloadPending = true;
    currentFileName.assign(kStartupFile);
}

void animationStep() {
    if (reloadPending) {
        reloadPending = false;
        if (!startupPrefetched || std::strcmp(currentFileName.cStr(), kStartupFile) != 0)
            loader.start(currentFileName.cStr(), true);
        currentFilling = false; // what it had stays, and waits for nothing more
    }
    startupPrefetched = false;
    // A file that loads within the frame shows whole; a longer one plays from
    // its first frame while the rest loads.
    const TglLoader::Progress progress = loader.pollFrame();
    if (progress == TglLoader::Progress::Playable) {
        show(loader.take());
        currentFilling = true;
    }
    if (progress == TglLoader::Progress::Loaded) {
        static bool first = true;
        if (first) traceStartStep("loaded");
        first = false;
        CTGL* loaded = loader.take();
        if (loaded) show(loaded);
        currentFilling = false;
        if (currentPlayer) currentPlayer->setReadyFrames(INT32_MAX);
    }
    if (progress == TglLoader::Progress::Failed) show(nullptr);
    if (currentPlayer && currentFilling) currentPlayer->setReadyFrames(loader.readyFrames());
    if (currentPlayer) currentPlayer->update();
}

void drawingStep() {
    if (currentPlayer) currentPlayer->render();
}

bool animationLoading() { return loader.loading(); }

void cancelAnimationLoad() { loader.cancel(); }
