// Shared set-up of the main-window tests: the real start-up against a private
// configuration directory, with modal boxes and menus answered by the test.
#pragma once

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Menu_Item.H>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "config/host_item.h"
#include "connection/vnc_object.h"
#include "gui/main_window.h"
#include "core/options.h"
#include "gui/modal.h"
#include "gui/config_io.h"
#include "gui/host_list.h"
#include "gui/main_window.h"
#include "startup/startup.h"
#include "support/app_fixture.h"
#include "support/gui_events.h"

// One host block of a configuration file, on loopback.
inline std::string tnHostBlock(const std::string& name, const std::string& extra = "")
{
    return "host=" + name + "\nhostaddress=127.0.0.1\nvncport=5999\n" + extra;
}

// What the pop-up menus showed, entry by entry.
struct TNMenuSeen {
    int shown = 0;
    std::vector<std::string> labels;
    std::vector<int> flags;
    std::vector<int> sizes;
};

// Answers every pop-up menu by choosing the entry labelled `choice` ("" closes it without a choice).
inline void tnAnswerMenus(TNMenuSeen& seen, const std::string& choice)
{
    tnModalHooks().menu = [&seen, choice](const Fl_Menu_Item* items) -> const Fl_Menu_Item* {
        seen.shown++;
        seen.labels.clear();
        seen.flags.clear();
        seen.sizes.clear();
        const Fl_Menu_Item* pick = nullptr;
        for (const Fl_Menu_Item* item = items; item->text; ++item) {
            seen.labels.push_back(item->text);
            seen.flags.push_back(item->flags);
            seen.sizes.push_back(item->labelsize_);
            if (choice == item->text)
                pick = item;
        }
        return pick;
    };
}

// Runs the list's callback as a selection moved by the keyboard does.
inline void tnSelectHostLineByKey(int line)
{
    tnSelectHostLine(line);
    Fl::e_keysym = FL_Down;
    Fl::e_state = 0;
    Fl::e_clicks = 0;
    Fl::e_number = FL_KEYBOARD;
    tnHandleHostListEvents(app->hostList, nullptr);
}

inline std::vector<std::string> tnHostListTexts()
{
    std::vector<std::string> texts;
    for (int line = 1; line <= app->hostList->size(); line++)
        texts.push_back(app->hostList->text(line));
    return texts;
}

// The open windows with this title.
inline std::vector<Fl_Window*> tnShownWindows(const char* title)
{
    std::vector<Fl_Window*> found;
    for (Fl_Window* window = Fl::first_window(); window; window = Fl::next_window(window)) {
        if (window->label() && strcmp(window->label(), title) == 0)
            found.push_back(window);
    }
    return found;
}

class TNMainWindowTest : public ::testing::Test {
protected:
    std::string dir;
    std::string configText;

    void startWith(const std::string& config)
    {
        dir = tnTestMakeTempDir();
        configText = config;
        tnTestStartApp(dir, &configText);
    }

    void startWithoutConfig()
    {
        dir = tnTestMakeTempDir();
        tnTestStartApp(dir);
    }

    void TearDown() override
    {
        tnModalHooks() = TNModalHooks();
        // A child window left open is modal and would swallow the next test's events.
        std::vector<Fl_Window*> others;
        for (Fl_Window* window = Fl::first_window(); window; window = Fl::next_window(window)) {
            if (window != app && !window->window())
                others.push_back(window);
        }
        for (Fl_Window* window : others)
            window->hide();
        app->childWindowVisible = false;
        tnTestRemoveDir(dir);
    }
};
