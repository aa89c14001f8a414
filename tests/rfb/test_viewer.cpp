// The viewer with real connections: what the server sees of pointer and wheel events in
// both layouts, what reaches the screen, and the idle viewer.
#include "viewer_fixture.h"

#include <FL/Fl_Pack.H>

#include "support/rfb_peer.h"
#include "viewer/layout.h"
#include "viewer/x_blit.h"

namespace {

TEST_F(ViewerTest, ScrollLayoutMapsClicksThroughTheScrollOffset)
{
    TNTestServer* server = startServerOfSize(1200, 900);
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
    tnHideShownConnection(*app->vncViewer);
    EXPECT_EQ(scroller->xposition(), 0);
    tnShowConnection(*app->vncViewer, tnVncOf(itm));
    EXPECT_EQ(scroller->xposition(), 100);
    EXPECT_EQ(scroller->yposition(), 50);
}

TEST_F(ViewerTest, ScaledLayoutMapsViewerCornersToRemoteCorners)
{
    TNTestServer* server = startServerOfSize(1920, 1080);
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
    Fl::handle(FL_PUSH, app->viewerWindow);
    tnTestSetMouseState(viewer->x() + viewer->w() + 40, viewer->y() + 5, 1, 0, true);
    Fl::handle(FL_DRAG, app->viewerWindow);
    EXPECT_TRUE(waitForPointer(server, 1919, 11, 1));
    tnTestSetMouseState(viewer->x() + viewer->w() + 40, viewer->y() + 5, 1, 0, false);
    Fl::handle(FL_RELEASE, app->viewerWindow);
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

    // With the option on, the middle button is RFB button 2, pressed and released.
    appOptions.sendMiddleButton = true;
    server->clearRecords();
    click(x, y, 2);
    EXPECT_TRUE(waitForPointer(server, 5, 5, 2));
    EXPECT_TRUE(waitForPointer(server, 5, 5, 0));
    appOptions.sendMiddleButton = false;

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
    showHost(server, 'f');
    tnHideShownConnection(*app->vncViewer);
    EXPECT_EQ(app->vncViewer->vnc, nullptr);
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
        tnShowConnection(*app->vncViewer, tnVncOf(itm));
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
        return tnVncOf(itm)->remoteWidth == 96 && framePixelIs(itm, 95, 23, {255, 0, 0});
    }));
    const VncViewer* viewer = app->vncViewer;
    // Laid out again for the new shape: 827 wide, 827 / 4 high.
    EXPECT_TRUE(waitFor([viewer] { return viewer->w() == 827 && viewer->h() == 206; }, 2))
        << viewer->w() << "x" << viewer->h();
    EXPECT_TRUE(near(screenPixel(viewer->x() + viewer->w() - 1, viewer->y() + viewer->h() - 1), {255, 0, 0}));
    EXPECT_TRUE(near(screenPixel(viewer->x() + 1, viewer->y() + 1), {255, 0, 0}));

    // Scrolled 1:1, the viewer (and with it the scroll range) takes the new size too.
    itm->scaling = 's';
    tnShowConnection(*app->vncViewer, tnVncOf(itm));
    server->resize(1200, 900);
    EXPECT_TRUE(waitFor([viewer] { return viewer->w() == 1200 && viewer->h() == 900; }, 3))
        << viewer->w() << "x" << viewer->h();
}

// Resizes the main window as the window manager does, and lets it lay itself out.
void resizeWindow(int w, int h)
{
    app->resize(0, 0, w, h);
    Fl::check();
}

