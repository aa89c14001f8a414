#include "gui/overview_grid.h"

#include <algorithm>

namespace {

// The largest picture of the ratio `aspect` inside w x h.
void tnFit(double aspect, int w, int h, int* fitW, int* fitH)
{
    *fitW = 0;
    *fitH = 0;
    if (w <= 0 || h <= 0)
        return;
    if (w >= h * aspect) {
        *fitH = h;
        *fitW = std::max(1, static_cast<int>(h * aspect + 1e-6));
    } else {
        *fitW = w;
        *fitH = std::max(1, static_cast<int>(w / aspect + 1e-6));
    }
}

} // namespace

TNOverviewGrid tnOverviewGrid(int count, int areaW, int areaH, double aspect, int textHeight, int margin)
{
    TNOverviewGrid best;
    if (count <= 0 || areaW <= 0 || areaH <= 0)
        return best;
    if (!(aspect > 0.01 && aspect < 100))
        aspect = 4.0 / 3.0;
    long bestArea = -1;
    for (int columns = 1; columns <= count; columns++) {
        const int rows = (count + columns - 1) / columns;
        TNOverviewGrid grid;
        grid.columns = columns;
        grid.rows = rows;
        grid.cellW = areaW / columns;
        grid.cellH = areaH / rows;
        tnFit(aspect, grid.cellW - 2 * margin, grid.cellH - 2 * margin - textHeight, &grid.pictureW, &grid.pictureH);
        const long area = static_cast<long>(grid.pictureW) * grid.pictureH;
        if (area > bestArea) {
            bestArea = area;
            best = grid;
        }
    }
    // Cells no wider and no taller than their pictures need: the spare room goes round the grid.
    best.cellW = std::min(best.cellW, best.pictureW + 2 * margin);
    best.cellH = std::min(best.cellH, best.pictureH + 2 * margin + textHeight);
    best.left = (areaW - best.columns * best.cellW) / 2;
    best.top = (areaH - best.rows * best.cellH) / 2;
    return best;
}

TNRect tnOverviewCell(const TNOverviewGrid& grid, int index)
{
    if (grid.columns <= 0 || index < 0)
        return {};
    return {grid.left + (index % grid.columns) * grid.cellW, grid.top + (index / grid.columns) * grid.cellH,
            grid.cellW, grid.cellH};
}

int tnOverviewTileAt(const TNOverviewGrid& grid, int count, int x, int y)
{
    if (grid.columns <= 0 || grid.cellW <= 0 || grid.cellH <= 0 || x < grid.left || y < grid.top)
        return -1;
    const int column = (x - grid.left) / grid.cellW;
    const int row = (y - grid.top) / grid.cellH;
    if (column >= grid.columns || row >= grid.rows)
        return -1;
    const int index = row * grid.columns + column;
    return index < count ? index : -1;
}

int tnOverviewStep(const TNOverviewGrid& grid, int count, int index, int dx, int dy)
{
    if (count <= 0 || grid.columns <= 0)
        return -1;
    if (index < 0 || index >= count)
        return 0;
    const int column = index % grid.columns + dx;
    const int row = index / grid.columns + dy;
    if (column < 0 || column >= grid.columns || row < 0 || row >= grid.rows)
        return index;
    // Down from a row above a short last row goes to the last tile.
    return std::min(row * grid.columns + column, count - 1);
}
