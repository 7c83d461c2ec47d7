#pragma once

class Font;

// The application font: made from "font1.fnt" in the current folder at start,
// destroyed after the engine's loop ends. Nothing is drawn with it.
extern Font* appFont;

void createApplicationFont();
void destroyApplicationFont();
