#include "tools/tgl/play/play_view.h"

#include <algorithm>

namespace tgltool {

namespace {

// The offset along one axis that keeps [low, high) (window points) inside
// [0, size) as far as it fits.
float keptInside(float offset, float low, float high, float size) {
    if (high - low > size) return offset + (size - (high + low)) / 2; // centred
    if (low < 0) return offset - low;
    if (high > size) return offset - (high - size);
    return offset;
}

} // namespace

void PlayView::zoomAbout(int to, float x, float y, const Rect& box, float width, float height) {
    const float frameX = (x - offsetX) / float(zoom), frameY = (y - offsetY) / float(zoom);
    zoom = to;
    if (zoom == 1) {
        offsetX = restX, offsetY = restY;
        return;
    }
    offsetX = x - frameX * float(zoom);
    offsetY = y - frameY * float(zoom);
    if (box.empty) return;
    const Rect shown = place(box);
    offsetX = keptInside(offsetX, shown.minX, shown.maxX, width);
    offsetY = keptInside(offsetY, shown.minY, shown.maxY, height);
}

void PlayView::centreOf(const Rect& box, float width, float height, float& x, float& y) const {
    const Rect shown = box.empty ? Rect() : place(box);
    const bool inside = !shown.empty && shown.maxX > 0 && shown.maxY > 0 && shown.minX < width &&
                        shown.minY < height;
    x = inside ? (shown.minX + shown.maxX) / 2 : width / 2;
    y = inside ? (shown.minY + shown.maxY) / 2 : height / 2;
}

void PlayView::drag(float dx, float dy) {
    offsetX += dx, offsetY += dy;
    restX += dx / float(zoom), restY += dy / float(zoom);
}

Rect PlayView::place(const Rect& frame) const {
    const float z = float(zoom);
    return Rect(frame.minX * z + offsetX, frame.minY * z + offsetY, frame.maxX * z + offsetX,
                frame.maxY * z + offsetY);
}

} // namespace tgltool
