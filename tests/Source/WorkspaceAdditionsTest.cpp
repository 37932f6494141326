#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Source/WorkspaceAdditions.h"

namespace {

class FakeApplications : public RunningApplicationSource {
public:
    std::vector<NSRunningApplication> apps;
    std::vector<std::string> actions;

    std::vector<NSRunningApplication> runningApplications() const override { return apps; }
    bool activate(const NSRunningApplication& app, unsigned options) override {
        actions.push_back("activate " + std::to_string(app.processIdentifier) + " " +
                          std::to_string(options));
        return true;
    }
    bool terminate(const NSRunningApplication& app) override {
        actions.push_back("terminate " + std::to_string(app.processIdentifier));
        return true;
    }
};

TEST(WorkspaceAdditions, FindsTheFirstApplicationWithTheIdentifier) {
    auto fake = std::make_shared<FakeApplications>();
    fake->apps = {{"com.orvo.Beatwick", 10, "Beatwick"},
                  {"com.apple.iTunes", 20, "iTunes"},
                  {"com.apple.iTunes", 30, "iTunes"}};
    ScopedRunningApplicationSource scoped(fake);

    struct Case {
        const char* identifier;
        pid_t pid;  // 0: none runs
    };
    const Case cases[] = {
        {"com.apple.iTunes", 20}, {"com.orvo.Beatwick", 10}, {"com.apple.itunes", 0}, {"", 0}};
    for (const Case& c : cases) {
        const auto app = WorkspaceAdditions::runningApplicationWithIdentifier(c.identifier);
        EXPECT_EQ(app ? app->processIdentifier : 0, c.pid) << c.identifier;
        EXPECT_EQ(WorkspaceAdditions::applicationWithIdentifierRunning(c.identifier), c.pid != 0)
            << c.identifier;
    }

    const auto player = NSRunningApplication::runningApplicationWithProcessIdentifier(30);
    ASSERT_TRUE(player);
    EXPECT_TRUE(player->activateWithOptions(NSApplicationActivateIgnoringOtherApps));
    EXPECT_TRUE(player->terminate());
    EXPECT_EQ(fake->actions, (std::vector<std::string>{"activate 30 2", "terminate 30"}));
    EXPECT_FALSE(NSRunningApplication::runningApplicationWithProcessIdentifier(31));
}

TEST(WorkspaceAdditions, WithoutASourceNothingRuns) {
    EXPECT_FALSE(WorkspaceAdditions::applicationWithIdentifierRunning("com.apple.iTunes"));
    EXPECT_FALSE((NSRunningApplication{"com.apple.iTunes", 20, "iTunes"}.activateWithOptions(0)));
}

}  // namespace
