#pragma once

#include "xlibplus/string/string.h"

class CTGL;
class CTGLPlayer;

// The one animation on screen and its player, the file to show next and the
// flag that asks for it. Requests only store a name and raise the flag; the
// next animation step starts the load, on other threads, and the animation on
// screen plays on until it ends: then the new one replaces it, or, when the
// file did not load, nothing does. A load that ends within a frame switches
// in that same step. After every animation step both pointers are null, or
// the animation is loaded and the player plays it. Both are owned here.
extern CTGL* currentAnimation;
extern CTGLPlayer* currentPlayer;
extern bool reloadPending;
extern xlibplus::xStringA currentFileName;

// Start-up action: ask for "stand_1.tgl" from the current folder.
void requestStartupAnimation();
// Step 1 of the frame callback: a pending load, then the player's update.
void animationStep();
// Step 3 of the render callback: the current frame, if any.
void drawingStep();
// True while a requested file is still loading, after the step that polled it.
bool animationLoading();
// Ends a load in progress and waits for its threads; before the engine shuts down.
void cancelAnimationLoad();
