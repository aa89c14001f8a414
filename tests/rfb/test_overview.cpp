// The overview of all hosts against real servers: each tile shows its own server's
// screen, a change redraws only its tile, hidden hosts are asked for updates only while
// it is open, and a click, Enter, the arrow keys and F9 (never sent) drive it.
#include "viewer_fixture.h"

#include "config/host_list_model.h"
#include "gui/overview.h"

#include <FL/Fl_Button.H>

namespace {

constexpr uint32_t kF9 = 0xFFC6;

class Overview : public ViewerTest {
protected:
    static constexpr int kHosts = 3;
    const Rgb colours[kHosts] = {{200, 40, 40}, {40, 200, 40}, {40, 40, 200}};
    TNTestServer* servers[kHosts] = {};
    HostItem* hosts[kHosts] = {};

    void SetUp() override
    {
        ViewerTest::SetUp();
        // Ten refreshes a second: the waits below stay short.
        appOptions.overviewRefresh = 10;
        for (int i = 0; i < kHosts; i++) {
            servers[i] = startServerOfSize(320 + 80 * i, 200);
            servers[i]->fill(colours[i].r, colours[i].g, colours[i].b);
            hosts[i] = addHost("host " + std::to_string(i), servers[i]->port());
            hosts[i]->showRemoteCursor = true;
            ASSERT_TRUE(connectAndWait(hosts[i]));
        }
        // The first host is shown, the others hidden (never shown: their pictures are black).
        tnClickHostLine(lineOf(hosts[0]), 1);
        ASSERT_TRUE(waitFor([this] { return framePixelIs(hosts[0], 5, 5, colours[0]); }));
    }

    // The middle of tile `i`'s picture, in the viewer window's coordinates.
    static void tileMiddle(int i, int* x, int* y)
    {
        const TNOverviewGrid& grid = app->overview->grid;
        const TNRect cell = tnOverviewCell(grid, i);
        *x = app->overview->x() + cell.x + cell.w / 2;
        *y = app->overview->y() + cell.y + grid.pictureH / 2;
    }

    static Rgb tilePixel(int i)
    {
        int x, y;
        tileMiddle(i, &x, &y);
        return screenPixel(x, y);
    }

    bool tilesShow(const std::vector<Rgb>& wanted)
    {
        return waitFor([&] {
            for (size_t i = 0; i < wanted.size(); i++) {
                if (!near(tilePixel(static_cast<int>(i)), wanted[i]))
                    return false;
            }
            return true;
        });
    }

    static bool sawKey(TNTestServer* server, uint32_t keysym)
    {
        for (const TNKeyEvent& e : server->keyEvents()) {
            if (e.keysym == keysym)
                return true;
        }
        return false;
    }

