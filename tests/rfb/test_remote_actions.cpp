// The remote-actions window (F8) against a real test server: what each button sends to
// the shown host, that every way of closing destroys the window, and one window at a time.
#include "viewer_fixture.h"

#include <FL/Fl_Button.H>
#include <FL/Fl_Window.H>

#include "dialogs/about.h"
#include "dialogs/remote_actions.h"
#include "viewer/remote_input.h"

namespace {

using KeyList = std::vector<std::pair<uint32_t, bool>>;

const char* const f8Title = "Remote host actions";

// A widget put into the window after it opened: it learns when the window is destroyed
// (a window deletes its children).
struct DeletionProbe : Fl_Box {
    explicit DeletionProbe(bool* deleted) : Fl_Box(0, 0, 0, 0), deleted(deleted) {}
    ~DeletionProbe() override { *deleted = true; }
    bool* deleted;
};

class RemoteActions : public ViewerTest {
protected:
    TNTestServer* server = nullptr;
    HostItem* itm = nullptr;
    bool windowDeleted = false;

    void SetUp() override
    {
        ViewerTest::SetUp();
        server = startServer();
        itm = showHost(server, 'f');
        itm->f12Macro = "macro";
        server->clearRecords();
    }

    // The open remote-actions windows.
    static std::vector<Fl_Window*> f8Windows()
    {
        std::vector<Fl_Window*> found;
        for (Fl_Window* window = Fl::first_window(); window; window = Fl::next_window(window)) {
            if (window->label() && strcmp(window->label(), f8Title) == 0)
                found.push_back(window);
        }
        return found;
    }

    // Opens the window as the released F8 does and plants the deletion probe.
    Fl_Window* open()
    {
        tnRemoteActionsOpener();
        const std::vector<Fl_Window*> windows = f8Windows();
        EXPECT_EQ(windows.size(), 1u);
        if (windows.size() != 1)
            return nullptr;
        windowDeleted = false;
        windows[0]->add(new DeletionProbe(&windowDeleted));
        tnTestPumpUntil([&] { return windows[0]->visible() && !windows[0]->damage(); }, 2.0);
        return windows[0];
    }

    // The window is gone: hidden, destroyed, and no child window counted as open.
    void expectClosed()
    {
        EXPECT_TRUE(waitFor([this] { return windowDeleted; }, 2.0)) << "the window was not destroyed";
        EXPECT_TRUE(f8Windows().empty());
        EXPECT_FALSE(app->childWindowVisible);
        EXPECT_EQ(app->childWindow, nullptr);
        EXPECT_EQ(f8Opts.btnClose, nullptr);
    }

