#include "image/image.h"
#include "tools/tgl/animation_import.h"
#include "tools/tgl/output.h"

#include <algorithm>

namespace tgltool {

namespace {

// How many cells of `cell` pixels, `spacing` apart, fit in `side` within `margin`.
int cellsAlong(int side, int cell, int margin, int spacing) {
    const std::int64_t room = std::int64_t(side) - 2 * std::int64_t(margin) + spacing;
    return room < std::int64_t(cell) + spacing ? 0 : int(room / (std::int64_t(cell) + spacing));
}

tglformat::Picture cellOf(const imaging::DecodedImage& sheet, const GridOptions& grid, int column,
                          int row) {
    tglformat::Picture cell(grid.cellWidth, grid.cellHeight, 0);
    const int left = grid.margin + column * (grid.cellWidth + grid.spacing);
    const int top = grid.margin + row * (grid.cellHeight + grid.spacing);
    for (int y = 0; y < grid.cellHeight; ++y)
        std::copy_n(sheet.pixels.begin() + std::ptrdiff_t(top + y) * sheet.width + left,
                    grid.cellWidth, cell.pixels.begin() + std::ptrdiff_t(y) * grid.cellWidth);
    return cell;
}

bool empty(const tglformat::Picture& cell) {
    return std::all_of(cell.pixels.begin(), cell.pixels.end(),
                       [](std::uint32_t pixel) { return (pixel >> 24) == 0; });
}

} // namespace

SourceInfo importGrid(const std::string& path, const GridOptions& grid, const FrameSink& sink) {
    if (grid.cellWidth < 1 || grid.cellHeight < 1 || grid.margin < 0 || grid.spacing < 0)
        throw CommandError("--grid is WxH of at least 1x1, --margin and --spacing at least 0");
    const std::vector<std::uint8_t> bytes = readWhole(path);
    imaging::DecodedImage sheet;
    const imaging::ImageStatus status = imaging::decodeImage(bytes.data(), bytes.size(), sheet);
    if (status != imaging::ImageStatus::Ok)
        throw CommandError(path + ": not an image the viewer reads");
    const int columns = cellsAlong(sheet.width, grid.cellWidth, grid.margin, grid.spacing);
    const int rows = cellsAlong(sheet.height, grid.cellHeight, grid.margin, grid.spacing);
    const int cells = columns * rows;
    if (cells == 0) throw CommandError(path + ": no cell of the grid fits in the image");
    if (grid.count > cells)
        throw CommandError("--count " + std::to_string(grid.count) + ": the image holds " +
                           std::to_string(cells) + " cells");
    std::vector<tglformat::Picture> frames;
    for (int i = 0; i < (grid.count > 0 ? grid.count : cells); ++i)
        frames.push_back(cellOf(sheet, grid, i % columns, i / columns));
    if (grid.count <= 0) // trailing cells with nothing in them are no frames
        while (frames.size() > 1 && empty(frames.back()))
            frames.pop_back();
    for (tglformat::Picture& frame : frames)
        sink({std::move(frame), grid.duration});
    return {};
}

} // namespace tgltool
