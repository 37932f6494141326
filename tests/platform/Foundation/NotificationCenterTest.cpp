#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Foundation/NotificationCenter.h"

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