TEST_F(ViewerTest, PictureFollowsTheWindowWithoutAFullUpdatePerStep)
{
    TNTestServer* server = startServerOfSize(1000, 800);
    HostItem* itm = showHost(server, 'f');
    VncViewer* viewer = app->vncViewer;
    Fl_Scroll* scroller = app->scroller;
    // The remote screen's far corner is on the screen at the viewer's far corner.
    auto farCornerShown = [viewer] {
        return near(screenPixel(viewer->x() + viewer->w() - 1, viewer->y() + viewer->h() - 1), patternAt(999, 799),
                    24);
    };
    // The whole remote screen 1:1 from the area's corner, with no scrollbar left.
    auto wholeAtOrigin = [&] {
        EXPECT_EQ(viewer->w(), 1000);
        EXPECT_EQ(viewer->h(), 800);
        EXPECT_EQ(scroller->xposition(), 0);
        EXPECT_EQ(scroller->yposition(), 0);
        EXPECT_TRUE(near(screenPixel(scroller->x(), scroller->y()), patternAt(0, 0)));
        EXPECT_TRUE(farCornerShown());
        EXPECT_FALSE(scroller->scrollbar.visible());
        EXPECT_FALSE(scroller->hscrollbar.visible());
    };

    // A drag-resize: many steps, each laid out at once, none asking for a full update.
    tnTestPump(0.3);
    const int fullUpdates = server->fullUpdateRequests();
    for (int step = 0; step <= 10; step++) {
        const int w = 1000 - 20 * step, h = 700 - 10 * step;
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        resizeWindow(w, h);
        const TNSize want = tnScaledViewerSize(1000, 800, w - 173, h);
        ASSERT_EQ(viewer->w(), want.w);
        ASSERT_EQ(viewer->h(), want.h);
    }
    tnTestPump(0.3);
    EXPECT_EQ(server->fullUpdateRequests(), fullUpdates);
    // Shrunk to 800 x 600 the whole picture is in the 627-pixel-wide area.
    EXPECT_EQ(viewer->w(), 627);
    EXPECT_LE(viewer->x() + viewer->w(), app->w());
    EXPECT_TRUE(farCornerShown());

    // Grown until the screen fits: drawn 1:1 without scrollbars.
    resizeWindow(1280, 1000);
    wholeAtOrigin();

    // Scrolled 1:1: a kept position stays inside the picture whatever the window does.
    itm->scaling = 's';
    resizeWindow(800, 600);
    scroller->scroll_to(389, 216); // the far corner: both scrollbars take 16 pixels
    Fl::flush();
    EXPECT_TRUE(near(screenPixel(scroller->x() + 610, scroller->y() + 583), patternAt(999, 799), 24));
    resizeWindow(900, 650);
    EXPECT_EQ(scroller->xposition(), 1000 - (727 - 16));
    EXPECT_EQ(scroller->yposition(), 800 - (650 - 16));
    EXPECT_TRUE(farCornerShown());
    resizeWindow(1280, 1000);
    wholeAtOrigin();
    // Shown again later, it comes back where the window left it.
    tnHideShownConnection(*app->vncViewer);
    tnShowConnection(*app->vncViewer, tnVncOf(itm));
    EXPECT_EQ(scroller->xposition(), 0);
    tnTestPump(0.3);
    EXPECT_EQ(server->fullUpdateRequests(), fullUpdates + 1);
}

TEST_F(ViewerTest, FullScreenFillsTheWindowAtEverySizeAndReturnsBesideTheList)
{
    TNTestServer* server = startServerOfSize(1000, 800);
    showHost(server, 'f');
    VncViewer* viewer = app->vncViewer;
    Fl_Scroll* scroller = app->scroller;
    app->setFullScreen(true);
    ASSERT_TRUE(viewer->isFullScreen);
    // At once, before any change of the window's size.
    EXPECT_EQ(app->hostList->w(), 0);
    EXPECT_EQ(app->viewerWindow->x(), 0);
    EXPECT_EQ(scroller->w(), kWinW);
    EXPECT_EQ(scroller->h(), kWinH);
    scroller->scroll_to(200, 200);
    Fl::flush();

    resizeWindow(1100, 750);
    EXPECT_EQ(app->hostList->w(), 0);
    EXPECT_EQ(scroller->x(), 0);
    EXPECT_EQ(scroller->w(), 1100);
    EXPECT_EQ(scroller->h(), 750);
    // Still 1:1; the picture now fits across, and down it scrolls to its bottom row at most.
    EXPECT_EQ(viewer->w(), 1000);
    EXPECT_EQ(scroller->xposition(), 0);
    EXPECT_EQ(scroller->yposition(), 800 - 750);
    EXPECT_EQ(app->buttonPack->y(), 750 - 21);

    resizeWindow(900, 650);
    app->setFullScreen(false);
    EXPECT_EQ(app->hostList->x(), 0);
    EXPECT_EQ(app->hostList->h(), 650 - 220);
    EXPECT_EQ(app->viewerWindow->x(), 173);
    EXPECT_EQ(scroller->w(), 900 - 173);
    EXPECT_EQ(scroller->h(), 650);
    const TNSize scaled = tnScaledViewerSize(1000, 800, 900 - 173, 650);
    EXPECT_EQ(viewer->w(), scaled.w);
    EXPECT_EQ(viewer->h(), scaled.h);
    EXPECT_EQ(viewer->x(), scroller->x());
}

