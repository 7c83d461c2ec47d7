#include "app/application_font.h"

#include "draw/font.h"

Font* appFont = nullptr;

// A missing or malformed file still gives a valid, empty font.
void createApplicationFont() { appFont = new Font("font1.fnt", false); }

void destroyApplicationFont() {
    delete appFont;
    appFont = nullptr;
}