    // What the server has received once nothing more is on its way.
    KeyList settledKeys()
    {
        tnTestPump(0.3);
        return keys(server);
    }
};

TEST_F(RemoteActions, F8OpensOneModalWindowWithTheSevenButtons)
{
    app->resize(0, 0, 1024, 768);
    ASSERT_TRUE(xdotool("key F8"));
    ASSERT_TRUE(waitFor([] { return f8Windows().size() == 1; }, 2.0));
    Fl_Window* window = f8Windows()[0];
    EXPECT_TRUE(window->modal());
    EXPECT_EQ(app->childWindow, window);
    EXPECT_TRUE(app->childWindowVisible);
    // Centred on a 1024 x 768 main window, the main window's own position left out.
    EXPECT_EQ(window->x(), 397);
    EXPECT_EQ(window->y(), 217);
    EXPECT_EQ(window->w(), 230);
    EXPECT_EQ(window->h(), 335);

    struct Expected {
        Fl_Button* button;
        int x, y, w;
        const char* label;
        const char* tooltip;
    };
    const Expected buttons[] = {
        {f8Opts.btnCtrlAltDel, 15, 19, 200, "Send Ctrl+Alt+Del", "Click to send Ctrl+Alt+Delete to the current remote host"},
        {f8Opts.btnCtrlShiftEsc, 15, 57, 200, "Send Ctrl+Shift+Esc",
         "Click to send Ctrl+Shift+Escape to the current remote host"},
        {f8Opts.btnRefresh, 15, 95, 200, "Send refresh request",
         "Click to send a screen refresh request to the current remote host"},
        {f8Opts.btnF8, 15, 133, 200, "Send F8", "Click to press the F8 key on the current remote host"},
        {f8Opts.btnF11, 15, 171, 200, "Send F11", "Click to press the F11 key on the current remote host"},
        {f8Opts.btnF12, 15, 209, 200, "Send F12", "Click to press the F12 key on the current remote host"},
        {f8Opts.btnClose, 120, 290, 100, "Close", "Click to close this window"},
    };
    ASSERT_EQ(window->children(), 7);
    for (int i = 0; i < 7; i++) {
        const Expected& e = buttons[i];
        SCOPED_TRACE(e.label);
        ASSERT_EQ(window->child(i), e.button);
        EXPECT_EQ(e.button->x(), e.x);
        EXPECT_EQ(e.button->y(), e.y);
        EXPECT_EQ(e.button->w(), e.w);
        EXPECT_EQ(e.button->h(), 35);
        EXPECT_STREQ(e.button->label(), e.label);
        EXPECT_STREQ(e.button->tooltip(), e.tooltip);
        EXPECT_EQ(e.button->box(), FL_GTK_UP_BOX);
    }
    EXPECT_EQ(f8Opts.btnClose->shortcut(), FL_Escape);
    EXPECT_EQ(Fl::focus(), f8Opts.btnCtrlAltDel);

    // F8 itself never reaches the host; a second release opens no second window, and no
    // other child window opens meanwhile.
    tnRemoteActionsOpener();
    tnShowAboutHelp();
    EXPECT_EQ(f8Windows().size(), 1u);
    EXPECT_EQ(app->childWindow, window);
    EXPECT_TRUE(settledKeys().empty());
    f8Opts.btnClose->do_callback();

    // Another child window open: F8 opens nothing.
    tnShowAboutHelp();
    ASSERT_TRUE(app->childWindowVisible);
    tnRemoteActionsOpener();
    EXPECT_TRUE(f8Windows().empty());
}

TEST_F(RemoteActions, EveryActionButtonSendsItsActionToTheShownHostAndCloses)
{
    struct Case {
        const char* name;
        Fl_Button* F8Opts::*button;
        KeyList keys;
        int fullUpdates;
    };
    const Case cases[] = {
        {"Ctrl+Alt+Del", &F8Opts::btnCtrlAltDel,
         {{0xFFE3, true}, {0xFFE9, true}, {0xFFFF, true}, {0xFFE3, false}, {0xFFE9, false}, {0xFFFF, false}}, 0},
        {"Ctrl+Shift+Esc", &F8Opts::btnCtrlShiftEsc,
         {{0xFFE3, true}, {0xFFE1, true}, {0xFF1B, true}, {0xFFE3, false}, {0xFFE1, false}, {0xFF1B, false}}, 0},
        {"refresh", &F8Opts::btnRefresh, {}, 1},
        {"F8", &F8Opts::btnF8, {{0xFFC5, true}, {0xFFC5, false}}, 0},
        {"F11", &F8Opts::btnF11, {{0xFFC8, true}, {0xFFC8, false}}, 0},
        {"F12 without the host's macro", &F8Opts::btnF12, {{0xFFC9, true}, {0xFFC9, false}}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fl_Window* window = open();
        ASSERT_NE(window, nullptr);
        tnTestPump(0.2);
        server->clearRecords();
        tnTestClick(window, f8Opts.*c.button);
        expectClosed();
        EXPECT_EQ(settledKeys(), c.keys);
        EXPECT_EQ(server->fullUpdateRequests(), c.fullUpdates);
        EXPECT_FALSE(app->vncViewer->isFullScreen) << "the F11 button sends the key, it does not switch the view";
    }
    // The full request covers the whole remote screen.
    EXPECT_TRUE(waitFor([this] { return framePixelIs(itm, 63, 47, patternAt(63, 47)); }));

    // No host shown: a button closes the window and sends nothing.
    tnHideShownConnection(*app->vncViewer);
    Fl_Window* window = open();
    ASSERT_NE(window, nullptr);
    server->clearRecords();
    tnTestClick(window, f8Opts.btnCtrlAltDel);
    expectClosed();
    EXPECT_TRUE(settledKeys().empty());
}

TEST_F(RemoteActions, CloseEscapeAndTheWindowManagerCloseWithoutSending)
{
    const char* const ways[] = {"Close button", "Escape", "window manager"};
    for (const char* way : ways) {
        SCOPED_TRACE(way);
        Fl_Window* window = open();
        ASSERT_NE(window, nullptr);
        tnTestPump(0.2);
        server->clearRecords();
        if (strcmp(way, "Close button") == 0) {
            tnTestClick(window, f8Opts.btnClose);
        } else if (strcmp(way, "Escape") == 0) {
            tnTestPressKey(window, FL_Escape, "\x1b");
        } else {
            // The close request a window manager sends, through the X server.
            XEvent event{};
            event.xclient.type = ClientMessage;
            event.xclient.window = fl_xid(window);
            event.xclient.message_type = XInternAtom(fl_display, "WM_PROTOCOLS", False);
            event.xclient.format = 32;
            event.xclient.data.l[0] = static_cast<long>(XInternAtom(fl_display, "WM_DELETE_WINDOW", False));
            XSendEvent(fl_display, fl_xid(window), False, NoEventMask, &event);
            XFlush(fl_display);
        }
        expectClosed();
        EXPECT_TRUE(settledKeys().empty());
        EXPECT_EQ(server->fullUpdateRequests(), 0);
        EXPECT_EQ(app->vncViewer->vnc, tnVncOf(itm)) << "the host stays shown";
    }
}

} // namespace
