// Small updates are drawn one changed rectangle at a time, and leave nothing stale: after
// a series of them, in each layout, the window shows exactly what drawing the client's
// whole picture from scratch (by the same scaler) shows, and nothing else was redrawn.
#include "viewer_fixture.h"

#include <random>

#include "connection/scaling.h"
#include "viewer/layout.h"

namespace {

struct DamageCase {
    const char* name;
    char scaling;
    bool fast;
    int windowW = 0, windowH = 0;   // the main window is resized to this first (0: not)
    int desktopW = 0, desktopH = 0; // the server's desktop changes to this size first (0: not)
    int serverW = 640, serverH = 400;
    // The view scrolls between an update's news and its drawing (1:1 only).
    bool scrollBetween = false;
};

void PrintTo(const DamageCase& c, std::ostream* os)
{
    *os << c.name;
}

class ViewerDamage : public ViewerTest, public ::testing::WithParamInterface<DamageCase> {
protected:
    // The client's picture, as the viewer draws it, in bytes red, green, blue, pad.
    static std::vector<uint8_t> pictureOf(HostItem* itm, int* w, int* h)
    {
        std::lock_guard<std::mutex> hold(tnVncOf(itm)->pictureLock);
        const TNPicture& picture = tnVncOf(itm)->picture;
        *w = picture.width;
        *h = picture.height;
        std::vector<uint8_t> rgb(picture.hasPixels() ? picture.bytes() : 0);
        if (!rgb.empty())
            tnCopyToRgbBytes(tnPixelLayout(), rgb.data(), picture.data(), picture.width * picture.height);
        return rgb;
    }

