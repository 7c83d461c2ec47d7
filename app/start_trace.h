#pragma once

// When the environment's TGLVIEW_TRACE names a file, each step of the
// viewer's start is appended to it as a line "<steady clock in ns> <step>",
// the clock every process on the machine shares, so that a benchmark can
// tell where the time from exec to the first picture goes. Nothing happens
// otherwise. Steps: "start", "window", "animation" (the first shown),
// "picture" (the first presented frame that shows an animation), "loaded"
// (the first file complete).
void traceStartStep(const char* step);