TEST_F(ViewerTest, UpdateReachesTheScreenWithoutTheMainLoop)
{
    TNTestServer* server = startServer();
    HostItem* itm = showHost(server, 'f');
    const int ox = app->scroller->x();
    const int oy = app->scroller->y();
    EXPECT_TRUE(waitFor([&] { return near(screenPixel(ox + 20, oy + 20), patternAt(20, 20)); }));

    // Only the toolkit's own waits run, no main loop: the reader's news must wake them.
    server->fill(0, 200, 0);
    bool shown = false;
    for (int i = 0; i < 10 && !shown; i++) {
        Fl::wait(5.0);
        shown = near(screenPixel(ox + 20, oy + 20), {0, 200, 0});
    }
    EXPECT_TRUE(shown);
    EXPECT_TRUE(framePixelIs(itm, 20, 20, {0, 200, 0}));
}

// A hidden connection keeps only the library's frame buffer; showing it copies that into
// the picture the window draws. This server sends one screen, when the handshake asks for
// it, and nothing after: whatever the window shows comes from the frame buffer, and must
// be that screen exactly (as exactly as the display keeps colours: the suite also runs this
// on a display of 16 bits a pixel, whose pixels are converted), the first time and again
// after the host was hidden.
TEST_F(ViewerTest, HiddenHostKeepsNoPictureAndIsShownExactlyFromItsFrameBuffer)
{
    constexpr int width = 64, height = 48;
    const auto serverPixel = [](int x, int y) { return Rgb{x * 4, y * 5, (x * 7 + y * 3) & 0xFF}; };
    TNBytes update = tnrfb::updateHeader(1).append(tnrfb::rectHeader(0, 0, width, height, tnrfb::encRaw));
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            const Rgb p = serverPixel(x, y);
            tnRawPixel(update, p.r, p.g, p.b);
        }
    }
    TNScriptedPeer peer(TNPeerScript::handshake(width, height).expectMessage(3).send(update.data).hold());
    ASSERT_TRUE(peer.listen());
    HostItem* still = addHost("still", peer.port());
    still->scaling = 'f';
    ASSERT_TRUE(connectAndWait(still));
    VncObject* vnc = tnVncOf(still);
    ASSERT_TRUE(waitFor([vnc] { return vnc->updatesFinished > 0; }));
    // The bytes of pixels the picture has of its own, and whether it has any.
    const auto pictureBytes = [vnc](bool* hasPixels = nullptr) {
        std::lock_guard<std::mutex> hold(vnc->pictureLock);
        if (hasPixels)
            *hasPixels = vnc->picture.hasPixels();
        return vnc->picture.ownBytes();
    };
    bool hasPixels = true;
    EXPECT_EQ(pictureBytes(&hasPixels), 0u) << "a connection never shown has no picture";
    EXPECT_FALSE(hasPixels);

    const int ox = app->scroller->x();
    const int oy = app->scroller->y();
    const int tolerance = screenTolerance();
    const auto wrongPixels = [&] {
        const std::vector<Rgb> shot = screen(ox, oy, width, height);
        int wrong = shot.size() == size_t(width) * height ? 0 : 1;
        for (int y = 0; y < height && !wrong; y++) {
            for (int x = 0; x < width; x++)
                wrong += !near(shot[y * width + x], serverPixel(x, y), tolerance);
        }
        return wrong;
    };
    // Switched to from another host, twice: the second time its picture was let go before.
    HostItem* other = showHost(startServer(), 'f');
    for (int round = 0; round < 2; round++) {
        SCOPED_TRACE(round == 0 ? "never shown before" : "shown and hidden before");
        tnShowConnection(*app->vncViewer, vnc);
        EXPECT_TRUE(waitFor([&] { return wrongPixels() == 0; }, 3)) << wrongPixels() << " pixels differ";
        // Shown, it lives in the image the window puts on the screen, where the display
        // takes that; else in a copy of its own.
        EXPECT_EQ(pictureBytes(&hasPixels), tnBlitUsesSharedMemory() ? 0u : size_t(width) * height * 4);
        EXPECT_TRUE(hasPixels);
        tnShowConnection(*app->vncViewer, tnVncOf(other));
        EXPECT_TRUE(waitFor([&] { return pictureBytes(&hasPixels) == 0 && !hasPixels; }, 3));
    }
    EXPECT_TRUE(tnIsConnected(still));
}

} // namespace
