// Rectangles: the bounding box of two, clipping to bounds, and the bounded list of changed
// rectangles that joins those making one exact rectangle and turns into their bounding box
// when too many come.
#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "core/rect.h"

static void PrintTo(const TNRect& r, std::ostream* os)
{
    *os << "{" << r.x << ", " << r.y << ", " << r.w << ", " << r.h << "}";
}

namespace {

TEST(Rect, UniteIsTheBoundingBoxAndAnEmptyRectangleAddsNothing)
{
    struct Case {
        const char* name;
        TNRect a, b, want;
    };
    const Case cases[] = {
        {"apart", {0, 0, 2, 2}, {10, 20, 5, 5}, {0, 0, 15, 25}},
        {"overlapping", {5, 5, 10, 10}, {0, 8, 8, 20}, {0, 5, 15, 23}},
        {"one inside the other", {0, 0, 100, 100}, {10, 10, 5, 5}, {0, 0, 100, 100}},
        {"negative coordinates", {-10, -5, 5, 5}, {3, 4, 1, 1}, {-10, -5, 14, 10}},
        {"empty second far away", {4, 4, 2, 2}, {500, 500, 0, 10}, {4, 4, 2, 2}},
        {"empty first far away", {-50, -50, 10, -1}, {4, 4, 2, 2}, {4, 4, 2, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(tnUnite(c.a, c.b), c.want);
        EXPECT_EQ(tnUnite(c.b, c.a), c.want);
    }
}

TEST(Rect, ClipClampsEachEdgeIntoTheBounds)
{
    struct Case {
        const char* name;
        TNRect r, bounds, want;
    };
    const TNRect screen{0, 0, 64, 48};
    const Case cases[] = {
        {"inside", {1, 2, 3, 4}, screen, {1, 2, 3, 4}},
        {"over the top-left corner", {-5, -6, 10, 10}, screen, {0, 0, 5, 4}},
        {"over the bottom-right corner", {60, 40, 10, 10}, screen, {60, 40, 4, 8}},
        {"covering the bounds", {-1, -1, 100, 100}, screen, {0, 0, 64, 48}},
        {"right of the bounds: empty on their edge", {70, 10, 5, 5}, screen, {64, 10, 0, 5}},
        {"above the bounds: empty on their edge", {10, -20, 5, 5}, screen, {10, 0, 5, 0}},
        {"negative size", {10, 10, -4, 3}, screen, {10, 10, 0, 3}},
        {"bounds away from the origin", {0, 0, 20, 20}, {5, 8, 10, 10}, {5, 8, 10, 10}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(tnClip(c.r, c.bounds), c.want);
    }
}

TEST(Rect, DamageJoinsExactUnionsAndKeepsTheRestApartUpToItsLimitThenTheirBoundingBox)
{
    struct Case {
        const char* name;
        size_t most;
        std::vector<TNRect> added;
        std::vector<TNRect> want;
    };
    const Case cases[] = {
        {"up to the limit, apart and in order", 3, {{0, 0, 1, 1}, {9, 9, 1, 1}, {4, 0, 2, 2}},
         {{0, 0, 1, 1}, {9, 9, 1, 1}, {4, 0, 2, 2}}},
        // Every rectangle counts, not just the first and the new one.
        {"one past the limit: all of them boxed", 3, {{5, 5, 1, 1}, {0, 20, 1, 1}, {30, 0, 2, 2}, {6, 6, 1, 1}},
         {{0, 0, 32, 21}}},
        {"after the box, apart again", 2, {{5, 5, 1, 1}, {7, 7, 1, 1}, {0, 0, 1, 1}, {50, 50, 2, 2}},
         {{0, 0, 8, 8}, {50, 50, 2, 2}}},
        {"empty ones change nothing", 2, {{3, 3, 1, 1}, {100, 100, 0, 5}, {4, 4, 1, 1}, {-9, -9, 4, -1}},
         {{3, 3, 1, 1}, {4, 4, 1, 1}}},
        // Rectangles whose bounding box holds nothing else become that box.
        {"full-width strips of one change", 64, {{0, 0, 1280, 51}, {0, 51, 1280, 51}, {0, 102, 1280, 6}},
         {{0, 0, 1280, 108}}},
        {"strips that overlap, and a column beside", 64, {{8, 0, 4, 10}, {8, 6, 4, 10}, {12, 0, 3, 16}},
         {{8, 0, 7, 16}}},
        {"a rectangle in between joins both neighbours", 64, {{0, 0, 10, 10}, {20, 0, 10, 10}, {10, 0, 10, 10}},
         {{0, 0, 30, 10}}},
        {"held inside, or holding", 64, {{0, 0, 10, 10}, {2, 2, 3, 3}, {40, 40, 1, 1}, {30, 30, 20, 20}},
         {{0, 0, 10, 10}, {30, 30, 20, 20}}},
        {"touching on part of an edge, at a corner, or one pixel apart", 64,
         {{0, 0, 10, 10}, {0, 10, 5, 10}, {10, 10, 10, 10}, {0, 21, 5, 10}},
         {{0, 0, 10, 10}, {0, 10, 5, 10}, {10, 10, 10, 10}, {0, 21, 5, 10}}},
        {"a join makes room under the limit", 2, {{0, 0, 4, 4}, {10, 10, 4, 4}, {0, 4, 4, 4}},
         {{10, 10, 4, 4}, {0, 0, 4, 8}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<TNRect> rects;
        for (const TNRect& r : c.added)
            tnAddDamage(rects, r, c.most);
        EXPECT_EQ(rects, c.want);
    }
}

} // namespace
