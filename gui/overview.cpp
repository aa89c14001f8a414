#include "gui/overview.h"

#include <FL/Fl.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Input_.H>
#include <FL/Fl_Pixmap.H>
#include <FL/Fl_Scroll.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <cmath>
#include <mutex>

#include "config/host_item.h"
#include "config/host_list_model.h"
#include "connection/vnc_object.h"
#include "core/display_text.h"
#include "core/options.h"
#include "gui/front_end.h"
#include "gui/host_list.h"
#include "gui/main_window.h"
#include "gui/quick_info.h"
#include "viewer/layout.h"
#include "viewer/remote_keys.h"
#include "viewer/vnc_viewer.h"
#include "viewer/x_blit.h"

namespace {

// Room round each tile's picture (the outline is drawn in it) and the lines of text under it.
constexpr int tnTileMargin = 6;
constexpr int tnTileIconSize = 16;
const Fl_Color tnOverviewBackground = fl_rgb_color(48, 48, 48);
const Fl_Color tnTileTextColor = fl_rgb_color(230, 230, 230);

int tnTileTextSize()
{
    return appOptions.appFontSize;
}

// Two lines: the name (after the status icon) and the state.
int tnTileTextHeight()
{
    return 2 * std::max(tnTileIconSize + 2, tnTileTextSize() + 6);
}

TNOverview* tnOverview()
{
    return app ? app->overview : nullptr;
}

// A host line gets a tile while it has a connection, is making one (a listening line only
// once a server came), waits to reconnect or its last attempt failed; lines never
// connected have none.
bool tnHasTile(const HostItem& itm, const TNConnection& connection)
{
    switch (connection.state) {
    case TNConnectionState::Connected:
    case TNConnectionState::Failed:
    case TNConnectionState::Reconnecting:
        return true;
    case TNConnectionState::Connecting:
        return !itm.isListener;
    default:
        return false;
    }
}

int tnRefreshPeriodMs()
{
    return static_cast<int>(std::lround(1000.0 / std::max(appOptions.overviewRefresh, 0.1)));
}

// The size of a tile's picture: the remote screen scaled into the grid's picture room.
TNSize tnTilePictureSize(const TNOverviewGrid& grid, const VncObject* vnc)
{
    if (!vnc || vnc->remoteWidth <= 0 || vnc->remoteHeight <= 0 || grid.pictureW <= 0 || grid.pictureH <= 0)
        return {};
    return tnScaledViewerSize(vnc->remoteWidth, vnc->remoteHeight, grid.pictureW, grid.pictureH);
}

// Tells the tile's reader the size of its picture, from the grid and the remote screen.
void tnSizeTilePicture(const TNOverviewGrid& grid, TNOverviewTile& tile)
{
    VncObject* vnc = tile.vnc;
    tile.laidOutFor = vnc ? TNSize{vnc->remoteWidth, vnc->remoteHeight} : TNSize{};
    tile.pictureSize = tnTilePictureSize(grid, vnc);
    if (vnc)
        vnc->setTileSize(tile.pictureSize.w, tile.pictureSize.h);
}

// The grid for the tiles and the widget's size, and every tile's picture at its size.
void tnLayOutTiles(TNOverview& overview)
{
    double aspects = 0;
    int screens = 0;
    for (const TNOverviewTile& tile : overview.tiles) {
        if (tile.vnc && tile.vnc->remoteWidth > 0 && tile.vnc->remoteHeight > 0) {
            aspects += double(tile.vnc->remoteWidth) / tile.vnc->remoteHeight;
            screens++;
        }
    }
    const double aspect = screens ? aspects / screens : 4.0 / 3.0;
    const int count = static_cast<int>(overview.tiles.size());
    overview.grid = tnOverviewGrid(count, overview.w(), overview.h(), aspect, tnTileTextHeight(), tnTileMargin);
    for (TNOverviewTile& tile : overview.tiles) {
        tnSizeTilePicture(overview.grid, tile);
        tile.changed = true;
    }
}

// The tiles for the host lines as they are now, in list order; a tile of the same host and
// connection keeps its picture.
void tnMakeTiles(void* = nullptr)
{
    TNOverview* overview = tnOverview();
    if (!overview || !overview->visible())
        return;
    std::vector<TNOverviewTile> made;
    for (HostItem* itm : tnHostList().hosts()) {
        const TNConnection* connection = tnConnectionOf(itm);
        if (!connection || !tnHasTile(*itm, *connection))
            continue;
        VncObject* vnc = connection->state == TNConnectionState::Connected ? connection->vnc : nullptr;
        TNOverviewTile tile;
        for (TNOverviewTile& old : overview->tiles) {
            if (old.host.get() == itm && old.vnc == vnc && old.host) {
                tile = std::move(old);
                break;
            }
        }
        if (!tile.host) {
            tile.host = tnHostList().share(itm);
            tile.vnc = vnc;
        }
        if (vnc)
            vnc->setOverviewRefresh(tnRefreshPeriodMs());
        made.push_back(std::move(tile));
    }
    // Connections that lost their tile keep no tile picture.
    for (const TNOverviewTile& old : overview->tiles) {
        if (old.host && old.vnc)
            old.vnc->setTileSize(0, 0);
    }
    overview->tiles = std::move(made);
    tnLayOutTiles(*overview);
    overview->redraw();
}

// `text` cut at a character boundary, with "…" after it, so that it is at most `width` wide
// in the current font.
std::string tnCutToWidth(const std::string& text, int width)
{
    if (fl_width(text.c_str()) <= width)
        return text;
    const std::string ellipsis = "\xE2\x80\xA6";
    std::string cut = text;
    while (!cut.empty() && fl_width((cut + ellipsis).c_str()) > width) {
        size_t end = cut.size() - 1;
        while (end > 0 && (static_cast<unsigned char>(cut[end]) & 0xC0) == 0x80)
            end--;
        cut.erase(end);
    }
    return cut.empty() ? std::string() : cut + ellipsis;
}

// Fills `outer` but for `inner` (which lies inside it, or is empty).
void tnFillAround(const TNRect& outer, const TNRect& inner)
{
    if (inner.empty()) {
        fl_rectf(outer.x, outer.y, outer.w, outer.h);
        return;
    }
    fl_rectf(outer.x, outer.y, outer.w, inner.y - outer.y);
    fl_rectf(outer.x, inner.y + inner.h, outer.w, outer.y + outer.h - inner.y - inner.h);
    fl_rectf(outer.x, inner.y, inner.x - outer.x, inner.h);
    fl_rectf(inner.x + inner.w, inner.y, outer.x + outer.w - inner.x - inner.w, inner.h);
}

void tnDrawTile(const TNOverview& overview, const TNOverviewTile& tile, int index, bool outlined)
{
    const TNOverviewGrid& grid = overview.grid;
    TNRect cell = tnOverviewCell(grid, index);
    cell.x += overview.x();
    cell.y += overview.y();
    const int picW = tile.pictureSize.w;
    const int picH = tile.pictureSize.h;
    const TNRect picture{cell.x + tnTileMargin + (grid.pictureW - picW) / 2,
                         cell.y + tnTileMargin + (grid.pictureH - picH) / 2, picW, picH};
    fl_color(tnOverviewBackground);
    // The reader's scaled picture, once it is at the tile's size (the background until then).
    bool drawn = false;
    if (tile.vnc && !picture.empty()) {
        std::lock_guard<std::mutex> hold(tile.vnc->tileLock);
        TNTilePicture& scaled = tile.vnc->tile;
        scaled.changed = false;
        if (scaled.scaled.width() == picW && scaled.scaled.height() == picH) {
            tnBlitPicture(scaled.scaled.data(), picW * 4, 0, 0, picW, picH, picture.x, picture.y);
            drawn = true;
        }
    }
    tnFillAround(cell, drawn ? picture : TNRect{});
    if (outlined) {
        fl_color(FL_SELECTION_COLOR);
        fl_line_style(FL_SOLID, 3);
        fl_rect(cell.x + 2, cell.y + 2, cell.w - 4, cell.h - 4);
        fl_line_style(0);
    }

    const TNConnection* connection = tnConnectionOf(tile.host.get());
    const int textX = cell.x + tnTileMargin;
    const int textW = cell.w - 2 * tnTileMargin;
    const int lineH = tnTileTextHeight() / 2;
    int lineY = cell.y + tnTileMargin + grid.pictureH;
    fl_push_clip(textX, lineY, std::max(0, textW), 2 * lineH);
    int nameX = textX;
    if (Fl_Pixmap* icon = tnHostStatusImage(tile.host.get())) {
        icon->draw(textX, lineY + (lineH - icon->h()) / 2);
        nameX += icon->w() + 4;
    }
    fl_font(FL_HELVETICA, tnTileTextSize());
    fl_color(tnTileTextColor);
    const int baseline = (lineH + fl_height()) / 2 - fl_descent();
    const std::string name = tnDisplayText(tile.host->name, TNTextUse::Plain);
    fl_draw(tnCutToWidth(name, textX + textW - nameX).c_str(), nameX, lineY + baseline);
    lineY += lineH;
    const std::string state = connection ? tnTileStateText(*connection) : std::string();
    fl_draw(tnCutToWidth(tnDisplayText(state, TNTextUse::Plain), textW).c_str(), textX, lineY + baseline);
    fl_pop_clip();
}

int tnTileOf(const TNOverview& overview, const HostItem* itm)
{
    for (size_t i = 0; i < overview.tiles.size(); i++) {
        if (itm && overview.tiles[i].host.get() == itm)
            return static_cast<int>(i);
    }
    return -1;
}

void tnSelectTileHost(HostItem* itm)
{
    const int line = tnItemNumFromItm(itm);
    if (line <= 0)
        return;
    tnSelectHostLine(line);
    app->hostList->make_visible(line);
    tnQuickInfoSetLabelAndText(itm);
}

} // namespace

