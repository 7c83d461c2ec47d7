#include "draw/rect.h"

#include <cmath>

void Rect::extend(float x, float y) {
    if (empty) {
        minX = maxX = x;
        minY = maxY = y;
        empty = false;
        return;
    }
    if (x < minX) minX = x;
    if (x > maxX) maxX = x;
    if (y < minY) minY = y;
    if (y > maxY) maxY = y;
}

bool Rect::contains(float x, float y) const {
    return x >= minX && x < maxX && y >= minY && y < maxY;
}

// Centre distance against the sum of half-sizes, both doubled.
bool Rect::intersects(const Rect* other) const {
    return std::fabs(minX + maxX - other->minX - other->maxX) <
               (maxX - minX) + (other->maxX - other->minX) &&
           std::fabs(minY + maxY - other->minY - other->maxY) <
               (maxY - minY) + (other->maxY - other->minY);
}
