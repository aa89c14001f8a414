// Shared set-up of the viewer tests: a connection shown in a main window of known size,
// screen read-back, synthetic pointer events, and xdotool for real key strokes.
#pragma once

// First: the X11 headers behind fl_draw.H define None, a name gtest uses.
#include "rfb_fixture.h"

#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Scroll.H>
#include <FL/fl_draw.H>
#include <FL/x.H>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>


struct Rgb {
    int r, g, b;
};

class ViewerTest : public TNConnectionTest {
protected:
    // The main window is 1000 x 700 at 0,0: the viewer area right of the 170-pixel host
    // list is 827 x 700.
    static constexpr int kWinW = 1000;
    static constexpr int kWinH = 700;

    void SetUp() override
    {
        TNConnectionTest::SetUp();
        app->resize(0, 0, kWinW, kWinH);
        app->layOut();
        ASSERT_TRUE(waitFor([] { return app->shown() && !app->damage(); }, 3));
    }

    // Connects a host to `server` with the scaling letter and shows it; waits for its first
    // full frame.
    HostItem* showHost(TNTestServer* server, char scaling)
    {
        HostItem* itm = addHost("viewed", server->port());
        itm->scaling = scaling;
        // Otherwise the server paints its pointer into the frame at the pointer position.
        itm->showRemoteCursor = true;
        EXPECT_TRUE(connectAndWait(itm));
        // The picture is black until the connection is shown and asks for a full update:
        // the wait below sees this server's frame.
        tnHideShownConnection(*app->vncViewer);
        tnShowConnection(*app->vncViewer, tnVncOf(itm));
        EXPECT_EQ(app->vncViewer->vnc, tnVncOf(itm));
        const int lastX = tnVncOf(itm)->remoteWidth - 1, lastY = tnVncOf(itm)->remoteHeight - 1;
        EXPECT_TRUE(waitFor([=] {
            return framePixelIs(itm, 1, 0, patternAt(1, 0)) && framePixelIs(itm, 10, 10, patternAt(10, 10)) &&
                   framePixelIs(itm, lastX, lastY, patternAt(lastX, lastY));
        })) << "no frame from the server: " << describePixel(itm, 10, 10) << " req " << server->updateRequests()
            << " full " << server->fullUpdateRequests();
        // The reader has filled the picture; the window draws it once it has the news.
        waitFor([itm] { return tnVncOf(itm)->pendingMessages == 0; });
        Fl::flush();
        return itm;
    }

    static Rgb patternAt(int x, int y)
    {
        uint8_t rgb[3];
        TNTestServer::patternPixel(x, y, rgb);
        return {rgb[0], rgb[1], rgb[2]};
    }

    // Tight with JPEG (quality 5) and bilinear scaling change colours by a few units.
    static bool near(const Rgb& a, const Rgb& b, int tolerance = 16)
    {
        return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
               std::abs(a.b - b.b) <= tolerance;
    }

    static bool framePixelIs(HostItem* itm, int x, int y, const Rgb& want)
    {
        uint8_t p[3];
        return tnPicturePixel(itm, x, y, p) && near({p[0], p[1], p[2]}, want);
    }

    static std::string describePixel(HostItem* itm, int x, int y)
    {
        uint8_t p[3];
        int width = 0, height = 0;
        if (!tnPicturePixel(itm, x, y, p, &width, &height))
            return "no picture";
        return std::to_string(width) + "x" + std::to_string(height) + " " + std::to_string(p[0]) + " " +
               std::to_string(p[1]) + " " + std::to_string(p[2]);
    }

    // How far a colour read back from the screen may be from the one drawn: what the
    // display loses of 8 bits a colour, twice, as the toolkit carries each pixel's rounding
    // error into the next (nothing at 24 bits a pixel).
    static int screenTolerance()
    {
        const Visual* visual = fl_visual ? fl_visual->visual : DefaultVisual(fl_display, fl_screen);
        int bits = 8;
        for (unsigned long mask : {visual->red_mask, visual->green_mask, visual->blue_mask})
            bits = std::min(bits, __builtin_popcountl(mask));
        return bits >= 8 ? 0 : 2 << (8 - bits);
    }

