#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/Foundation/NotificationCenter.h"
#include "platform/Foundation/NotificationCenterAdditions.h"
#include "platform/Foundation/VirtualScheduler.h"

TEST(NotificationCenter, MatchesByNameAndObjectInRegistrationOrder) {
    NSNotificationCenter center;
    std::vector<std::string> calls;
    int window = 0;
    int other = 0;
    auto record = [&](std::string who) {
        return [&calls, who](const NSNotification&) { calls.push_back(who); };
    };
    center.addObserver(nullptr, "SkipChanged", nullptr, record("skip/any"));
    center.addObserver(nullptr, "", nullptr, record("any/any"));
    center.addObserver(nullptr, "NSWindowDidBecomeKeyNotification", &window, record("key/window"));
    center.addObserver(nullptr, "", &window, record("any/window"));

    struct Case {
        const char* name;
        const void* object;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"SkipChanged", nullptr, {"skip/any", "any/any"}},
        {"SkipChanged", &window, {"skip/any", "any/any", "any/window"}},
        {"NSWindowDidBecomeKeyNotification", &window, {"any/any", "key/window", "any/window"}},
        {"NSWindowDidBecomeKeyNotification", &other, {"any/any"}},
    };
    for (const Case& c : cases) {
        calls.clear();
        center.postNotificationName(c.name, c.object);
        EXPECT_EQ(calls, c.expected) << c.name << (c.object ? " with an object" : "");
    }
}

TEST(NotificationCenter, CarriesUserInfo) {
    NSNotificationCenter center;
    std::optional<PropertyList::Dictionary> seen;
    center.addObserver(nullptr, "DoUIAlert", nullptr, [&](const NSNotification& n) { seen = n.userInfo; });
    center.postNotificationName("DoUIAlert", nullptr,
                                PropertyList::Dictionary{{"UIAlertStruct", PropertyList::Data{64, 0, 1, 0}}});
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->at("UIAlertStruct"), PropertyList(PropertyList::Data{64, 0, 1, 0}));
}

TEST(NotificationCenter, RemovalDuringDeliveryTakesEffectAtOnce) {
    NSNotificationCenter center;
    std::vector<std::string> calls;
    NSNotificationCenter::ObserverToken self = 0;
    NSNotificationCenter::ObserverToken later = 0;
    int owner = 0;
    self = center.addObserver(nullptr, "X", nullptr, [&](const NSNotification&) {
        calls.push_back("self");
        center.removeObserver(self);
        center.removeObserver(later);
    });
    center.addObserver(&owner, "X", nullptr, [&](const NSNotification&) {
        calls.push_back("owner");
        center.removeObserver(&owner);
        center.addObserver(nullptr, "X", nullptr, [&](const NSNotification&) { calls.push_back("added"); });
    });
    later =
        center.addObserver(nullptr, "X", nullptr, [&](const NSNotification&) { calls.push_back("later"); });

    center.postNotificationName("X");
    EXPECT_EQ(calls, (std::vector<std::string>{"self", "owner"}));
    calls.clear();
    center.postNotificationName("X");
    EXPECT_EQ(calls, (std::vector<std::string>{"added"}));
}

TEST(NotificationCenter, RemovesAnOwnersObservationsSelectively) {
    NSNotificationCenter center;
    int owner = 0;
    int window = 0;
    int calls = 0;
    auto count = [&](const NSNotification&) { ++calls; };
    center.addObserver(&owner, "A", nullptr, count);
    center.addObserver(&owner, "B", &window, count);
    center.addObserver(&owner, "B", nullptr, count);
    center.removeObserver(&owner, "B", &window);
    center.postNotificationName("B", &window);
    EXPECT_EQ(calls, 1);
    center.removeObserver(&owner);
    center.postNotificationName("A");
    center.postNotificationName("B");
    EXPECT_EQ(calls, 1);
}

// Worker threads post through the main-thread forms: observers run on the main thread, in the
// order posted, on the default centre, with their own copy of the user info.
TEST(NotificationCenterAdditions, WorkerPostsArriveOnTheMainThreadInOrderOnTheDefaultCentre) {
    VirtualScheduler scheduler;
    ScopedScheduler scoped(scheduler);
    NSNotificationCenter other;
    std::vector<std::string> seen;
    int owner = 0;
    const std::thread::id mainThread = std::this_thread::get_id();
    bool allOnMain = true;
    NSNotificationCenter::defaultCenter().addObserver(&owner, "", nullptr, [&](const NSNotification& n) {
        allOnMain = allOnMain && std::this_thread::get_id() == mainThread;
        seen.push_back(n.name + (n.userInfo ? "+" + *n.userInfo->at("k").string() : ""));
    });
    std::thread worker([&] {
        for (int i = 0; i < 50; ++i) {
            PropertyList::Dictionary info{{"k", PropertyList(std::to_string(i))}};
            postNotificationOnMainThreadWithName(other, "N" + std::to_string(i), nullptr, info);
            info["k"] = PropertyList(std::string("changed"));  // the poster's copy, not the main thread's
        }
    });
    worker.join();
    EXPECT_TRUE(seen.empty()) << "nothing is delivered before the main thread runs";
    scheduler.runPending();
    NSNotificationCenter::defaultCenter().removeObserver(&owner);
    ASSERT_EQ(seen.size(), 50u);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(seen[i], "N" + std::to_string(i) + "+" + std::to_string(i));
    EXPECT_TRUE(allOnMain);
}

TEST(NotificationCenterAdditions, OnTheMainThreadAPostIsImmediateOnTheCentreItWasHandedTo) {
    VirtualScheduler scheduler;
    ScopedScheduler scoped(scheduler);
    NSNotificationCenter other;
    int delivered = 0;
    int owner = 0;
    other.addObserver(&owner, "Now", nullptr, [&](const NSNotification&) { ++delivered; });
    postNotificationOnMainThread(other, NSNotification{"Now", nullptr, std::nullopt});
    EXPECT_EQ(delivered, 1);
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}

TEST(NotificationCenterAdditions, AWaitingPostReturnsAfterTheMainThreadDeliveredIt) {
    VirtualScheduler scheduler;
    ScopedScheduler scoped(scheduler);
    std::atomic<bool> delivered{false}, returned{false};
    int owner = 0;
    NSNotificationCenter::defaultCenter().addObserver(&owner, "Waited", nullptr,
                                                      [&](const NSNotification&) { delivered = true; });
    std::thread worker([&] {
        postNotificationOnMainThreadWithName(NSNotificationCenter::defaultCenter(), "Waited", nullptr,
                                             std::nullopt, true);
        returned = delivered.load();
    });
    while (scheduler.pendingCount() == 0) std::this_thread::yield();
    EXPECT_FALSE(returned);
    scheduler.runPending();
    worker.join();
    NSNotificationCenter::defaultCenter().removeObserver(&owner);
    EXPECT_TRUE(returned) << "the poster saw the delivery done when it returned";
}