TNOverview::TNOverview(int x, int y, int w, int h) : Fl_Widget(x, y, w, h)
{
    box(FL_NO_BOX);
}

void TNOverview::resize(int x, int y, int w, int h)
{
    const bool sizeChanges = w != this->w() || h != this->h();
    Fl_Widget::resize(x, y, w, h);
    if (sizeChanges && visible())
        tnLayOutTiles(*this);
}

void TNOverview::draw()
{
    // Anything but changed tiles (an expose, a new layout): everything.
    const bool whole = (damage() & ~FL_DAMAGE_USER1) != 0;
    const int count = static_cast<int>(tiles.size());
    if (whole) {
        fl_color(tnOverviewBackground);
        const TNRect all{x(), y(), w(), h()};
        const TNRect gridRect{x() + grid.left, y() + grid.top, grid.columns * grid.cellW, grid.rows * grid.cellH};
        tnFillAround(all, count ? tnClip(gridRect, all) : TNRect{});
        for (int i = count; i < grid.columns * grid.rows; i++) {
            const TNRect cell = tnOverviewCell(grid, i);
            fl_rectf(x() + cell.x, y() + cell.y, cell.w, cell.h);
        }
        if (!count) {
            fl_font(FL_HELVETICA, tnTileTextSize() + 2);
            fl_color(tnTileTextColor);
            fl_draw("No connected hosts", x(), y(), w(), h(), FL_ALIGN_CENTER);
        }
    }
    const HostItem* selected = tnHostList().hostAt(tnHostList().selected());
    for (int i = 0; i < count; i++) {
        TNOverviewTile& tile = tiles[i];
        if (whole || tile.changed)
            tnDrawTile(*this, tile, i, tile.host.get() == selected);
        tile.changed = false;
    }
    outlined = selected;
    tnBlitFinish();
}

