#include "app/animation_slot.h"

#include "tgl/tgl_animation.h"
#include "tgl/tgl_loader.h"
#include "tgl/tgl_player.h"

#include <chrono>

CTGL* currentAnimation = nullptr;
CTGLPlayer* currentPlayer = nullptr;
bool reloadPending = false;
xlibplus::xStringA currentFileName;

namespace {

using Clock = std::chrono::steady_clock;

// How long the step that starts a load waits for it: a file that loads in
// that time shows at once, as if loaded in the step.
constexpr std::chrono::milliseconds kStartWait{50};

TglLoader loader;
bool loading = false; // the last poll found the load going on

void dropAnimation() {
    delete currentAnimation;
    delete currentPlayer;
    currentAnimation = nullptr;
    currentPlayer = nullptr;
}

void show(CTGL* animation) {
    dropAnimation();
    if (!animation) return;
    currentAnimation = animation;
    currentPlayer = new CTGLPlayer(currentAnimation);
    currentPlayer->start();
}

} // namespace

void requestStartupAnimation() {
    reloadPending = true;
    currentFileName.assign("stand_1.tgl");
}

void animationStep() {
    Clock::time_point deadline = Clock::now() + TglLoader::kStepBudget;
    if (reloadPending) {
        reloadPending = false;
        loader.start(currentFileName.cStr());
        deadline = Clock::now() + kStartWait;
    }
    const TglLoader::Progress progress = loader.poll(deadline);
    if (progress == TglLoader::Progress::Loaded) show(loader.take());
    if (progress == TglLoader::Progress::Failed) show(nullptr);
    loading = progress == TglLoader::Progress::Loading;
    if (currentPlayer) currentPlayer->update();
}

void drawingStep() {
    if (currentPlayer) currentPlayer->render();
}

bool animationLoading() { return loading; }

void cancelAnimationLoad() {
    loader.cancel();
    loading = false;
}
