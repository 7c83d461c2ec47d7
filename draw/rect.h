#pragma once

// An axis-aligned rectangle in screen pixels that can start empty and grow
// point by point; a bounding box. While `empty` is set the coordinates mean
// nothing, and contains and intersects do not look at it.
class Rect {
  public:
    Rect() = default; // empty
    Rect(float minX, float minY, float maxX, float maxY)
        : minX(minX), minY(minY), maxX(maxX), maxY(maxY), empty(false) {}

    void clear() { empty = true; }
    void extend(float x, float y);
    // Left and top edges belong to it, right and bottom edges do not.
    bool contains(float x, float y) const;
    // Strict: rectangles that only share an edge do not intersect.
    bool intersects(const Rect* other) const;

    float minX = 0;
    float minY = 0;
    float maxX = 0;
    float maxY = 0;
    bool empty = true;
};