int TNOverview::handle(int event)
{
    const int count = static_cast<int>(tiles.size());
    switch (event) {
    case FL_PUSH: {
        take_focus();
        const int index = tnOverviewTileAt(grid, count, Fl::event_x() - x(), Fl::event_y() - y());
        if (index < 0)
            return 1;
        // Held through the menu's event loop, in which the tile may go.
        const std::shared_ptr<HostItem> itm = tiles[index].host;
        if (Fl::event_button() == FL_LEFT_MOUSE) {
            tnShowHostFromOverview(itm.get());
        } else if (Fl::event_button() == FL_RIGHT_MOUSE) {
            tnSelectTileHost(itm.get());
            tnHandleHostRightClick(itm.get());
        }
        return 1;
    }
    case FL_ENTER:
    case FL_MOVE:
        // As the viewer does: the pointer brings the keyboard, unless a text field has it.
        if (Fl::focus() != this && !dynamic_cast<Fl_Input_*>(Fl::focus()))
            take_focus();
        return 1;
    case FL_FOCUS:
    case FL_UNFOCUS:
        return 1;
    case FL_KEYDOWN: {
        const int key = Fl::event_key();
        if (static_cast<uint32_t>(key) == tnKeyF9)
            return 1; // the overview closes when the key comes up
        const HostItem* selected = tnHostList().hostAt(tnHostList().selected());
        const int from = tnTileOf(*this, selected);
        if (key == FL_Enter || key == FL_KP_Enter) {
            if (from >= 0)
                tnShowHostFromOverview(tiles[from].host.get());
            return 1;
        }
        int dx = 0, dy = 0;
        switch (key) {
        case FL_Left: dx = -1; break;
        case FL_Right: dx = 1; break;
        case FL_Up: dy = -1; break;
        case FL_Down: dy = 1; break;
        default: return 0;
        }
        const int to = tnOverviewStep(grid, count, from, dx, dy);
        if (to >= 0 && to != from)
            tnSelectTileHost(tiles[to].host.get());
        return 1;
    }
    case FL_KEYUP:
        if (static_cast<uint32_t>(Fl::event_key()) == tnKeyF9) {
            tnCloseOverview(true);
            return 1;
        }
        return 0;
    default:
        return Fl_Widget::handle(event);
    }
}

