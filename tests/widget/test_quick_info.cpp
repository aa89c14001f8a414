// The quick-info panel under the host list and the in-place quick-note editor.
#include <FL/Fl_Box.H>
#include <FL/Fl_Multiline_Output.H>

#include "config/base64.h"
#include "gui/quick_info.h"
#include "main_window_fixture.h"

// After gtest: the X headers it pulls in define names such as None.
#include <FL/fl_draw.H>

namespace {

class QuickInfoTest : public TNMainWindowTest {
protected:
    void SetUp() override
    {
        startWith(tnHostBlock("alpha", "quicknote=Q2FsbCBCb2I=\nlastconnecttime=2026-03-01  09:15:00\n") +
                  tnHostBlock("beta"));
        alpha = tnItemFromLine(1);
        ASSERT_NE(alpha, nullptr);
        ASSERT_EQ(alpha->quickNote, "Call Bob");
    }

    bool editorOpen() const { return app->quickNotePack->visible(); }

    void clickNoteBox() { tnTestClick(app, app->quickNoteBox); }

    HostItem* alpha = nullptr;
};

TEST_F(QuickInfoTest, PanelShowsTheRecordOrNothing)
{
    struct Case {
        const char* what;
        const char* time;
        bool listener;
        const char* note;
        const char* error;
        const char* timeLabel;
        const char* noteText;
        Fl_Font noteFont;
    };
    const Case cases[] = {
        {"host with a note", "2026-03-01  09:15:00", false, "Call Bob", "", "Last connected", "Call Bob", FL_HELVETICA},
        {"never connected", "", false, "", "", "", "(no Quick Note)", FL_HELVETICA_ITALIC},
        {"listening line", "2026-03-02  10:00:00", true, "", "", "Connected", "(no Temporary Note)",
         FL_HELVETICA_ITALIC},
        {"failed attempt", "", false, "", "Connection refused", "", "(no Quick Note)", FL_HELVETICA_ITALIC},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HostItem itm;
        itm.name = c.what;
        itm.lastConnectedTime = c.time;
        itm.isListener = c.listener;
        itm.quickNote = c.note;
        tnConnectionFor(&itm).lastError = c.error;
        tnQuickInfoSetLabelAndText(&itm);
        EXPECT_STREQ(app->quickInfoName->label(), c.what);
        EXPECT_STREQ(app->quickInfoLastConnectedLabel->label(), c.timeLabel);
        EXPECT_STREQ(app->quickInfoLastConnected->label(), c.time);
        EXPECT_STREQ(app->quickInfoLastError->value(), c.error);
        EXPECT_STREQ(app->quickNoteBox->value(), c.noteText);
        EXPECT_EQ(app->quickNoteBox->textfont(), c.noteFont);
    }

    // A name is shown as it is, "@" included.
    HostItem mailLike;
    mailLike.name = "admin@server";
    tnQuickInfoSetLabelAndText(&mailLike);
    int shownWidth = 0, plainWidth = 0, h = 0;
    fl_font(app->quickInfoName->labelfont(), app->quickInfoName->labelsize());
    fl_measure(app->quickInfoName->label(), shownWidth, h, 1);
    fl_measure(mailLike.name.c_str(), plainWidth, h, 0);
    EXPECT_EQ(shownWidth, plainWidth);

    // Selecting a line fills the panel; a line without a record empties it.
    tnSelectHostLineByKey(1);
    EXPECT_STREQ(app->quickInfoName->label(), "alpha");
    EXPECT_STREQ(app->quickInfoLastConnected->label(), "2026-03-01  09:15:00");
    tnAddSeparatorLine(" ");
    tnSelectHostLineByKey(app->hostList->size());
    EXPECT_STREQ(app->quickInfoName->label(), "-");
    EXPECT_STREQ(app->quickInfoLastConnectedLabel->label(), "");
    EXPECT_STREQ(app->quickNoteBox->value(), "-");
    EXPECT_EQ(app->quickNoteBox->textfont(), FL_HELVETICA_ITALIC);
}

TEST_F(QuickInfoTest, EnterStoresTheFirst256BytesAndRewritesTheFile)
{
    tnSelectHostLineByKey(1);
    clickNoteBox();
    ASSERT_TRUE(editorOpen());
    EXPECT_STREQ(app->quickNoteInput->value(), "Call Bob");
    EXPECT_EQ(Fl::focus(), app->quickNoteInput);
    EXPECT_EQ(app->quickNoteInput->position(), 0);
    EXPECT_EQ(app->quickNoteInput->mark(), 0);
    EXPECT_TRUE(Fl::has_timeout(tnBlinkCursor, app->quickNoteInput));

    // Typing reaches the editor, at the start of the note.
    tnTestType(app, "Re: ");
    EXPECT_STREQ(app->quickNoteInput->value(), "Re: Call Bob");

    std::string typed;
    for (int i = 0; i < 300; i++)
        typed += static_cast<char>('a' + i % 26);
    app->quickNoteInput->value(typed.c_str());
    tnTestPressKey(app, FL_Enter, "\r");

    const std::string stored = typed.substr(0, 256);
    EXPECT_EQ(alpha->quickNote, stored);
    EXPECT_FALSE(editorOpen());
    EXPECT_STREQ(app->quickNoteInput->value(), "");
    EXPECT_FALSE(Fl::has_timeout(tnBlinkCursor, app->quickNoteInput));
    EXPECT_EQ(app->quickNoteBox->value(), stored);
    EXPECT_EQ(app->quickNoteBox->textfont(), FL_HELVETICA);
    // The cut is told in the panel, not made without a word.
    EXPECT_EQ(std::string(app->quickInfoLastError->value()), tnQuickNoteCutText());
    const std::string encoded =
        base64Encode(reinterpret_cast<const unsigned char*>(stored.data()), static_cast<unsigned>(stored.size()));
    EXPECT_NE(tnTestReadFile(appOptions.configPathAndFile).find("quicknote=" + encoded + "\n"), std::string::npos);
}

TEST_F(QuickInfoTest, EscapeDropsTheEditAndKeepsTheWindowOpen)
{
    tnSelectHostLineByKey(1);
    clickNoteBox();
    tnTestType(app, "scratch");
    tnTestPressKey(app, FL_Escape, "\x1b");
    EXPECT_FALSE(editorOpen());
    EXPECT_EQ(alpha->quickNote, "Call Bob");
    EXPECT_STREQ(app->quickNoteBox->value(), "Call Bob");
    EXPECT_EQ(tnTestReadFile(appOptions.configPathAndFile), configText);
    EXPECT_TRUE(app->shown());

    clickNoteBox();
    EXPECT_STREQ(app->quickNoteInput->value(), "Call Bob");
}

// Text left in the editor by turning to another line (or to none) is kept as Enter keeps
// it, in the record and in the file.
TEST_F(QuickInfoTest, LeavingTheEditorForAnotherLineKeepsTheTypedNote)
{
    HostItem* beta = tnItemFromLine(2);
    ASSERT_NE(beta, nullptr);
    for (int line : {2, 0}) {
        SCOPED_TRACE(line);
        tnSelectHostLineByKey(1);
        clickNoteBox();
        ASSERT_TRUE(editorOpen());
        tnTestType(app, line ? "Re: " : "Fw: ");
        tnClickHostLine(line, 1);
        EXPECT_FALSE(editorOpen());
        EXPECT_EQ(beta->quickNote, "");
        if (line) {
            EXPECT_STREQ(app->quickInfoName->label(), "beta");
        }
    }
    EXPECT_EQ(alpha->quickNote, "Fw: Re: Call Bob");
    const std::string note = alpha->quickNote;
    const std::string encoded =
        base64Encode(reinterpret_cast<const unsigned char*>(note.data()), static_cast<unsigned>(note.size()));
    EXPECT_NE(tnTestReadFile(appOptions.configPathAndFile).find("quicknote=" + encoded + "\n"), std::string::npos);
}

// The caret blinks only while the editor has the keyboard: without it no timer runs.
TEST_F(QuickInfoTest, CaretBlinksOnlyWithTheFocus)
{
    tnSelectHostLineByKey(1);
    clickNoteBox();
    ASSERT_TRUE(Fl::has_timeout(tnBlinkCursor, app->quickNoteInput));
    app->hostList->set_visible_focus();
    Fl::focus(app->hostList);
    app->hostList->clear_visible_focus();
    // The timer's next turn finds the focus gone and ends it.
    Fl::remove_timeout(tnBlinkCursor, app->quickNoteInput);
    tnBlinkCursor(app->quickNoteInput);
    EXPECT_FALSE(Fl::has_timeout(tnBlinkCursor, app->quickNoteInput));
    EXPECT_TRUE(editorOpen());

    ASSERT_TRUE(app->quickNoteInput->take_focus());
    EXPECT_TRUE(Fl::has_timeout(tnBlinkCursor, app->quickNoteInput));
}

TEST_F(QuickInfoTest, EnterAfterTheSelectionWentKeepsTheEditorOpen)
{
    tnSelectHostLineByKey(1);
    clickNoteBox();
    tnTestType(app, "x");
    tnSelectHostLine(0);
    tnTestPressKey(app, FL_Enter, "\r");
    EXPECT_TRUE(editorOpen());
    EXPECT_EQ(alpha->quickNote, "Call Bob");
    EXPECT_EQ(tnTestReadFile(appOptions.configPathAndFile), configText);
}

TEST_F(QuickInfoTest, ClickOpensNoEditorWithoutANamedSelectionOrWhileScanning)
{
    struct Case {
        const char* what;
        int line;
        bool scanning;
        const char* name;
    };
    tnAddSeparatorLine(" ");
    const int separatorLine = app->hostList->size();
    for (const Case c : {Case{"no selection", 0, false, "alpha"}, Case{"scanning", 1, true, "alpha"},
                         Case{"empty name", 1, false, ""}, Case{"separator", separatorLine, false, "alpha"}}) {
        SCOPED_TRACE(c.what);
        alpha->name = c.name;
        app->isScanning = c.scanning;
        if (c.line)
            tnSelectHostLine(c.line);
        else
            tnSelectHostLine(0);
        clickNoteBox();
        EXPECT_FALSE(editorOpen());
    }
    app->isScanning = false;
}

TEST_F(QuickInfoTest, RightClickInTheEditorOpensTheEditMenu)
{
    TNMenuSeen seen;
    tnAnswerMenus(seen, "");
    tnSelectHostLineByKey(1);
    clickNoteBox();
    tnTestClick(app, app->quickNoteInput, 3);
    EXPECT_EQ(seen.shown, 1);
    EXPECT_EQ(seen.labels, (std::vector<std::string>{"Undo", "Cut", "Copy", "Paste"}));
    EXPECT_TRUE(editorOpen());
    EXPECT_STREQ(app->quickNoteInput->value(), "Call Bob");
}

TEST(QuickNoteText, KeepsAtMost256BytesAndWholeCharacters)
{
    const std::string a255(255, 'a');
    const std::string a254(254, 'a');
    struct Case {
        std::string text;
        std::string stored;
    };
    const Case cases[] = {
        {"", ""},
        {"short note", "short note"},
        {std::string(300, 'n'), std::string(256, 'n')},
        {a254 + "\xC3\xA9" + "x", a254 + "\xC3\xA9"},  // the two-byte letter fits exactly
        {a255 + "\xC3\xA9", a255},                     // it would be cut in half
    };
    for (const Case& c : cases)
        EXPECT_EQ(tnQuickNoteFromText(c.text), c.stored) << c.text.size() << " bytes";
}

} // namespace
