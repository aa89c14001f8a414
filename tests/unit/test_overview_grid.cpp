// The overview's grid: the number of columns that gives the largest tiles, where each tile
// lies, and how the arrow keys and the pointer find tiles.
#include <gtest/gtest.h>

#include "gui/overview_grid.h"

TEST(OverviewGrid, ChoosesTheColumnsThatGiveTheLargestPictures)
{
    struct Case {
        int count, areaW, areaH;
        double aspect;
        int textHeight, margin;
        int columns, rows, pictureW, pictureH, cellW, cellH, left, top;
    };
    const Case cases[] = {
        {1, 800, 600, 4.0 / 3, 0, 0, 1, 1, 800, 600, 800, 600, 0, 0},
        {4, 1600, 900, 16.0 / 9, 0, 0, 2, 2, 800, 450, 800, 450, 0, 0},
        // A wide area puts three in a row, a tall one in a column.
        {3, 1920, 400, 16.0 / 9, 0, 0, 3, 1, 640, 360, 640, 360, 0, 20},
        {3, 400, 1200, 4.0 / 3, 0, 0, 1, 3, 400, 300, 400, 300, 0, 150},
        // Five in three columns: the last row is short, the spare height goes above and below.
        {5, 1000, 600, 4.0 / 3, 0, 0, 3, 2, 333, 249, 333, 249, 0, 51},
        // The line of text and the margins count: two side by side beat two stacked.
        {2, 800, 600, 4.0 / 3, 20, 5, 2, 1, 390, 292, 400, 322, 0, 139},
        // No ratio known: 4:3.
        {1, 800, 800, 0.0, 0, 0, 1, 1, 800, 600, 800, 600, 0, 100},
        // Nothing to show, or no room.
        {0, 800, 600, 4.0 / 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        {3, 0, 600, 4.0 / 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        {2, 10, 10, 4.0 / 3, 16, 4, 1, 2, 0, 0, 8, 5, 1, 0},
    };
    for (const Case& c : cases) {
        const TNOverviewGrid g = tnOverviewGrid(c.count, c.areaW, c.areaH, c.aspect, c.textHeight, c.margin);
        const std::string what = std::to_string(c.count) + " in " + std::to_string(c.areaW) + "x" +
                                 std::to_string(c.areaH);
        EXPECT_EQ(g.columns, c.columns) << what;
        EXPECT_EQ(g.rows, c.rows) << what;
        EXPECT_EQ(g.pictureW, c.pictureW) << what;
        EXPECT_EQ(g.pictureH, c.pictureH) << what;
        EXPECT_EQ(g.cellW, c.cellW) << what;
        EXPECT_EQ(g.cellH, c.cellH) << what;
        EXPECT_EQ(g.left, c.left) << what;
        EXPECT_EQ(g.top, c.top) << what;
    }
}

TEST(OverviewGrid, CellsPointerAndArrowKeys)
{
    // Five tiles of 333 x 249 in three columns, 51 pixels from the top.
    const TNOverviewGrid g = tnOverviewGrid(5, 1000, 600, 4.0 / 3, 0, 0);
    EXPECT_EQ(tnOverviewCell(g, 4), (TNRect{333, 300, 333, 249}));
    EXPECT_EQ(tnOverviewCell(g, -1), TNRect{});

    const struct {
        int x, y, tile;
    } points[] = {{0, 51, 0}, {332, 299, 0}, {333, 300, 4}, {998, 51, 2}, {700, 400, -1}, {10, 10, -1},
                  {500, 560, -1}};
    for (const auto& p : points)
        EXPECT_EQ(tnOverviewTileAt(g, 5, p.x, p.y), p.tile) << p.x << "," << p.y;

    const struct {
        int from, dx, dy, to;
    } steps[] = {
        {1, 0, 1, 4}, {2, 0, 1, 4}, {4, 0, 1, 4}, {0, -1, 0, 0}, {3, 0, -1, 0}, {2, 1, 0, 2},
        {3, 1, 0, 4}, {4, 1, 0, 4}, {-1, 1, 0, 0}, {7, 0, 1, 0},
    };
    for (const auto& s : steps)
        EXPECT_EQ(tnOverviewStep(g, 5, s.from, s.dx, s.dy), s.to) << s.from << " by " << s.dx << "," << s.dy;
    EXPECT_EQ(tnOverviewStep(TNOverviewGrid{}, 0, 0, 1, 0), -1);
}