    // Paints a mark into the viewer's window behind the toolkit's back: only a full redraw
    // of the viewer would paint over it.
    static void paintMark(int x, int y, int size)
    {
        app->viewerWindow->make_current();
        fl_color(255, 0, 255);
        fl_rectf(x, y, size, size);
        XSync(fl_display, False);
    }
};

TEST_P(ViewerDamage, SmallUpdatesLeaveNoStalePixels)
{
    const DamageCase c = GetParam();
    TNTestServer* server = startServerOfSize(c.serverW, c.serverH);
    HostItem* itm = showHost(server, c.scaling);
    VncViewer* viewer = app->vncViewer;
    itm->scalingFast = c.fast;
    if (c.windowW > 0) {
        app->resize(0, 0, c.windowW, c.windowH);
        Fl::check();
    }
    if (c.desktopW > 0) {
        server->resize(c.desktopW, c.desktopH);
        const int lastX = c.desktopW - 1, lastY = c.desktopH - 1;
        ASSERT_TRUE(waitFor([&] {
            return tnVncOf(itm)->remoteWidth == c.desktopW && framePixelIs(itm, lastX, lastY, patternAt(lastX, lastY));
        }));
    }
    // Laid out for the case (the options window does this after a change of scaling).
    const int fullRequests = server->fullUpdateRequests();
    const int requests = server->updateRequests();
    tnShowConnection(*app->vncViewer, tnVncOf(itm));
    const int remoteW = tnVncOf(itm)->remoteWidth, remoteH = tnVncOf(itm)->remoteHeight;
    const TNSize expected = c.scaling == 's' ? TNSize{remoteW, remoteH}
                                             : tnScaledViewerSize(remoteW, remoteH, app->scroller->w(), app->scroller->h());
    ASSERT_TRUE(waitFor([&] { return viewer->w() == expected.w && viewer->h() == expected.h; }, 3))
        << viewer->w() << "x" << viewer->h();
    // Showing asks for a whole picture, which is drawn whole: it must be in before the mark
    // is painted. The library asks for the next update once it has taken one, so a request
    // beside the full one means the whole picture has arrived (slow under the sanitizers).
    ASSERT_TRUE(waitFor([&] {
        return server->fullUpdateRequests() > fullRequests && server->updateRequests() >= requests + 2;
    }));
    waitFor([itm] { return tnVncOf(itm)->pendingMessages == 0; });
    // A resized server may send its whole screen twice (the library's own full request and
    // the region it marked): quiet means no update asked for in 0.3 s, each taken update
    // being followed by the library's next request.
    for (int quiet = 0, seen = server->updateRequests(); quiet < 20; quiet++) {
        tnTestPump(0.3);
        if (server->updateRequests() == seen)
            break;
        seen = server->updateRequests();
    }
    screen(0, 0, 1, 1); // everything pending drawn
    Fl_Scroll* scroller = app->scroller;
    if (c.scrollBetween)
        scroller->scroll_to(100, 100);
    else
        paintMark(viewer->x(), viewer->y(), 3);

    // Small rectangles of odd sizes, many at the picture's edges, some overlapping; none in
    // the top-left corner, where the mark is.
    std::mt19937 rng(12345);
    int lastX = 0, lastY = 0;
    for (int i = 0; i < 40; i++) {
        const int w = 1 + static_cast<int>(rng() % 37), h = 1 + static_cast<int>(rng() % 29);
        int x = static_cast<int>(rng() % static_cast<unsigned>(remoteW - w + 1));
        int y = static_cast<int>(rng() % static_cast<unsigned>(remoteH - h + 1));
        if (i % 5 == 1)
            x = remoteW - w;
        if (i % 7 == 2)
            y = remoteH - h;
        if (i % 9 == 3)
            x = 0;
        if (x < 24 && y < 24)
            y = 24;
        if (c.scrollBetween) {
            // Inside the view, which moves a little with each update.
            x = scroller->xposition() + 30 + static_cast<int>(rng() % 400);
            y = scroller->yposition() + 30 + static_cast<int>(rng() % 300);
        }
        const bool last = i == 39;
        const Rgb colour = last ? Rgb{255, 0, 255} : Rgb{i * 37 & 255, i * 91 & 255, 200 - i * 3};
        server->fillRect(x, y, w, h, colour.r, colour.g, colour.b);
        lastX = x;
        lastY = y;
        if (c.scrollBetween) {
            // The news is handled (the change marked for drawing), then the view scrolls
            // before anything is drawn.
            for (int wait = 0; wait < 400 && !framePixelIs(itm, x, y, colour); wait++)
                usleep(5000);
            tnHandleReaderMessages();
            scroller->scroll_to(scroller->xposition() + (i % 2 ? 13 : -9), scroller->yposition() + (i % 3 ? 7 : -11));
            Fl::flush();
        }
        // One update at a time, each drawn on its own.
        tnTestPump(0.01);
    }
    ASSERT_TRUE(waitFor([&] { return framePixelIs(itm, lastX, lastY, {255, 0, 255}); }));
    waitFor([itm] { return tnVncOf(itm)->pendingMessages == 0; });
    tnTestPump(0.2);

    int pictureW = 0, pictureH = 0;
    const std::vector<uint8_t> picture = pictureOf(itm, &pictureW, &pictureH);
    ASSERT_EQ(pictureW, remoteW);
    // The visible part of the viewer, and where the picture's top-left pixel is.
    int areaX = viewer->x(), areaY = viewer->y(), w = viewer->w(), h = viewer->h();
    int pictureX = 0, pictureY = 0;
    std::vector<uint8_t> fromScratch;
    if (c.scaling == 's') {
        areaX = scroller->x();
        areaY = scroller->y();
        w = scroller->w() - (scroller->scrollbar.visible() ? scroller->scrollbar.w() : 0);
        h = scroller->h() - (scroller->hscrollbar.visible() ? scroller->hscrollbar.h() : 0);
        w = std::min(w, pictureW - scroller->xposition());
        h = std::min(h, pictureH - scroller->yposition());
        pictureX = scroller->xposition();
        pictureY = scroller->yposition();
        fromScratch = picture;
    } else {
        fromScratch.assign(static_cast<size_t>(w) * h * 4, 0);
        tnScaleRect({pictureW, pictureH, picture.data()}, fromScratch.data(), w, h, {0, 0, w, h}, c.fast);
    }
    const std::vector<Rgb> shot = screen(areaX, areaY, w, h);
    ASSERT_EQ(shot.size(), size_t(w) * h);
    int wrong = 0, markLost = 0;
    std::string first;
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            if (x < 3 && y < 3 && !c.scrollBetween) {
                markLost += !near(shot[y * w + x], {255, 0, 255}, 0);
                continue;
            }
            const int stride = c.scaling == 's' ? pictureW : w;
            const uint8_t* want =
                fromScratch.data() + (static_cast<size_t>(y + pictureY) * stride + x + pictureX) * 4;
            const Rgb& seen = shot[y * w + x];
            if (seen.r != want[0] || seen.g != want[1] || seen.b != want[2]) {
                if (wrong++ == 0)
                    first = std::to_string(x) + "," + std::to_string(y) + ": " + std::to_string(seen.r) + " " +
                            std::to_string(seen.g) + " " + std::to_string(seen.b) + " want " +
                            std::to_string(want[0]) + " " + std::to_string(want[1]) + " " + std::to_string(want[2]);
            }
        }
    }
    EXPECT_EQ(wrong, 0) << "stale pixels, the first at " << first;
    // Still the mark: the updates redrew only what they changed.
    EXPECT_EQ(markLost, 0) << "the viewer was redrawn whole";
}

