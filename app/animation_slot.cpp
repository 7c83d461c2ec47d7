#include "app/animation_slot.h"

#include "tgl/tgl_animation.h"
#include "tgl/tgl_player.h"

CTGL* currentAnimation = nullptr;
CTGLPlayer* currentPlayer = nullptr;
bool reloadPending = false;
xlibplus::xStringA currentFileName;

namespace {

void dropAnimation() {
    delete currentAnimation;
    delete currentPlayer;
    currentAnimation = nullptr;
    currentPlayer = nullptr;
}

// A load that throws (a failed allocation, say) counts as failed: whatever the
// animation holds by then is freed and the viewer goes on with nothing.
bool loadContained(CTGL& animation, const char* path) {
    try {
        return animation.load(path);
    } catch (...) {
        return false;
    }
}

} // namespace

void requestStartupAnimation() {
    reloadPending = true;
    currentFileName.assign("stand_1.tgl");
}

void animationStep() {
    if (reloadPending) {
        reloadPending = false;
        dropAnimation(); // gone before the new file is opened, whatever its fate
        currentAnimation = new CTGL;
        if (loadContained(*currentAnimation, currentFileName.cStr())) {
            currentPlayer = new CTGLPlayer(currentAnimation);
            currentPlayer->start();
        } else {
            dropAnimation();
        }
    }
    if (currentPlayer) currentPlayer->update();
}

void drawingStep() {
    if (currentPlayer) currentPlayer->render();
}
