// A rectangle of pixels, and the bounded lists of changed rectangles kept by the reader (what
// to copy into the picture, what the window must draw) and by the viewer (what it has not
// drawn yet).
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

struct TNRect {
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;

    bool empty() const { return w <= 0 || h <= 0; }
    bool operator==(const TNRect& other) const
    {
        return x == other.x && y == other.y && w == other.w && h == other.h;
    }
};

// The smallest rectangle that holds both; an empty one adds nothing.
inline TNRect tnUnite(const TNRect& a, const TNRect& b)
{
    if (b.empty())
        return a;
    if (a.empty())
        return b;
    const int left = std::min(a.x, b.x);
    const int top = std::min(a.y, b.y);
    const int right = std::max(a.x + a.w, b.x + b.w);
    const int bottom = std::max(a.y + a.h, b.y + b.h);
    return {left, top, right - left, bottom - top};
}

// The part of `r` inside `bounds`: each edge clamped into the bounds, so that a rectangle
// outside them becomes an empty one on their nearest edge.
inline TNRect tnClip(const TNRect& r, const TNRect& bounds)
{
    const int right = bounds.x + bounds.w;
    const int bottom = bounds.y + bounds.h;
    const int x0 = std::clamp(r.x, bounds.x, right);
    const int y0 = std::clamp(r.y, bounds.y, bottom);
    const int x1 = std::clamp(r.x + r.w, x0, right);
    const int y1 = std::clamp(r.y + r.h, y0, bottom);
    return {x0, y0, x1 - x0, y1 - y0};
}

// Adds a changed rectangle to a list of at most `most`: past that the list becomes the
// bounding box of all of them. An empty rectangle changes nothing.
inline void tnAddDamage(std::vector<TNRect>& rects, const TNRect& r, size_t most)
{
    if (r.empty())
        return;
    if (rects.size() < most) {
        rects.push_back(r);
        return;
    }
    TNRect box = r;
    for (const TNRect& other : rects)
        box = tnUnite(box, other);
    rects.assign(1, box);
}