// An update of more rectangles than are kept apart (64; the rest go in as their bounding
// box): every one of them reaches the picture and the screen.
TEST_F(ViewerTest, UpdateOfManyRectanglesReachesThePictureAndTheScreenWhole)
{
    TNTestServer* server = startServerOfSize(640, 400);
    HostItem* itm = showHost(server, 's');
    // The whole picture in first, and the client waiting for the next update (a request
    // beside the full one): squares sent within the whole picture may come lossy (JPEG).
    const int fullRequests = server->fullUpdateRequests();
    const int requests = server->updateRequests();
    tnShowConnection(*app->vncViewer, tnVncOf(itm));
    ASSERT_TRUE(waitFor([&] {
        return server->fullUpdateRequests() > fullRequests && server->updateRequests() >= requests + 2;
    }));
    // 100 separate 2 x 2 squares, filled at once: one update, which carries them top to
    // bottom. The first and the 65th are at the left, the 63 between them at the right.
    std::vector<TNTestFill> squares;
    for (int i = 0; i < 100; i++) {
        const int x = i == 0 ? 0 : i < 64 ? 600 : 10 + (i - 64) * 6;
        squares.push_back({x, i * 4, 2, 2, 255, 0, 255});
    }
    server->fillRects(squares);
    // A server that takes the squares together with pattern around them (its update
    // regions merge when it is slow to send) sends them through JPEG, which smears a 2 x 2
    // square's magenta (seen: 149 75 174); the pattern's blue is always 128, far from any.
    const auto magentaish = [](const Rgb& c) { return c.r >= 120 && c.g <= 110 && c.b >= 160; };
    const auto inPicture = [&](int x, int y) {
        uint8_t p[3];
        return tnPicturePixel(itm, x, y, p) && magentaish({p[0], p[1], p[2]});
    };
    const TNTestFill& last = squares.back();
    ASSERT_TRUE(waitFor([&] { return inPicture(last.x + 1, last.y + 1); }))
        << describePixel(itm, last.x + 1, last.y + 1);
    waitFor([itm] { return tnVncOf(itm)->pendingMessages == 0; });
    tnTestPump(0.2);
    const std::vector<Rgb> shot = screen(app->scroller->x(), app->scroller->y(), 640, 400);
    ASSERT_EQ(shot.size(), 640u * 400u);
    std::string missing, notShown;
    for (const TNTestFill& square : squares) {
        const int x = square.x + 1, y = square.y + 1;
        const std::string at = " " + std::to_string(x) + "," + std::to_string(y);
        if (!inPicture(x, y))
            missing += at;
        if (!magentaish(shot[static_cast<size_t>(y) * 640 + x]))
            notShown += at;
    }
    EXPECT_EQ(missing, "") << "squares not in the picture";
    EXPECT_EQ(notShown, "") << "squares not on the screen";
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, ViewerDamage,
    ::testing::Values(DamageCase{"OneToOne", 's', false}, DamageCase{"ScaledFast", 'z', true},
                      DamageCase{"ScaledSmooth", 'z', false},
                      DamageCase{"ScaledAfterViewerResize", 'z', false, 900, 560},
                      DamageCase{"ScaledAfterDesktopResize", 'z', true, 0, 0, 1200, 900},
                      DamageCase{"OneToOneScrolledBetween", 's', false, 0, 0, 0, 0, 1200, 900, true}),
    [](const ::testing::TestParamInfo<DamageCase>& info) { return std::string(info.param.name); });

} // namespace