    // Pixels of the viewer's window as the X server has them, after all pending drawing.
    static std::vector<Rgb> screen(int x, int y, int w, int h)
    {
        Fl::flush();
        XSync(fl_display, False);
        app->viewerWindow->make_current();
        uchar* data = fl_read_image(nullptr, x, y, w, h);
        std::vector<Rgb> pixels;
        if (!data)
            return pixels;
        for (int i = 0; i < w * h; i++)
            pixels.push_back({data[i * 3], data[i * 3 + 1], data[i * 3 + 2]});
        delete[] data;
        return pixels;
    }

    static Rgb screenPixel(int x, int y) { return screen(x, y, 1, 1).at(0); }

    // Synthetic pointer events through the toolkit's dispatch, at coordinates of the
    // viewer's window (which the X server sends them to).
    static void move(int x, int y)
    {
        tnTestSetMouseState(x, y, 1, 0, false);
        Fl::handle(FL_MOVE, app->viewerWindow);
    }
    static void click(int x, int y, int button)
    {
        tnTestSetMouseState(x, y, button, 0, true);
        Fl::handle(FL_PUSH, app->viewerWindow);
        tnTestSetMouseState(x, y, button, 0, false);
        Fl::handle(FL_RELEASE, app->viewerWindow);
    }
    static void wheel(int x, int y, int dy)
    {
        tnTestSetMouseState(x, y, 1, 0, false);
        Fl::e_dx = 0;
        Fl::e_dy = dy;
        Fl::handle(FL_MOUSEWHEEL, app->viewerWindow);
    }

    bool waitForPointer(TNTestServer* server, int x, int y, int mask)
    {
        return waitFor([=] {
            for (const TNPointerEvent& e : server->pointerEvents()) {
                if (e.x == x && e.y == y && e.mask == mask)
                    return true;
            }
            return false;
        });
    }

    static std::vector<int> masks(TNTestServer* server)
    {
        std::vector<int> seen;
        for (const TNPointerEvent& e : server->pointerEvents())
            seen.push_back(e.mask);
        return seen;
    }

    // Runs a shell command (xdotool, xclip) while the toolkit keeps handling events, so
    // that what it sends is delivered; bounded by `seconds`, after which it is killed.
    static bool runWhilePumping(const std::string& command, double seconds = 5.0)
    {
        const pid_t pid = fork();
        if (pid == 0) {
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        if (pid < 0)
            return false;
        int status = 0;
        bool ended = tnTestPumpUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, seconds);
        if (!ended) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
        }
        return ended && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    // Puts the X pointer onto the viewer (which then takes the keyboard focus unless a text
    // field has it) and types with xdotool: real key events with the X server's own text
    // and timing.
    static bool xdotool(const std::string& arguments)
    {
        const unsigned long window = fl_xid(app->viewerWindow);
        const int x = app->vncViewer->x() + 10;
        const int y = app->vncViewer->y() + 10;
        // Two moves, so that the pointer really moves even if it was left at one of them.
        const std::string move = "mousemove --window " + std::to_string(window) + " ";
        if (!runWhilePumping("xdotool " + move + std::to_string(x) + " " + std::to_string(y) + " " + move +
                             std::to_string(x + 2) + " " + std::to_string(y + 2)))
            return false;
        // The toolkit passes pointer motion on after the other X events read with it, so
        // keys read in the same batch could come before the viewer has taken the focus.
        tnTestPumpUntil([] { return Fl::focus() == app->vncViewer; }, 0.5);
        return runWhilePumping("xdotool " + arguments);
    }

    static std::vector<std::pair<uint32_t, bool>> keys(TNTestServer* server)
    {
        std::vector<std::pair<uint32_t, bool>> seen;
        for (const TNKeyEvent& e : server->keyEvents())
            seen.emplace_back(e.keysym, e.down);
        return seen;
    }
};