    static HostItem* selectedHost() { return tnHostList().hostAt(tnHostList().selected()); }
};

TEST_F(Overview, EachTileShowsItsServerAndAChangeRedrawsOnlyItsTile)
{
    for (TNTestServer* server : servers)
        server->clearRecords();
    // F9 in the viewer opens the overview and never reaches the host; a scan goes on.
    app->isScanning = true;
    ASSERT_TRUE(xdotool("key F9"));
    ASSERT_TRUE(waitFor([] { return tnOverviewIsOpen(); }, 3));
    EXPECT_TRUE(app->isScanning);
    app->isScanning = false;
    EXPECT_FALSE(app->scroller->visible());
    EXPECT_EQ(app->vncViewer->vnc, nullptr) << "every host refreshes at the overview's rate";
    ASSERT_EQ(app->overview->tiles.size(), size_t(kHosts));
    for (int i = 0; i < kHosts; i++)
        EXPECT_EQ(app->overview->tiles[i].host.get(), hosts[i]) << "host-list order";
    EXPECT_TRUE(tilesShow({colours[0], colours[1], colours[2]}))
        << "tile 1 " << tilePixel(1).r << "," << tilePixel(1).g << "," << tilePixel(1).b;
    EXPECT_FALSE(sawKey(servers[0], kF9));

    // A mark painted over tile 0 behind the toolkit's back stays: only tile 2 is redrawn
    // when its server changes.
    int markX, markY;
    tileMiddle(0, &markX, &markY);
    tnTestPump(0.3);
    app->viewerWindow->make_current();
    fl_color(255, 0, 255);
    fl_rectf(markX - 2, markY - 2, 5, 5);
    XSync(fl_display, False);
    servers[2]->fill(250, 250, 0);
    EXPECT_TRUE(tilesShow({{255, 0, 255}, colours[1], {250, 250, 0}}));
    tnTestPump(0.3);
    EXPECT_TRUE(near(tilePixel(0), {255, 0, 255})) << "tile 0 was redrawn without a change";

    // Hidden hosts are asked for updates while the overview is open, and no more once it
    // closes (the shown one is, again).
    const int before = servers[1]->updateRequests();
    servers[1]->fill(10, 10, 10);
    EXPECT_TRUE(waitFor([&] { return servers[1]->updateRequests() > before; }));
    tnHandleHostListButtons(app->btnOverview, nullptr);
    EXPECT_FALSE(tnOverviewIsOpen());
    EXPECT_EQ(app->vncViewer->vnc, tnVncOf(hosts[0]));
    tnTestPump(0.3);
    const int settled = servers[1]->updateRequests();
    servers[1]->fill(90, 90, 90);
    tnTestPump(0.6);
    EXPECT_EQ(servers[1]->updateRequests(), settled);
}

TEST_F(Overview, ClickEnterAndArrowKeysShowHosts)
{
    tnHandleHostListButtons(app->btnOverview, nullptr);
    ASSERT_TRUE(tnOverviewIsOpen());
    ASSERT_TRUE(tilesShow({colours[0], colours[1], colours[2]}));

    // A click on the third tile selects its line and shows it, its last picture as soon as
    // its reader has copied its frame buffer.
    int x, y;
    tileMiddle(2, &x, &y);
    click(x, y, 1);
    EXPECT_FALSE(tnOverviewIsOpen());
    EXPECT_EQ(selectedHost(), hosts[2]);
    EXPECT_EQ(app->vncViewer->vnc, tnVncOf(hosts[2]));
    const VncViewer* viewer = app->vncViewer;
    EXPECT_TRUE(waitFor([&] { return near(screenPixel(viewer->x() + 5, viewer->y() + 5), colours[2]); }, 1));

    // The outline starts on the selected host; Up moves it (and the selection) to the tile
    // above, Enter shows that host. Neither key goes to a host.
    for (TNTestServer* server : servers)
        server->clearRecords();
    ASSERT_TRUE(xdotool("key F9"));
    ASSERT_TRUE(waitFor([] { return tnOverviewIsOpen(); }, 3));
    tnTestFocusWindow(app->viewerWindow);
    app->overview->take_focus();
    ASSERT_EQ(app->overview->grid.columns, 2) << "three tiles in two rows";
    tnTestPressKey(app->viewerWindow, FL_Up);
    EXPECT_EQ(selectedHost(), hosts[0]);
    EXPECT_TRUE(tnOverviewIsOpen());
    tnTestPressKey(app->viewerWindow, FL_Enter, "\r");
    EXPECT_FALSE(tnOverviewIsOpen());
    EXPECT_EQ(app->vncViewer->vnc, tnVncOf(hosts[0]));
    tnTestPump(0.3);
    for (TNTestServer* server : servers)
        EXPECT_TRUE(server->keyEvents().empty());

    // F9 in the overview closes it and shows the selected host again.
    ASSERT_TRUE(xdotool("key F9"));
    ASSERT_TRUE(waitFor([] { return tnOverviewIsOpen(); }, 3));
    tnTestPump(0.2);
    ASSERT_TRUE(xdotool("key F9"));
    EXPECT_TRUE(waitFor([] { return !tnOverviewIsOpen(); }, 3));
    EXPECT_EQ(app->vncViewer->vnc, tnVncOf(hosts[0]));
    tnTestPump(0.3);
    EXPECT_FALSE(sawKey(servers[0], kF9));

    // A right click on a connected host's tile disconnects it, as on its line; its tile goes.
    tnHandleHostListButtons(app->btnOverview, nullptr);
    tileMiddle(1, &x, &y);
    click(x, y, 3);
    EXPECT_TRUE(waitFor([this] { return !tnIsConnected(hosts[1]) && app->overview->tiles.size() == 2; }));
    EXPECT_EQ(app->overview->tiles[1].host.get(), hosts[2]);
}

} // namespace
