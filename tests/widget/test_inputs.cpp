// Text and password inputs with the Undo/Cut/Copy/Paste right-click menu.
#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "gui/main_window.h"
#include "core/options.h"
#include "gui/modal.h"
#include "gui/inputs.h"
#include "gui/main_window.h"
#include "viewer/x_clipboard.h"
#include "main_window_fixture.h"

namespace {

class EditMenuTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        tnModalHooks() = TNModalHooks();
        // The clipboard's text is handed over through the toolkit's awake queue, which
        // works once the main thread holds the toolkit lock, as the program's does.
        static const bool locked = (Fl::lock(), true);
        (void)locked;
        savedMenuFontSize = appOptions.menuFontSize;
        Fl_Group::current(nullptr);
        window = std::make_unique<Fl_Window>(300, 120, "inputs");
        input = new TNInput(60, 10, 200, 30, "Text");
        secret = new TNSecretInput(60, 60, 200, 30, "Password");
        window->end();
        window->show();
        tnTestPump(0.05);
    }

    void TearDown() override
    {
        tnModalHooks() = TNModalHooks();
        appOptions.menuFontSize = savedMenuFontSize;
        window->hide();
    }

    // Right-clicks the field and chooses an entry of its menu.
    void rightClickAndChoose(Fl_Input_* field, const std::string& entry)
    {
        tnAnswerMenus(seen, entry);
        tnTestClick(window.get(), field, 3);
    }

    std::unique_ptr<Fl_Window> window;
    TNInput* input = nullptr;
    TNSecretInput* secret = nullptr;
    TNMenuSeen seen;
    int savedMenuFontSize = 0;
};

TEST_F(EditMenuTest, CutUndoCopyPasteActOnTheSelectionBeforeTheClick)
{
    input->value("abcdef");
    input->position(4, 1);  // "bcd" selected
    rightClickAndChoose(input, "Cut");
    EXPECT_STREQ(input->value(), "aef");
    EXPECT_EQ(tnTestReadClipboard(), "bcd");

    rightClickAndChoose(input, "Undo");
    EXPECT_STREQ(input->value(), "abcdef");

    input->position(0, 2);
    rightClickAndChoose(input, "Copy");
    EXPECT_STREQ(input->value(), "abcdef");
    EXPECT_EQ(tnTestReadClipboard(), "ab");

    input->position(6, 6);
    rightClickAndChoose(input, "Paste");
    // The clipboard is read off the window's thread; the text is pasted when it is in.
    EXPECT_TRUE(tnTestPumpUntil([this] { return std::string(input->value()) == "abcdefab"; }, 3));
    EXPECT_STREQ(input->value(), "abcdefab");
}

// Every paste gesture of a field (the menu, Ctrl+V, Shift+Insert, the middle button) goes
// through the program's own bounded reader: a clipboard served in pieces by another
// client is pasted whole up to 1 MiB, and a larger one pastes nothing and harms nothing.
TEST_F(EditMenuTest, PasteGesturesReadTheClipboardWithASizeLimit)
{
    Fl::event_dispatch(tnDispatchEvent);
    const std::string dir = tnTestMakeTempDir();
    const auto serve = [&dir](const std::string& text, const char* selection) {
        const std::string file = dir + "/clip";
        FILE* out = fopen(file.c_str(), "wb");
        ASSERT_NE(out, nullptr);
        fwrite(text.data(), 1, text.size(), out);
        fclose(out);
        const std::string command = std::string("timeout 20 xclip -quiet -selection ") + selection + " -l 1 '" +
                                    file + "' >/dev/null 2>&1 &";
        ASSERT_EQ(system(command.c_str()), 0);
        tnTestPump(0.3);
    };
    struct Gesture {
        const char* name;
        const char* selection;
        std::function<void()> act;
    };
    const Gesture gestures[] = {
        {"menu", "clipboard", [this] { rightClickAndChoose(input, "Paste"); }},
        {"Ctrl+V", "clipboard", [this] {
             Fl::focus(input);
             tnTestPressKey(window.get(), 'v', "\x16", FL_CTRL);
         }},
        {"Shift+Insert", "clipboard", [this] {
             Fl::focus(input);
             tnTestPressKey(window.get(), FL_Insert, "", FL_SHIFT);
         }},
        {"middle button", "primary", [this] { tnTestClick(window.get(), input, 2); }},
    };
    for (const Gesture& gesture : gestures) {
        SCOPED_TRACE(gesture.name);
        const std::string big(tnClipboardLimit, 'x');
        input->maximum_size(static_cast<int>(tnClipboardLimit));
        input->value("");
        serve(big, gesture.selection);
        gesture.act();
        EXPECT_TRUE(tnTestPumpUntil([this] { return input->size() == static_cast<int>(tnClipboardLimit); }, 10));

        input->value("kept");
        input->position(4, 4);
        serve(std::string(8 * tnClipboardLimit, 'y'), gesture.selection);
        gesture.act();
        tnTestPump(1.5);
        EXPECT_STREQ(input->value(), "kept");
    }
    Fl::event_dispatch(nullptr);
}

TEST_F(EditMenuTest, WithoutASelectionCutAndCopyDoNothing)
{
    Fl::copy("before", 6, 1, Fl::clipboard_plain_text);
    input->value("abc");
    input->position(1, 1);
    for (const char* entry : {"Copy", "Cut"}) {
        SCOPED_TRACE(entry);
        rightClickAndChoose(input, entry);
        EXPECT_STREQ(input->value(), "abc");
        EXPECT_EQ(tnTestReadClipboard(), "before");
    }
}

TEST_F(EditMenuTest, BothInputsOfferTheSameMenuAndClosingItChangesNothing)
{
    appOptions.menuFontSize = 13;
    for (Fl_Input_* field : {static_cast<Fl_Input_*>(input), static_cast<Fl_Input_*>(secret)}) {
        SCOPED_TRACE(field->label());
        field->value("secret12");
        field->position(5, 2);
        seen = TNMenuSeen();
        rightClickAndChoose(field, "");
        ASSERT_EQ(seen.shown, 1);
        EXPECT_EQ(seen.labels, (std::vector<std::string>{"Undo", "Cut", "Copy", "Paste"}));
        EXPECT_EQ(seen.flags, (std::vector<int>{FL_MENU_DIVIDER, 0, 0, 0}));
        EXPECT_EQ(seen.sizes, (std::vector<int>{13, 13, 13, 13}));
        EXPECT_STREQ(field->value(), "secret12");
        EXPECT_EQ(field->position(), 5);
        EXPECT_EQ(field->mark(), 2);
    }
}

TEST_F(EditMenuTest, LeftClickAndTypingAreTheToolkitInput)
{
    tnAnswerMenus(seen, "");
    input->value("");
    tnTestClick(window.get(), input, 1);
    tnTestType(window.get(), "hi there");
    EXPECT_STREQ(input->value(), "hi there");
    EXPECT_EQ(seen.shown, 0);
}

} // namespace
