// The viewer with real connections: what the server sees of pointer and wheel events in
// both layouts, what reaches the screen, and the idle viewer.
#include "viewer_fixture.h"

namespace {

TEST_F(ViewerTest, ScrollLayoutMapsClicksThroughTheScrollOffset)
{
    TNTestServerOptions options;
    options.width = 1200;
    options.height = 900;
    TNTestServer* server = startServer(options);
    HostItem* itm = showHost(server, 's');
    Fl_Scroll* scroller = app->scroller;
    EXPECT_EQ(app->vncViewer->w(), 1200);
    EXPECT_EQ(app->vncViewer->h(), 900);
    EXPECT_EQ(scroller->type(), Fl_Scroll::BOTH);

    scroller->scroll_to(100, 50);
    scroller->redraw();
    Fl::flush();
    server->clearRecords();
    click(scroller->x() + 10, scroller->y() + 20, 1);
    EXPECT_TRUE(waitForPointer(server, 110, 70, 1));
    EXPECT_TRUE(waitForPointer(server, 110, 70, 0));
    // The release asks for an update of what the click changed.
    EXPECT_TRUE(waitFor([server] { return server->updateRequests() > 0; }));

    // Shown again later, the connection comes back at the place it was left.
    VncObject::hideMainViewer();
    EXPECT_EQ(scroller->xposition(), 0);
    itm->vnc->setObjectVisible();
    EXPECT_EQ(scroller->xposition(), 100);
    EXPECT_EQ(scroller->yposition(), 50);
}

TEST_F(ViewerTest, ScaledLayoutMapsViewerCornersToRemoteCorners)
{
    TNTestServerOptions options;
    options.width = 1920;
    options.height = 1080;
    TNTestServer* server = startServer(options);
    showHost(server, 'z');
    VncViewer* viewer = app->vncViewer;
    // 1920 x 1080 into 827 x 700: bound by the width.
    EXPECT_EQ(viewer->w(), 827);
    EXPECT_EQ(viewer->h(), 465);
    EXPECT_EQ(viewer->x(), app->scroller->x());

    server->clearRecords();
    click(viewer->x() + viewer->w() - 1, viewer->y() + viewer->h() - 1, 3);
    EXPECT_TRUE(waitForPointer(server, 1919, 1079, 4));
    EXPECT_TRUE(waitForPointer(server, 1919, 1079, 0));
    click(viewer->x(), viewer->y(), 1);
    EXPECT_TRUE(waitForPointer(server, 0, 0, 1));
    // A drag that leaves the viewer stays on the remote screen's edge.
    tnTestSetMouseState(viewer->x() + 5, viewer->y() + 5, 1, 0, true);
    Fl::handle(FL_PUSH, app->mainWin);
    tnTestSetMouseState(viewer->x() + viewer->w() + 40, viewer->y() + 5, 1, 0, true);
    Fl::handle(FL_DRAG, app->mainWin);
    EXPECT_TRUE(waitForPointer(server, 1919, 11, 1));
    tnTestSetMouseState(viewer->x() + viewer->w() + 40, viewer->y() + 5, 1, 0, false);
    Fl::handle(FL_RELEASE, app->mainWin);
    EXPECT_TRUE(waitForPointer(server, 1919, 11, 0));
}

TEST_F(ViewerTest, WheelIsButtonsFourAndFiveAndTheMiddleButtonStaysLocal)
{
    TNTestServer* server = startServer();
    showHost(server, 'f');
    const int x = app->vncViewer->x() + 5;
    const int y = app->vncViewer->y() + 5;
    move(x, y); // enters the viewer
    move(x, y);
    EXPECT_TRUE(waitForPointer(server, 5, 5, 0));

    server->clearRecords();
    wheel(x, y, -1); // away from the user
    EXPECT_TRUE(waitFor([server] { return server->pointerEvents().size() >= 2; }));
    EXPECT_EQ(masks(server), (std::vector<int>{8, 0}));

    server->clearRecords();
    wheel(x, y, 1); // towards the user
    EXPECT_TRUE(waitFor([server] { return server->pointerEvents().size() >= 2; }));
    EXPECT_EQ(masks(server), (std::vector<int>{16, 0}));

    // The middle button goes nowhere (the toolkit's pointer moves after a release do, with
    // no button); a left click after it shows the server is listening.
    server->clearRecords();
    click(x, y, 2);
    click(x, y, 1);
    EXPECT_TRUE(waitForPointer(server, 5, 5, 1));
    EXPECT_TRUE(waitForPointer(server, 5, 5, 0));
    for (int mask : masks(server))
        EXPECT_EQ(mask & 2, 0);

    // Moving and wheeling keep a scan going; a click ends it.
    app->isScanning = true;
    move(x + 1, y);
    wheel(x, y, 1);
    EXPECT_TRUE(app->isScanning);
    click(x, y, 1);
    EXPECT_FALSE(app->isScanning);
}

TEST_F(ViewerTest, EmptyViewerTakesNoEvents)
{
    TNTestServer* server = startServer();
    HostItem* itm = showHost(server, 'f');
    VncObject::hideMainViewer();
    EXPECT_FALSE(itm->vnc->isVisible);
    EXPECT_EQ(app->vncViewer->w(), 0);
    EXPECT_EQ(app->scroller->type(), 0);
    server->clearRecords();
    VncViewer* viewer = app->vncViewer;
    for (int event : {FL_PUSH, FL_RELEASE, FL_DRAG, FL_MOVE, FL_MOUSEWHEEL, FL_ENTER, FL_FOCUS, FL_KEYDOWN,
                      FL_KEYUP, FL_SHORTCUT, FL_PASTE}) {
        SCOPED_TRACE(event);
        EXPECT_EQ(viewer->handle(event), 0);
    }
    tnTestPump(0.2);
    EXPECT_TRUE(server->pointerEvents().empty());
    EXPECT_TRUE(server->keyEvents().empty());
    EXPECT_TRUE(server->cutTexts().empty());
}

TEST_F(ViewerTest, ScreenShowsTheServerPatternOneToOneAndScaled)
{
    TNTestServer* server = startServer(); // 64 x 48
    HostItem* itm = showHost(server, 'f');
    const int ox = app->scroller->x();
    const int oy = app->scroller->y();
    // 1:1: every pixel in place (polled: the library may still be replacing its frame
    // buffer after the handshake, and the full update that follows brings the pixels).
    auto wrongPixels = [ox, oy] {
        const std::vector<Rgb> shot = screen(ox, oy, 64, 48);
        int wrong = shot.size() == 64u * 48u ? 0 : 1;
        for (int y = 0; y < 48 && !wrong; y++) {
            for (int x = 0; x < 64; x++)
                wrong += !near(shot[y * 64 + x], patternAt(x, y));
        }
        return wrong;
    };
    EXPECT_TRUE(waitFor([&] { return wrongPixels() == 0; }, 3)) << wrongPixels() << " pixels differ";

    // Scaled up to 827 x 620: sample points land on the pixel the pointer mapping names.
    for (bool fast : {false, true}) {
        SCOPED_TRACE(fast ? "nearest" : "bilinear");
        itm->scaling = 'z';
        itm->scalingFast = fast;
        itm->vnc->setObjectVisible();
        VncViewer* viewer = app->vncViewer;
        ASSERT_EQ(viewer->w(), 827);
        ASSERT_EQ(viewer->h(), 620);
        ASSERT_TRUE(waitFor([itm] { return framePixelIs(itm, 10, 10, patternAt(10, 10)); }));
        viewer->redraw();
        for (int vy : {6, 100, 333, 613}) {
            for (int vx : {6, 200, 414, 820}) {
                const Rgb seen = screenPixel(viewer->x() + vx, viewer->y() + vy);
                const Rgb want = patternAt(vx * 63 / 826, vy * 47 / 619);
                EXPECT_TRUE(near(seen, want, 20)) << vx << "," << vy << ": " << seen.r << " " << seen.g << " "
                                                  << seen.b << " want " << want.r << " " << want.g;
            }
        }
    }
}

TEST_F(ViewerTest, DesktopResizeIsDrawnAndLaidOutWithTheNewSize)
{
    TNTestServer* server = startServer(); // 64 x 48
    HostItem* itm = showHost(server, 'z');
    // Smaller (a stale size would read past the new frame buffer) and of another shape.
    server->resize(96, 24);
    server->fill(255, 0, 0);
    ASSERT_TRUE(waitFor([itm] {
        return itm->vnc->vncClient->width == 96 && framePixelIs(itm, 95, 23, {255, 0, 0});
    }));
    const VncViewer* viewer = app->vncViewer;
    // Laid out again for the new shape: 827 wide, 827 / 4 high.
    EXPECT_TRUE(waitFor([viewer] { return viewer->w() == 827 && viewer->h() == 206; }, 2))
        << viewer->w() << "x" << viewer->h();
    EXPECT_TRUE(near(screenPixel(viewer->x() + viewer->w() - 1, viewer->y() + viewer->h() - 1), {255, 0, 0}));
    EXPECT_TRUE(near(screenPixel(viewer->x() + 1, viewer->y() + 1), {255, 0, 0}));

    // Scrolled 1:1, the viewer (and with it the scroll range) takes the new size too.
    itm->scaling = 's';
    itm->vnc->setObjectVisible();
    server->resize(1200, 900);
    EXPECT_TRUE(waitFor([viewer] { return viewer->w() == 1200 && viewer->h() == 900; }, 3))
        << viewer->w() << "x" << viewer->h();
}

TEST_F(ViewerTest, UpdateReachesTheScreenFromTheSocketAlone)
{
    TNTestServer* server = startServer();
    HostItem* itm = showHost(server, 'f');
    const int ox = app->scroller->x();
    const int oy = app->scroller->y();
    EXPECT_TRUE(near(screenPixel(ox + 20, oy + 20), patternAt(20, 20)));

    // Only the toolkit's own waits run, no main loop: the socket itself must wake them.
    server->fill(0, 200, 0);
    bool shown = false;
    for (int i = 0; i < 10 && !shown; i++) {
        Fl::wait(5.0);
        shown = near(screenPixel(ox + 20, oy + 20), {0, 200, 0});
    }
    EXPECT_TRUE(shown);

    // Hidden, its socket is left alone.
    VncObject::hideMainViewer();
    server->fill(0, 0, 200);
    tnTestPump(0.5);
    EXPECT_TRUE(framePixelIs(itm, 20, 20, {0, 200, 0}));
}

} // namespace
