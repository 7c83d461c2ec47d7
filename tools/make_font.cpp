// Writes the sample bitmap font: "font1.fnt" and its glyph image "font1.tga"
// (printable ASCII, white glyphs with alpha), rasterised from a TrueType font.
//
//   make_font TTF_FILE POINT_SIZE OUTPUT_FOLDER

#include "tools/common/tga_writer.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kFirst = 32;
constexpr int kLast = 126;
constexpr int kColumns = 16;
constexpr int kPadding = 1; // keeps neighbouring glyphs from bleeding into each other

struct Glyph {
    int code;
    SDL_Surface* surface; // ARGB8888, the glyph's advance wide and the font's height tall
};

int fail(const std::string& message) {
    std::fprintf(stderr, "make_font: %s\n", message.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) return fail("usage: make_font TTF_FILE POINT_SIZE OUTPUT_FOLDER");
    const std::string folder = argv[3];
    if (TTF_Init() != 0) return fail(TTF_GetError());
    TTF_Font* ttf = TTF_OpenFont(argv[1], std::atoi(argv[2]));
    if (!ttf) return fail(TTF_GetError());

    std::vector<Glyph> glyphs;
    int cellWidth = 0;
    int cellHeight = 0;
    for (int code = kFirst; code <= kLast; ++code) {
        SDL_Surface* rendered =
            TTF_RenderGlyph_Blended(ttf, static_cast<Uint16>(code), SDL_Color{255, 255, 255, 255});
        if (!rendered) return fail(TTF_GetError());
        SDL_Surface* argb = SDL_ConvertSurfaceFormat(rendered, SDL_PIXELFORMAT_ARGB8888, 0);
        SDL_FreeSurface(rendered);
        if (!argb) return fail(SDL_GetError());
        glyphs.push_back(Glyph{code, argb});
        cellWidth = std::max(cellWidth, argb->w + kPadding);
        cellHeight = std::max(cellHeight, argb->h + kPadding);
    }

    const int rows = (static_cast<int>(glyphs.size()) + kColumns - 1) / kColumns;
    const int width = kColumns * cellWidth;
    const int height = rows * cellHeight;
    std::vector<std::uint32_t> image(std::size_t(width) * std::size_t(height), 0x00FFFFFF);
    std::string description = "[QUBFONT]\r\nBitmap = font1.tga\r\n";
    for (std::size_t i = 0; i < glyphs.size(); ++i) {
        const Glyph& g = glyphs[i];
        const int x0 = static_cast<int>(i % kColumns) * cellWidth;
        const int y0 = static_cast<int>(i / kColumns) * cellHeight;
        for (int y = 0; y < g.surface->h; ++y) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(
                static_cast<const std::uint8_t*>(g.surface->pixels) + y * g.surface->pitch);
            for (int x = 0; x < g.surface->w; ++x)
                image[std::size_t(y0 + y) * std::size_t(width) + std::size_t(x0 + x)] =
                    (row[x] & 0xFF000000u) | 0x00FFFFFFu;
        }
        char line[96];
        std::snprintf(line, sizeof line, "Char = %X, %d, %d, %d, %d, 0, 0\r\n", g.code, x0, y0,
                      g.surface->w, g.surface->h);
        description += line;
        SDL_FreeSurface(g.surface);
    }
    TTF_CloseFont(ttf);
    TTF_Quit();

    if (!tgltools::writeFile(folder + "/font1.tga",
                             tgltools::encodeTga(width, height, image, true)))
        return fail("cannot write " + folder + "/font1.tga");
    if (!tgltools::writeFile(folder + "/font1.fnt",
                             std::vector<std::uint8_t>(description.begin(), description.end())))
        return fail("cannot write " + folder + "/font1.fnt");
    return 0;
}
