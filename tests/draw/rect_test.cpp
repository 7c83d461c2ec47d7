#include "draw/rect.h"

#include <gtest/gtest.h>

namespace {

TEST(Rect, ExtendFromEmptyThenGrow) {
    Rect r;
    r.clear();
    r.extend(5, 7);
    EXPECT_FALSE(r.empty);
    EXPECT_EQ(r.minX, 5);
    EXPECT_EQ(r.maxX, 5);
    EXPECT_EQ(r.minY, 7);
    EXPECT_EQ(r.maxY, 7);
    r.extend(2, 9);
    EXPECT_EQ(r.minX, 2);
    EXPECT_EQ(r.minY, 7);
    EXPECT_EQ(r.maxX, 5);
    EXPECT_EQ(r.maxY, 9);
    r.clear();
    EXPECT_TRUE(r.empty);
    EXPECT_EQ(r.minX, 2) << "clear leaves the coordinates";
}

TEST(Rect, ContainsTheLeftAndTopEdgesOnly) {
    Rect r(0, 0, 10, 10);
    EXPECT_TRUE(r.contains(0, 0));
    EXPECT_TRUE(r.contains(9.99f, 9.99f));
    EXPECT_FALSE(r.contains(10, 5));
    EXPECT_FALSE(r.contains(5, 10));
    EXPECT_FALSE(r.contains(-0.5f, 5));
    r.empty = true;
    EXPECT_TRUE(r.contains(5, 5)) << "empty is not consulted";
}

TEST(Rect, IntersectsStrictly) {
    Rect a(0, 0, 10, 10);
    Rect sharesAnEdge(10, 0, 20, 10);
    Rect overlaps(9.5f, 9.5f, 20, 20);
    EXPECT_FALSE(a.intersects(&sharesAnEdge));
    EXPECT_TRUE(a.intersects(&overlaps));
    EXPECT_TRUE(overlaps.intersects(&a));
    Rect farBelow(0, 30, 10, 40);
    EXPECT_FALSE(a.intersects(&farBelow));
}

TEST(Rect, APointContainsNothingAndIntersectsOnlyStrictlyInside) {
    Rect point(5, 5, 5, 5);
    EXPECT_FALSE(point.contains(5, 5));
    Rect around(0, 0, 10, 10);
    EXPECT_TRUE(point.intersects(&around));
    Rect onTheEdge(5, 0, 10, 10);
    EXPECT_FALSE(point.intersects(&onTheEdge));
}

} // namespace
