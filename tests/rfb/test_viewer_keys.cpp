// Keys typed into the viewer (real X key events through xdotool), the keys the program
// keeps for itself, the full-screen switch, and the clipboard in both directions.
#include "viewer_fixture.h"

#include "gui/inputs.h"
#include "gui/quick_info.h"
#include "support/rfb_peer.h"
#include "viewer/cut_text.h"
#include "viewer/x_clipboard.h"

#include <FL/Fl_Window.H>

#include <algorithm>
#include <cstdio>

namespace {

using KeyList = std::vector<std::pair<uint32_t, bool>>;

class ViewerKeys : public ViewerTest {
protected:
    TNTestServer* server = nullptr;
    HostItem* itm = nullptr;

    void SetUp() override
    {
        ViewerTest::SetUp();
        server = startServer();
        itm = showHost(server, 'f');
        server->clearRecords();
    }

    // Waits until the server has `count` key events and returns them (with any extra
    // that came right behind).
    KeyList keysAfter(size_t count)
    {
        waitFor([this, count] { return server->keyEvents().size() >= count; }, 3.0);
        tnTestPump(0.1);
        return keys(server);
    }
    // The key events once nothing more is on its way.
    KeyList settledKeys()
    {
        tnTestPump(0.3);
        return keys(server);
    }
};

TEST_F(ViewerKeys, ReleaseSendsTheSymbolOfItsPress)
{
    // X gives a release the text of the latest press: a's release carries "b".
    ASSERT_TRUE(xdotool("keydown a keydown b keyup a keyup b"));
    EXPECT_EQ(keysAfter(4), (KeyList{{0x61, true}, {0x62, true}, {0x61, false}, {0x62, false}}));

    // Shift+a is "A" both ways.
    server->clearRecords();
    ASSERT_TRUE(xdotool("keydown shift keydown a keyup a keyup shift"));
    EXPECT_EQ(keysAfter(4), (KeyList{{0xFFE1, true}, {0x41, true}, {0x41, false}, {0xFFE1, false}}));

    // Ctrl+c sends the key code; xdotool lets Ctrl up first, and c's release (text 0x03,
    // no Ctrl) still sends 0x63.
    server->clearRecords();
    ASSERT_TRUE(xdotool("key ctrl+c"));
    const KeyList ctrlC = keysAfter(4);
    ASSERT_EQ(ctrlC.size(), 4u);
    EXPECT_EQ(ctrlC[0], (std::pair<uint32_t, bool>{0xFFE3, true}));
    EXPECT_EQ(ctrlC[1], (std::pair<uint32_t, bool>{0x63, true}));
    EXPECT_NE(std::find(ctrlC.begin(), ctrlC.end(), std::pair<uint32_t, bool>{0x63, false}), ctrlC.end());
    EXPECT_NE(std::find(ctrlC.begin(), ctrlC.end(), std::pair<uint32_t, bool>{0xFFE3, false}), ctrlC.end());

    // A key ends a scan.
    app->isScanning = true;
    ASSERT_TRUE(xdotool("key Return"));
    EXPECT_FALSE(app->isScanning);
}

TEST_F(ViewerKeys, LosingTheFocusReleasesHeldKeys)
{
    ASSERT_TRUE(xdotool("keydown x"));
    EXPECT_EQ(keysAfter(1), (KeyList{{0x78, true}}));
    Fl::focus(nullptr); // the viewer loses the keyboard focus with x still down
    EXPECT_EQ(keysAfter(2), (KeyList{{0x78, true}, {0x78, false}}));
    // The real release later finds nothing held and sends nothing more.
    ASSERT_TRUE(xdotool("keyup x"));
    EXPECT_EQ(settledKeys().size(), 2u);
}

TEST_F(ViewerKeys, PointerEnteringTakesTheFocusUnlessATextFieldHasIt)
{
    // Someone typing a quick note keeps typing into the note when the pointer crosses
    // the viewer; the text must not go to the host.
    app->quickNotePack->show();
    Fl::focus(app->quickNoteInput);
    app->vncViewer->handle(FL_ENTER);
    EXPECT_EQ(Fl::focus(), app->quickNoteInput);
    tnHideQuickNoteEditWidgets();

    Fl::focus(app->hostList);
    app->vncViewer->handle(FL_ENTER);
    EXPECT_EQ(Fl::focus(), app->vncViewer);
}

TEST_F(ViewerKeys, KeysTypedIntoTheQuickNoteNeverReachTheHost)
{
    // The pointer rests over the viewer (where the toolkit offers unused keys first) while
    // a note is typed with Shift, Ctrl, Alt, Tab and Escape among the keys.
    ASSERT_TRUE(xdotool("sleep 0.1"));
    tnSelectHostLine(lineOf(itm));
    tnTestClick(app, app->quickNoteBox);
    ASSERT_TRUE(app->quickNotePack->visible());
    ASSERT_EQ(Fl::focus(), app->quickNoteInput);
    ASSERT_TRUE(xdotool("type --delay 20 'Hello Admin'"));
    ASSERT_TRUE(xdotool("key Tab ctrl+b alt+x super"));
    EXPECT_EQ(Fl::focus(), app->quickNoteInput);
    ASSERT_TRUE(xdotool("key Escape"));
    EXPECT_TRUE(settledKeys().empty());
    EXPECT_FALSE(app->quickNotePack->visible()) << "Escape closes the editor";

    // Again, stored with Enter this time: the note is in the host record and the file.
    tnTestClick(app, app->quickNoteBox);
    ASSERT_EQ(Fl::focus(), app->quickNoteInput);
    ASSERT_TRUE(xdotool("type --delay 20 'Hello Admin'"));
    ASSERT_TRUE(xdotool("key Return"));
    EXPECT_TRUE(settledKeys().empty());
    EXPECT_FALSE(app->quickNotePack->visible());
    EXPECT_EQ(itm->quickNote, "Hello Admin");
    EXPECT_NE(tnTestReadFile(appOptions.configPathAndFile).find("quicknote=SGVsbG8gQWRtaW4="), std::string::npos)
        << tnTestReadFile(appOptions.configPathAndFile);

    // A click into the viewer gives it the keyboard, and keys go to the host again.
    click(app->vncViewer->x() + 5, app->vncViewer->y() + 5, 1);
    ASSERT_EQ(Fl::focus(), app->vncViewer);
    server->clearRecords();
    ASSERT_TRUE(xdotool("key q"));
    EXPECT_EQ(keysAfter(2), (KeyList{{'q', true}, {'q', false}}));
}

TEST_F(ViewerKeys, KeysTypedIntoADialogFieldNeverReachTheHost)
{
    // A dialog's password field has the keyboard while the pointer moves over the viewer.
    Fl_Group* previous = Fl_Group::current();
    Fl_Group::current(nullptr);
    Fl_Window dialog(300, 400, 200, 60, "Dialog");
    TNSecretInput field(10, 10, 180, 25);
    TNInput other(10, 35, 180, 25);
    dialog.end();
    Fl_Group::current(previous);
    dialog.show();
    ASSERT_TRUE(waitFor([&dialog] { return dialog.visible() && !dialog.damage(); }, 3));
    Fl::focus(&field);
    ASSERT_TRUE(xdotool("type --delay 20 'Pass Word1'"));
    ASSERT_TRUE(xdotool("key shift+Tab ctrl+a alt+x"));
    EXPECT_TRUE(settledKeys().empty());
    EXPECT_STREQ(field.value(), "Pass Word1");
    EXPECT_TRUE(Fl::focus() == &field || Fl::focus() == &other);
    dialog.hide();
}

TEST_F(ViewerKeys, CharactersTypedThroughASpareKeyCodeAreReleased)
{
    // xdotool types characters missing from the layout by binding them to a spare key code
    // and undoing that before the release is read. Each press must be read before the
    // next character rebinds the key code: a generous delay keeps a loaded machine in time.
    ASSERT_TRUE(xdotool("type --delay 200 'üЖ€'"));
    const KeyList sent = settledKeys();
    const KeyList expected{{0xFC, true},       {0xFC, false},       {0x1000416, true},
                           {0x1000416, false}, {0x10020AC, true},   {0x10020AC, false}};
    EXPECT_EQ(sent, expected);
}

TEST_F(ViewerKeys, ShiftedKeysOfAnotherLayoutSendTheirCharacter)
{
    ASSERT_TRUE(runWhilePumping("setxkbmap ru"));
    const bool typed = xdotool("keydown shift key Cyrillic_zhe keyup shift key Cyrillic_zhe");
    runWhilePumping("setxkbmap us");
    ASSERT_TRUE(typed);
    const KeyList sent = settledKeys();
    // Ж (the capital, U+0416) with Shift, ж (U+0436) without; each released.
    const KeyList expected{{0xFFE1, true},     {0x1000416, true}, {0x1000416, false},
                           {0xFFE1, false},    {0x1000436, true}, {0x1000436, false}};
    EXPECT_EQ(sent, expected);
}

TEST_F(ViewerKeys, F12SendsTheMacroOrItselfAndF8SendsNothing)
{
    struct Case {
        const char* name;
        std::string macro;
        KeyList expected;
    };
    auto strokes = [](std::initializer_list<uint32_t> symbols) {
        KeyList list;
        for (uint32_t s : symbols) {
            list.emplace_back(s, true);
            list.emplace_back(s, false);
        }
        return list;
    };
    const Case cases[] = {
        {"no macro", "", strokes({0xFFC9})},
        {"line feed skipped", "ls -l\n", strokes({'l', 's', ' ', '-', 'l'})},
        {"capital without Shift", "Abc", strokes({0x41, 0x62, 0x63})},
        {"stops at NUL", std::string("ab\0cd", 5), strokes({'a', 'b'})},
    };
    // F12 is held while the test looks for keys that should not be there: on a slow run the
    // server's auto-repeat would release and press it again meanwhile.
    ASSERT_EQ(system("xset r off"), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        itm->f12Macro = c.macro;
        server->clearRecords();
        // Pressed: nothing yet; the whole stroke goes out with the release.
        ASSERT_TRUE(xdotool("keydown F12"));
        EXPECT_TRUE(settledKeys().empty());
        ASSERT_TRUE(xdotool("keyup F12"));
        EXPECT_EQ(keysAfter(c.expected.size()), c.expected);
    }
    server->clearRecords();
    ASSERT_TRUE(xdotool("key F8"));
    EXPECT_TRUE(settledKeys().empty());
}

TEST_F(ViewerKeys, F11TogglesAnUnscaledFullWindowView)
{
    // A remote screen larger than the area: 'f' scales it beside the host list.
    TNTestServer* big = startServerOfSize(1200, 900);
    HostItem* bigItm = showHost(big, 'f');
    VncViewer* viewer = app->vncViewer;
    ASSERT_EQ(viewer->vnc, tnVncOf(bigItm));
    EXPECT_EQ(viewer->w(), 827);
    EXPECT_EQ(viewer->h(), 620);
    const int listWidth = app->hostList->w();

    ASSERT_TRUE(xdotool("key F11"));
    ASSERT_TRUE(waitFor([viewer] { return viewer->isFullScreen; }, 2));
    EXPECT_EQ(app->hostList->x(), -3);
    EXPECT_EQ(app->hostList->w(), 0);
    EXPECT_EQ(app->scroller->x(), 0);
    EXPECT_EQ(app->scroller->y(), 0);
    EXPECT_EQ(app->scroller->w(), kWinW);
    EXPECT_EQ(app->scroller->h(), kWinH);
    // Unscaled and scrollable now; the screen shows remote pixels 1:1 from the window's corner.
    EXPECT_EQ(viewer->w(), 1200);
    EXPECT_EQ(viewer->h(), 900);
    EXPECT_EQ(app->scroller->type(), Fl_Scroll::BOTH);
    viewer->redraw();
    EXPECT_TRUE(near(screenPixel(40, 30), patternAt(40, 30)));
    // Scrolled before leaving full screen (a little: the key helper points into the viewer).
    app->scroller->scroll_to(8, 5);
    viewer->redraw();
    Fl::flush();

    ASSERT_TRUE(xdotool("key F11"));
    ASSERT_TRUE(waitFor([viewer] { return !viewer->isFullScreen; }, 2));
    EXPECT_EQ(app->hostList->x(), 0);
    EXPECT_EQ(app->hostList->w(), listWidth);
    EXPECT_EQ(app->viewerWindow->x(), listWidth + 3);
    EXPECT_EQ(viewer->w(), 827);
    EXPECT_EQ(viewer->h(), 620);
    // The scaled picture is not pushed out of sight by that scroll offset.
    EXPECT_EQ(app->scroller->xposition(), 0);
    EXPECT_EQ(viewer->x(), app->scroller->x());
    EXPECT_EQ(viewer->y(), app->scroller->y());
    // Full screen again comes back where it was left.
    ASSERT_TRUE(xdotool("key F11"));
    ASSERT_TRUE(waitFor([viewer] { return viewer->isFullScreen; }, 2));
    EXPECT_EQ(app->scroller->xposition(), 8);
    EXPECT_EQ(app->scroller->yposition(), 5);
    ASSERT_TRUE(xdotool("key F11"));
    ASSERT_TRUE(waitFor([viewer] { return !viewer->isFullScreen; }, 2));
    // The key itself never reaches the host.
    tnTestPump(0.2);
    EXPECT_TRUE(big->keyEvents().empty());
}

// Start-up registers tnHandleLocalClipboard as the clipboard notifier.
class ViewerClipboard : public ViewerKeys {
protected:
    // Another X client takes the clipboard with `text` (any bytes, any size) and serves
    // `pastes` pastes of it.
    void copyElsewhere(const std::string& text, int pastes = 1)
    {
        const std::string path = appOptions.configPath + "clipboard-" + std::to_string(copies++);
        FILE* file = fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        ASSERT_EQ(fwrite(text.data(), 1, text.size(), file), text.size());
        fclose(file);
        const std::string command = "timeout 10 xclip -quiet -selection clipboard -l " + std::to_string(pastes) + " < '" +
                                    path + "' >/dev/null 2>&1 &";
        ASSERT_EQ(system(command.c_str()), 0);
    }
    int copies = 0;

