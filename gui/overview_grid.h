// Layout arithmetic of the overview of all connected hosts, free of widgets.
#pragma once

#include "core/rect.h"

// The overview's tiles: `columns` x `rows` cells of `cellW` x `cellH` pixels, each holding
// a picture of up to `pictureW` x `pictureH` (the cell less its margin and the line of text
// under the picture), the grid centred in the area. Zero columns for no tile.
struct TNOverviewGrid {
    int columns = 0;
    int rows = 0;
    int cellW = 0;
    int cellH = 0;
    int pictureW = 0;
    int pictureH = 0;
    int left = 0; // where the grid starts inside the area
    int top = 0;
};

// The grid of `count` tiles in an `areaW` x `areaH` area whose remote screens have the
// aspect ratio `aspect` (width / height): of every number of columns, the one whose
// pictures, scaled with that ratio kept, are largest. Each cell keeps `margin` pixels on
// every side and `textHeight` pixels under its picture for the host's name and state.
// Ties go to fewer columns.
TNOverviewGrid tnOverviewGrid(int count, int areaW, int areaH, double aspect, int textHeight, int margin);

// Cell `index` (counted along the rows, top left first) in the area's coordinates.
TNRect tnOverviewCell(const TNOverviewGrid& grid, int index);

// The tile under the point (area coordinates), or -1 (outside every cell, or past `count`).
int tnOverviewTileAt(const TNOverviewGrid& grid, int count, int x, int y);

// The tile the arrow keys move the outline to from `index` (dx, dy: -1, 0 or 1), kept
// among the `count` tiles; from no tile (-1) any arrow goes to the first.
int tnOverviewStep(const TNOverviewGrid& grid, int count, int index, int dx, int dy);
