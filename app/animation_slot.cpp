#include "app/animation_slot.h"

#include "tgl/tgl_animation.h"
#include "tgl/tgl_loader.h"
#include "tgl/tgl_player.h"

CTGL* currentAnimation = nullptr;
CTGLPlayer* currentPlayer = nullptr;
bool reloadPending = false;
xlibplus::xStringA currentFileName;

namespace {

TglLoader loader;

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
    if (reloadPending) {
        reloadPending = false;
        loader.start(currentFileName.cStr());
    }
    const TglLoader::Progress progress = loader.pollFrame();
    if (progress == TglLoader::Progress::Loaded) show(loader.take());
    if (progress == TglLoader::Progress::Failed) show(nullptr);
    if (currentPlayer) currentPlayer->update();
}

void drawingStep() {
    if (currentPlayer) currentPlayer->render();
}

bool animationLoading() { return loader.loading(); }

void cancelAnimationLoad() { loader.cancel(); }