    bool serverGotCutText(const std::string& text, double seconds)
    {
        return waitFor(
            [this, text] {
                for (const std::string& t : server->cutTexts()) {
                    if (t == text)
                        return true;
                }
                return false;
            },
            seconds);
    }
};

TEST_F(ViewerClipboard, LocalCopyReachesOnlyTheShownHost)
{
    copyElsewhere("local text");
    EXPECT_TRUE(serverGotCutText("local text", 5));

    // Copied while nothing is shown: not sent, not even when the host is shown later.
    tnHideShownConnection(*app->vncViewer);
    server->clearRecords();
    copyElsewhere("while hidden");
    tnTestPump(0.5);
    tnShowConnection(*app->vncViewer, tnVncOf(itm));
    tnTestPump(0.5);
    EXPECT_TRUE(server->cutTexts().empty());
}

TEST_F(ViewerClipboard, ClickingIntoTheViewerSendsAClipboardTheHostLacks)
{
    const int x = app->vncViewer->x() + 5;
    const int y = app->vncViewer->y() + 5;
    // Copied while no host is shown; showing the host (selection, scan) sends nothing.
    tnHideShownConnection(*app->vncViewer);
    copyElsewhere("copied before", 2);
    tnTestPump(0.5);
    tnShowConnection(*app->vncViewer, tnVncOf(itm));
    tnTestPump(0.5);
    EXPECT_TRUE(server->cutTexts().empty());

    // The user clicks into the viewer: the host gets it, once.
    click(x, y, 1);
    EXPECT_TRUE(serverGotCutText("copied before", 5));
    click(x, y, 1);
    tnTestPump(0.5);
    EXPECT_EQ(server->cutTexts().size(), 1u);

    // Text that came from the host is not sent back by a click.
    server->clearRecords();
    server->sendCutText("from the host");
    ASSERT_TRUE(waitFor([] { return tnTestReadClipboard() == "from the host"; }, 3));
    click(x, y, 1);
    tnTestPump(0.5);
    EXPECT_TRUE(server->cutTexts().empty());

    // Another host shown before the clipboard's text arrives does not get it either.
    TNTestServer* other = startServer();
    HostItem* otherItm = addHost("other", other->port());
    ASSERT_TRUE(connectAndWait(otherItm));
    tnHideShownConnection(*app->vncViewer);
    copyElsewhere("asked for the first");
    tnTestPump(0.5);
    tnShowConnection(*app->vncViewer, tnVncOf(itm));
    click(x, y, 1);
    tnHideShownConnection(*app->vncViewer);
    tnShowConnection(*app->vncViewer, tnVncOf(otherItm));
    tnTestPump(1.0);
    EXPECT_TRUE(server->cutTexts().empty());
    EXPECT_TRUE(other->cutTexts().empty());
}

TEST_F(ViewerClipboard, UnicodeTextGoesAsUtf8ThroughTheExtendedClipboard)
{
    // The test server's library speaks the extended clipboard: UTF-8 both ways, with CRLF
    // line ends on the wire.
    copyElsewhere("café € Ж 日本語 🙂");
    EXPECT_TRUE(serverGotCutText("café € Ж 日本語 🙂", 5));
    copyElsewhere("one\ntwo");
    EXPECT_TRUE(serverGotCutText("one\r\ntwo", 5));

    server->clearRecords();
    server->sendCutTextUtf8("Ärger € Ж 中文 😀\r\nzweite Zeile", "?");
    EXPECT_TRUE(waitFor([] { return tnTestReadClipboard() == "Ärger € Ж 中文 😀\nzweite Zeile"; }, 3))
        << tnTestReadClipboard();
    // Latin-1 cut text from the same host is still read as Latin-1.
    server->sendCutText("Gr\xFC\xDF" "e");
    EXPECT_TRUE(waitFor([] { return tnTestReadClipboard() == "Grüße"; }, 3)) << tnTestReadClipboard();
    tnTestPump(0.3);
    EXPECT_TRUE(server->cutTexts().empty()) << "no echo of the host's text";
}

TEST_F(ViewerClipboard, ServerWithoutTheExtensionGetsLatin1)
{
    // A server that leaves the extended clipboard unanswered: cut text stays Latin-1.
    TNScriptedPeer peer(TNPeerScript::handshake(64, 48).expectMessage(3));
    ASSERT_TRUE(peer.listen());
    HostItem* latin = addHost("latin1", peer.port());
    ASSERT_TRUE(connectAndWait(latin));
    tnShowConnection(*app->vncViewer, tnVncOf(latin));
    ASSERT_TRUE(waitFor([&] { return peer.waitForMessage(3, 1, std::chrono::milliseconds(0)); }, 5));
    bool announced = false;
    for (const TNClientMessage& m : peer.clientMessages())
        announced |= m.type == 2 && m.bytes.find("\xC0\xA1\xE5\xCE") != std::string::npos;
    EXPECT_TRUE(announced) << "the extended clipboard is offered to every server";

    copyElsewhere("café € Ж");
    ASSERT_TRUE(waitFor([&] { return peer.waitForMessage(6, 1, std::chrono::milliseconds(0)); }, 5));
    std::string sent;
    for (const TNClientMessage& m : peer.clientMessages()) {
        if (m.type == 6)
            sent = m.bytes;
    }
    EXPECT_EQ(sent, TNBytes().u8(6).zeros(3).u32(8).raw("caf\xE9 ? ?").data);

    peer.push(TNPeerScript().send(tnrfb::cutText("Gr\xFC\xDF" "e")));
    EXPECT_TRUE(waitFor([] { return tnTestReadClipboard() == "Grüße"; }, 3)) << tnTestReadClipboard();
}

TEST_F(ViewerClipboard, TextOverOneMiBIsNeitherSentNorTakenAndTheLogSaysSo)
{
    constexpr size_t mib = 1 << 20;
    // Just under the limit: it goes, whole.
    copyElsewhere(std::string(mib - 1, 'a'));
    EXPECT_TRUE(serverGotCutText(std::string(mib - 1, 'a'), 10));
    // Over it, pasted into the viewer: not sent, a line in the log each time.
    server->clearRecords();
    for (size_t size : {mib + 1, 8 * mib}) {
        std::string text(size, 'b');
        Fl::e_text = &text[0];
        Fl::e_length = static_cast<int>(size);
        EXPECT_EQ(app->vncViewer->handle(FL_PASTE), 1);
        const std::string line = "Clipboard text of " + std::to_string(size) + " bytes not sent: over the 1 MiB limit";
        EXPECT_NE(logText().find(line), std::string::npos) << line;
    }
    // Exactly the limit, with a NUL byte and invalid UTF-8: no harm, the host stays.
    std::string odd(mib, 'c');
    odd[10] = '\0';
    odd[20] = '\xff';
    Fl::e_text = &odd[0];
    Fl::e_length = static_cast<int>(odd.size());
    EXPECT_EQ(app->vncViewer->handle(FL_PASTE), 1);
    tnTestPump(1.0);
    EXPECT_TRUE(server->cutTexts().empty());
    EXPECT_TRUE(tnIsConnected(itm));

    // Over it, from the host, through the extended clipboard and as Latin-1: dropped with a
    // line in the log; the connection goes on and the clipboard is as it was.
    copyElsewhere("kept", 10);
    ASSERT_TRUE(waitFor([] { return tnTestReadClipboard() == "kept"; }, 5));
    server->sendCutTextUtf8(std::string(mib + 1, 'd'), "?");
    EXPECT_TRUE(waitFor(
        [&] { return logText().find("Clipboard text of 1048577 bytes not received: over the 1 MiB limit") != std::string::npos; },
        10));
    server->sendCutText(std::string(mib + 2, 'e'));
    EXPECT_TRUE(waitFor(
        [&] { return logText().find("Clipboard text of 1048578 bytes not received: over the 1 MiB limit") != std::string::npos; },
        10));
    EXPECT_EQ(tnTestReadClipboard(), "kept");
    EXPECT_TRUE(tnIsConnected(itm));
    server->sendCutTextUtf8("after", "after");
    EXPECT_TRUE(waitFor([] { return tnTestReadClipboard() == "after"; }, 5));
}

TEST_F(ViewerClipboard, HostTextReachesTheLocalClipboardWithoutAnEcho)
{
    server->sendCutText("from the host");
    EXPECT_TRUE(waitFor([] { return tnTestReadClipboard() == "from the host"; }, 3));
    tnTestPump(0.3);
    EXPECT_TRUE(server->cutTexts().empty());

    // A connection that is not the shown one does not get to set the clipboard.
    TNTestServer* other = startServer();
    HostItem* otherItm = addHost("other", other->port());
    ASSERT_TRUE(connectAndWait(otherItm));
    VncObject::handleRemoteClipboardProc(tnVncOf(otherItm)->vncClient, "not taken", 9);
    tnTestPump(0.2);
    EXPECT_EQ(tnTestReadClipboard(), "from the host");
}

// Local clipboards of any size and any bytes, served by another X client in pieces when
// they are large (xclip's incremental transfer): text up to 1 MiB reaches the host, larger
// text is not sent and the log says so once; nothing brings the program down.
TEST_F(ViewerClipboard, LocalClipboardOfAnySizeOrBytes)
{
    const std::string dir = tnTestMakeTempDir();
    const std::string invalidUtf8 = std::string("a\xC3(b\xFF\xFE", 7) + std::string(1, '\0') + "c\xE2\x82";
    struct Case {
        const char* name;
        std::string text;
        bool sent;
    };
    const Case cases[] = {
        {"1 MiB - 1", std::string(tnClipboardLimit - 1, 'a'), true},
        {"1 MiB", std::string(tnClipboardLimit, 'b'), true},
        {"1 MiB + 1", std::string(tnClipboardLimit + 1, 'c'), false},
        {"8 MiB", std::string(8 * tnClipboardLimit, 'd'), false},
        {"invalid UTF-8 and a NUL", invalidUtf8, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server->clearRecords();
        const std::string file = dir + "/clip";
        FILE* out = fopen(file.c_str(), "wb");
        ASSERT_NE(out, nullptr);
        fwrite(c.text.data(), 1, c.text.size(), out);
        fclose(out);
        const std::string command =
            "timeout 20 xclip -quiet -selection clipboard -l 1 '" + file + "' >/dev/null 2>&1 &";
        ASSERT_EQ(system(command.c_str()), 0);
        const std::string sizeLine =
            "Clipboard text of " + std::to_string(c.text.size()) + " bytes not sent: over the 1 MiB limit";
        // The extended clipboard sends text with its NUL and CR LF line ends: 1 MiB of text
        // is then more than this server takes unasked, and it answers no notification (the
        // program is told nothing of it; nothing is logged either).
        if (c.sent && c.text.size() == tnClipboardLimit && tnVncOf(itm)->utf8CutText) {
            tnTestPump(1.0);
            EXPECT_EQ(logText().find(sizeLine), std::string::npos);
        } else if (c.sent) {
            ASSERT_TRUE(waitFor([this] { return !server->cutTexts().empty(); }, 10));
            const std::string got = server->cutTexts().front();
            if (c.text == invalidUtf8)
                EXPECT_EQ(got, tnVncOf(itm)->utf8CutText ? tnValidUtf8(c.text) : tnUtf8ToLatin1(c.text));
            else
                EXPECT_EQ(got.size(), c.text.size());
        } else {
            ASSERT_TRUE(waitFor([&] { return logText().find(sizeLine) != std::string::npos; }, 10)) << logText();
            // Offered again when the user clicks into the viewer: still not sent, no second line.
            click(app->vncViewer->x() + 5, app->vncViewer->y() + 5, 1);
            tnTestPump(1.0);
            EXPECT_TRUE(server->cutTexts().empty());
            const std::string log = logText();
            EXPECT_EQ(log.find(sizeLine), log.rfind(sizeLine));
        }
        EXPECT_TRUE(tnVncOf(itm) && tnVncOf(itm)->vncClient) << "the connection survived";
    }
}

TEST_F(ViewerClipboard, PasteSendsExactlyItsBytes)
{
    static char text[] = "abcdef";
    Fl::e_text = text;
    Fl::e_length = 0;
    EXPECT_EQ(app->vncViewer->handle(FL_PASTE), 1);
    Fl::e_length = 3;
    EXPECT_EQ(app->vncViewer->handle(FL_PASTE), 1);
    EXPECT_TRUE(serverGotCutText("abc", 3));
    tnTestPump(0.2);
    EXPECT_EQ(server->cutTexts().size(), 1u);
}

} // namespace
