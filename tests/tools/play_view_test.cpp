#include "tools/tgl/play/play_view.h"

#include <gtest/gtest.h>

namespace {

using tgltool::PlayView;

// A 40 x 40 frame at (400, 300) of an 800 x 600 window: zoomed about its
// centre it stays on screen at twice its size, then at 8x it is centred.
TEST(PlayView, ZoomsAboutTheFramesBoxAndKeepsItInView) {
    const Rect box(400, 300, 440, 340);
    PlayView view;
    float x = 0, y = 0;
    view.centreOf(box, 800, 600, x, y);
    EXPECT_EQ(x, 420);
    EXPECT_EQ(y, 320);
    view.zoomAbout(2, x, y, box, 800, 600);
    const Rect shown = view.place(box);
    EXPECT_EQ(shown.minX, 380);
    EXPECT_EQ(shown.minY, 280);
    EXPECT_EQ(shown.maxX - shown.minX, 80);

    // A box near the corner is moved back into the window.
    const Rect corner(760, 560, 800, 600);
    PlayView edge;
    edge.zoomAbout(4, 780, 580, corner, 800, 600);
    const Rect moved = edge.place(corner);
    EXPECT_EQ(moved.maxX, 800);
    EXPECT_EQ(moved.maxY, 600);
    EXPECT_EQ(moved.minX, 640);

    // Wider than the window: centred.
    const Rect wide(0, 0, 800, 100);
    PlayView big;
    big.zoomAbout(2, 400, 50, wide, 800, 600);
    const Rect centred = big.place(wide);
    EXPECT_EQ(centred.minX, -400);
    EXPECT_EQ(centred.maxX, 1200);
}

// Zooming in moves the view to keep the frames in the window; zooming back
// to 1x puts them at the file's places again, or where the user dragged them.
TEST(PlayView, ZoomingBackToOneShowsTheFramesWhereTheyRest) {
    const Rect box(100, 100, 460, 360); // 60 x 60 at (100, 100) and at (400, 300)
    PlayView view;
    float x = 0, y = 0;
    view.centreOf(box, 800, 600, x, y);
    view.zoomAbout(2, x, y, box, 800, 600);
    EXPECT_NE(view.offsetX, -280); // moved to keep the box in view: not a plain zoom
    view.centreOf(box, 800, 600, x, y);
    view.zoomAbout(1, x, y, box, 800, 600);
    EXPECT_EQ(view.place(box).minX, 100);
    EXPECT_EQ(view.place(box).minY, 100);

    view.drag(30, -20);
    view.zoomAbout(2, 400, 300, box, 800, 600);
    view.drag(10, 10); // at 2x: 5 frame points
    view.zoomAbout(1, 400, 300, box, 800, 600);
    EXPECT_EQ(view.place(box).minX, 135);
    EXPECT_EQ(view.place(box).minY, 85);
}

} // namespace
