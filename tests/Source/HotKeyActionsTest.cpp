// Hot key 1 remembers the window that was active and brings the main window forward.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Source/HotKeyActions.h"
#include "Source/HotKeyActionsHost.h"

namespace {

struct HotKeyActionsTest : ::testing::Test, HotKeyActionsHost {
    std::optional<XWindowID> active;
    std::vector<std::string> calls;
    HotKeyActions actions{*this};

    std::optional<XWindowID> activeWindow() override { return active; }
    void activateIgnoringOtherApps() override { calls.push_back("activate"); }
    void showMainWindow() override { calls.push_back("show"); }
};

TEST_F(HotKeyActionsTest, HotKey1RemembersTheActiveWindowAndComesForward) {
    active = 0x1200007;
    actions.hotKey1Action();
    EXPECT_EQ(actions.previousWindow(), std::optional<XWindowID>(0x1200007));
    EXPECT_EQ(calls, (std::vector<std::string>{"activate", "show"}));

    // What the last press remembered goes, whatever this press finds.
    active.reset();
    actions.hotKey1Action();
    EXPECT_FALSE(actions.previousWindow()) << "none was active";

    active = 0x2a00003;
    actions.hotKey1Action();
    actions.forgetPreviousWindow();
    EXPECT_FALSE(actions.previousWindow());
}

}  // namespace
