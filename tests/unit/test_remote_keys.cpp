// What the remote-actions window sends for each button, the scan's pointer nudge, and the
// order in which a scan visits the host list.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "viewer/remote_keys.h"
#include "viewer/scan_order.h"

namespace {

using Keys = std::vector<TNRemoteKey>;

TEST(RemoteActionKeys, CombinationsReleaseInPressOrderAndKeysAreSingleStrokes)
{
    struct Case {
        const char* name;
        TNRemoteAction action;
        Keys keys;
    };
    const Case cases[] = {
        {"Ctrl+Alt+Del", TNRemoteAction::CtrlAltDel,
         {{0xFFE3, true}, {0xFFE9, true}, {0xFFFF, true}, {0xFFE3, false}, {0xFFE9, false}, {0xFFFF, false}}},
        {"Ctrl+Shift+Esc", TNRemoteAction::CtrlShiftEsc,
         {{0xFFE3, true}, {0xFFE1, true}, {0xFF1B, true}, {0xFFE3, false}, {0xFFE1, false}, {0xFF1B, false}}},
        {"F8", TNRemoteAction::F8, {{0xFFC5, true}, {0xFFC5, false}}},
        {"F11", TNRemoteAction::F11, {{0xFFC8, true}, {0xFFC8, false}}},
        {"F12, never a macro", TNRemoteAction::F12, {{0xFFC9, true}, {0xFFC9, false}}},
        {"refresh sends no key", TNRemoteAction::Refresh, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(tnRemoteActionKeys(c.action), c.keys);
    }
}

TEST(ScanPointerNudge, CornerThenHundredThenCornerInsideTheScreen)
{
    struct Case {
        int width, height;
        std::vector<TNPointerPosition> points;
    };
    const Case cases[] = {
        {1024, 768, {{0, 0}, {100, 100}, {0, 0}}},
        {101, 101, {{0, 0}, {100, 100}, {0, 0}}},
        {64, 48, {{0, 0}, {63, 47}, {0, 0}}},
        {1, 1, {{0, 0}, {0, 0}, {0, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        EXPECT_EQ(tnPointerNudge(c.width, c.height), c.points);
    }
}

// The lines `steps` scan steps show one after the other, starting after line `start`.
std::vector<int> scanLines(const std::vector<bool>& connected, int start, int steps)
{
    std::vector<int> shown;
    int index = start;
    for (int i = 0; i < steps; i++) {
        index = tnNextScanLine(connected, index);
        shown.push_back(index);
    }
    return shown;
}

TEST(ScanOrder, VisitsConnectedLinesInListOrderRoundAndRound)
{
    struct Case {
        const char* name;
        std::vector<bool> connected; // entry i: line i + 1
        int start;                   // the selected line when the scan starts (0: none)
        std::vector<int> shown;
    };
    const Case cases[] = {
        {"lines 2 and 5 connected, line 3 selected", {false, true, false, false, true}, 3, {5, 2, 5, 2, 5}},
        {"a single connected host every time", {false, false, true, false}, 0, {3, 3, 3}},
        {"single host selected itself", {false, false, true, false}, 3, {3, 3}},
        {"nothing selected starts at the top", {true, false, true}, 0, {1, 3, 1}},
        {"last line selected goes round first", {true, false, true}, 3, {1, 3, 1}},
        {"index past a shortened list starts at the top", {true, false, true}, 9, {1, 3}},
        {"nothing connected", {false, false, false}, 1, {0, 0}},
        {"empty list", {}, 0, {0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(scanLines(c.connected, c.start, static_cast<int>(c.shown.size())), c.shown);
    }
}

} // namespace