std::string tnTileStateText(const TNConnection& connection)
{
    switch (connection.state) {
    case TNConnectionState::Connected:
        return "Connected";
    case TNConnectionState::Connecting:
        return "Connecting";
    case TNConnectionState::Failed: {
        // The short reason: the error's first line.
        const std::string reason = connection.lastError.substr(0, connection.lastError.find('\n'));
        return reason.empty() ? "Failed" : "Failed: " + reason;
    }
    case TNConnectionState::Abandoned:
        return "Disconnecting";
    case TNConnectionState::Reconnecting:
        return "Reconnecting in " +
               std::to_string(tnReconnectSecondsLeft(connection.reconnect, TNClock::now())) + " s";
    case TNConnectionState::Idle:
        break;
    }
    return "Disconnected";
}

bool tnOverviewIsOpen()
{
    const TNOverview* overview = tnOverview();
    return overview && overview->visible();
}

void tnToggleOverview()
{
    if (tnOverviewIsOpen())
        tnCloseOverview(true);
    else
        tnOpenOverview();
}

void tnOpenOverview()
{
    TNOverview* overview = tnOverview();
    if (!overview || overview->visible())
        return;
    // Every host, the one shown so far too, is asked for its changes at the overview's rate.
    tnHideShownConnection(*app->vncViewer);
    app->scroller->hide();
    overview->resize(0, 0, app->viewerWindow->w(), app->viewerWindow->h());
    overview->show();
    overview->take_focus();
    tnMakeTiles();
}

