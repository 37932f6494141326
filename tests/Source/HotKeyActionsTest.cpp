// Hot key 1 remembers the application that was active and brings the main window forward.
#include <gtest/gtest.h>

#include <vector>

#include "Source/HotKeyActions.h"
#include "Source/HotKeyActionsHost.h"

namespace {

const NSRunningApplication kEditor{"com.example.Editor", 777, "Editor"};

struct FakeApplications : RunningApplicationSource {
    std::vector<NSRunningApplication> running;
    std::vector<NSRunningApplication> runningApplications() const override { return running; }
    bool activate(const NSRunningApplication&, unsigned) override { return true; }
    bool terminate(const NSRunningApplication&) override { return true; }
};

struct HotKeyActionsTest : ::testing::Test, HotKeyActionsHost {
    std::optional<NSRunningApplication> active;
    std::vector<std::string> calls;
    std::shared_ptr<FakeApplications> applications = std::make_shared<FakeApplications>();
    ScopedRunningApplicationSource scoped{applications};
    HotKeyActions actions{*this};

    std::optional<NSRunningApplication> activeApplication() override { return active; }
    void activateIgnoringOtherApps() override { calls.push_back("activate"); }
    void showMainWindow() override { calls.push_back("show"); }
};

TEST_F(HotKeyActionsTest, HotKey1RemembersTheActiveApplicationAndComesForward) {
    const struct {
        const char* name;
        std::optional<NSRunningApplication> active;
        bool running;
        bool remembered;
    } cases[] = {
        {"another application", kEditor, true, true},
        {"none is active", std::nullopt, true, false},
        {"the active one has gone", kEditor, false, false},
    };
    for (const auto& c : cases) {
        // What the last press remembered goes, whatever this press finds.
        applications->running = {kEditor};
        active = kEditor;
        actions.hotKey1Action();
        ASSERT_TRUE(actions.runningApplication()) << c.name;

        calls.clear();
        applications->running = c.running ? std::vector{kEditor} : std::vector<NSRunningApplication>{};
        active = c.active;
        actions.hotKey1Action();
        EXPECT_EQ(actions.runningApplication().has_value(), c.remembered) << c.name;
        if (c.remembered) {
            EXPECT_EQ(actions.runningApplication()->processIdentifier, 777) << c.name;
        }
        EXPECT_EQ(calls, (std::vector<std::string>{"activate", "show"})) << c.name;
    }
    actions.forgetRunningApplication();
    EXPECT_FALSE(actions.runningApplication());
}

}  // namespace
