#pragma once

#include "draw/rect.h"

namespace tgltool {

// Where the frames show in the player's window: a window point is a frame
// point times the zoom, plus the offset.
struct PlayView {
    static constexpr int kLargestZoom = 8;
    // The zooms are 1, 2, 4 and 8: the next in, the next out, and whether it is one.
    static int zoomedIn(int zoom) { return zoom * 2 > kLargestZoom ? kLargestZoom : zoom * 2; }
    static int zoomedOut(int zoom) { return zoom / 2 < 1 ? 1 : zoom / 2; }
    static bool isZoom(int zoom) {
        return zoom >= 1 && zoom <= kLargestZoom && !(zoom & (zoom - 1));
    }

    int zoom = 1;
    float offsetX = 0, offsetY = 0;
    // The offset at 1x: none but the user's own drags, so that zooming back
    // to 1x shows the frames at the file's places, or where the user put them.
    float restX = 0, restY = 0;

    // Zooms to `to` keeping the window point (x, y) where it is, then moves
    // the view so that `box` (the frames' union, in frame points) stays in the
    // width x height window as far as it fits, centred where it does not. At
    // 1x the view is where it rests.
    void zoomAbout(int to, float x, float y, const Rect& box, float width, float height);
    // The user moves the picture by (dx, dy) window points.
    void drag(float dx, float dy);
    // The window point of the frames' box centre, or the window's centre when
    // the box is empty or out of the window.
    void centreOf(const Rect& box, float width, float height, float& x, float& y) const;
    // A frame rectangle in window points.
    Rect place(const Rect& frame) const;
};

} // namespace tgltool
