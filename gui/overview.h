// The overview of all hosts: in the viewer's area, in place of the viewer, one live tile
// per host line that has a connection (or is connecting, or whose last attempt failed), in
// host-list order. Each tile shows the remote screen scaled down, the host's name and its
// state; the selected host's tile is outlined. While it is open every connected host is
// asked for its changes at the "Overview refresh" rate.
#pragma once

#include <FL/Fl_Widget.H>

#include <memory>
#include <string>
#include <vector>

#include "gui/overview_grid.h"
#include "viewer/layout.h"

class HostItem;
class VncObject;
struct TNConnection;

struct TNOverviewTile {
    std::shared_ptr<HostItem> host;
    // The connection whose picture the tile shows (connected hosts only), or null; its
    // reader keeps the tile's scaled picture (VncObject::tile).
    VncObject* vnc = nullptr;
    // The remote screen's size the tile was laid out for, and its picture's size then.
    TNSize laidOutFor;
    TNSize pictureSize;
    // To be drawn at the next draw (its picture, name, state or outline changed).
    bool changed = true;
};

class TNOverview : public Fl_Widget {
public:
    TNOverview(int x, int y, int w, int h);

    void draw() override;
    int handle(int event) override;
    void resize(int x, int y, int w, int h) override;

    std::vector<TNOverviewTile> tiles;
    TNOverviewGrid grid;
    // The host whose tile was last drawn outlined.
    const HostItem* outlined = nullptr;
};

// What a tile says of its host's connection: "Connected", "Connecting", "Failed: <reason>".
std::string tnTileStateText(const TNConnection& connection);

bool tnOverviewIsOpen();
// The ninth button and F9: opens the overview, or closes it and shows the selected host.
void tnToggleOverview();
void tnOpenOverview();
// Closes it; with `showSelected` the viewer shows the selected host when it is connected.
void tnCloseOverview(bool showSelected);
// The selected line's host goes to the viewer (a click or Enter on its tile).
void tnShowHostFromOverview(HostItem* itm);

// What the rest of the window tells the overview (nothing happens while it is closed):
// `vnc`'s reader changed its picture;
void tnOverviewPictureChanged(VncObject* vnc);
// a host's state, name or line changed (the tiles are made again once the event is handled);
void tnOverviewHostsChanged();
// another line was selected;
void tnOverviewSelectionChanged();
// only a host's state text changed (a reconnecting host's countdown): its tile alone is
// drawn again;
void tnOverviewTileTextChanged(const HostItem* itm);
// `vnc` is about to be freed;
void tnOverviewForget(const VncObject* vnc);
// the "Overview refresh" option changed.
void tnOverviewRefreshChanged();
