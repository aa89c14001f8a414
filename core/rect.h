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

// True when the smallest rectangle holding both holds nothing else: one holds the other, or
// they share a whole edge's span and touch or overlap across it.
inline bool tnJoinsExactly(const TNRect& a, const TNRect& b)
{
    const bool inA = b.x >= a.x && b.y >= a.y && b.x + b.w <= a.x + a.w && b.y + b.h <= a.y + a.h;
    const bool inB = a.x >= b.x && a.y >= b.y && a.x + a.w <= b.x + b.w && a.y + a.h <= b.y + b.h;
    const bool stacked = a.x == b.x && a.w == b.w && b.y <= a.y + a.h && a.y <= b.y + b.h;
    const bool sideBySide = a.y == b.y && a.h == b.h && b.x <= a.x + a.w && a.x <= b.x + b.w;
    return inA || inB || stacked || sideBySide;
}

// Adds a changed rectangle to a list of at most `most`: past that the list becomes the
// bounding box of all of them. An empty rectangle changes nothing. A rectangle that makes
// one exact rectangle with a listed one joins it (and the joined one may join another):
// the strips a server sends a large change in come back as that change, drawn at once.
inline void tnAddDamage(std::vector<TNRect>& rects, TNRect r, size_t most)
{
    if (r.empty())
        return;
    for (size_t i = 0; i < rects.size();) {
        if (tnJoinsExactly(rects[i], r)) {
            r = tnUnite(rects[i], r);
            rects.erase(rects.begin() + static_cast<std::ptrdiff_t>(i));
            i = 0;
        } else {
            ++i;
        }
    }
    if (rects.size() < most) {
        rects.push_back(r);
        return;
    }
    TNRect box = r;
    for (const TNRect& other : rects)
        box = tnUnite(box, other);
    rects.assign(1, box);
}