void tnCloseOverview(bool showSelected)
{
    TNOverview* overview = tnOverview();
    if (!overview || !overview->visible())
        return;
    Fl::remove_timeout(tnMakeTiles);
    overview->hide();
    // Hidden hosts ask for nothing again; the tiles' pictures are let go.
    for (TNConnection* connection : tnConnections()) {
        if (connection->vnc) {
            connection->vnc->setOverviewRefresh(0);
            connection->vnc->setTileSize(0, 0);
        }
    }
    overview->tiles.clear();
    overview->outlined = nullptr;
    app->scroller->show();
    VncViewer& viewer = *app->vncViewer;
    HostItem* selected = tnHostList().hostAt(tnHostList().selected());
    VncObject* vnc = tnVncOf(selected);
    if (showSelected && tnIsConnected(selected) && vnc && viewer.vnc != vnc)
        tnShowConnection(viewer, vnc);
    app->viewerWindow->redraw();
    if (viewer.vnc)
        viewer.take_focus();
}

void tnShowHostFromOverview(HostItem* itm)
{
    if (!itm || tnItemNumFromItm(itm) <= 0)
        return;
    tnSelectTileHost(itm);
    tnCloseOverview(true);
}

void tnOverviewPictureChanged(VncObject* vnc)
{
    TNOverview* overview = tnOverview();
    if (!overview || !overview->visible() || !vnc)
        return;
    for (TNOverviewTile& tile : overview->tiles) {
        if (tile.vnc != vnc)
            continue;
        // A new screen size may change the grid.
        if (tile.laidOutFor.w != vnc->remoteWidth || tile.laidOutFor.h != vnc->remoteHeight) {
            tnLayOutTiles(*overview);
            overview->redraw();
            return;
        }
        bool scaled = false;
        {
            std::lock_guard<std::mutex> hold(vnc->tileLock);
            scaled = vnc->tile.changed;
        }
        if (scaled) {
            tile.changed = true;
            overview->damage(FL_DAMAGE_USER1);
        }
        return;
    }
}

void tnOverviewHostsChanged()
{
    if (!tnOverviewIsOpen())
        return;
    // Once the event at hand is handled: a connection may be half-way through a change.
    Fl::remove_timeout(tnMakeTiles);
    Fl::add_timeout(0.0, tnMakeTiles);
}

void tnOverviewSelectionChanged()
{
    TNOverview* overview = tnOverview();
    if (!overview || !overview->visible())
        return;
    const HostItem* selected = tnHostList().hostAt(tnHostList().selected());
    if (selected == overview->outlined)
        return;
    for (TNOverviewTile& tile : overview->tiles) {
        if (tile.host.get() == selected || tile.host.get() == overview->outlined)
            tile.changed = true;
    }
    overview->damage(FL_DAMAGE_USER1);
}

void tnOverviewTileTextChanged(const HostItem* itm)
{
    TNOverview* overview = tnOverview();
    if (!overview || !overview->visible())
        return;
    for (TNOverviewTile& tile : overview->tiles) {
        if (tile.host.get() == itm) {
            tile.changed = true;
            overview->damage(FL_DAMAGE_USER1);
        }
    }
}

void tnOverviewForget(const VncObject* vnc)
{
    TNOverview* overview = tnOverview();
    if (!overview)
        return;
    for (TNOverviewTile& tile : overview->tiles) {
        if (tile.vnc == vnc) {
            tile.vnc = nullptr;
            tile.pictureSize = {};
            tile.changed = true;
        }
    }
    tnOverviewHostsChanged();
}

void tnOverviewRefreshChanged()
{
    TNOverview* overview = tnOverview();
    if (!overview || !overview->visible())
        return;
    for (TNOverviewTile& tile : overview->tiles) {
        if (tile.vnc)
            tile.vnc->setOverviewRefresh(tnRefreshPeriodMs());
    }
}
