#pragma once

#include "xlibplus/string/string.h"

class CTGL;
class CTGLPlayer;

// The one animation on screen and its player, the file to show next and the
// flag that asks for it. Requests only store a name and raise the flag; the
// next animation step starts the load, on other threads, and the animation on
// screen plays on until the new one has its first frame: then the new one
// replaces it and plays while the rest of it loads, its schedule waiting for
// any frame not yet ready; when the file does not load, nothing replaces it.
// A load that ends within a frame switches in whole in that same step. After
// every animation step both pointers are null, or the animation has at least
// its first frame and the player plays it. Both are owned here.
extern CTGL* currentAnimation;
extern CTGLPlayer* currentPlayer;
extern bool reloadPending;
extern xlibplus::xStringA currentFileName;

// Before the window opens: starts reading "stand_1.tgl" from the current
// folder at once, so that the request below finds it loading, or loaded,
// at the first frame. Nothing shows before that frame either way.
void prefetchStartupAnimation();
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
