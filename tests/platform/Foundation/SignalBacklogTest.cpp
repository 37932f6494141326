#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/Foundation/SignalBacklog.h"

namespace {

using Backlog = SignalBacklog<int, std::string>;

std::vector<int> takeAll(Backlog& backlog) {
    std::vector<int> taken;
    while (std::optional<int> item = backlog.take()) taken.push_back(*item);
    return taken;
}

TEST(SignalBacklog, BelowTheLimitKeepsEverySignalInOrderAndWakesOncePerRun) {
    Backlog backlog(10);
    EXPECT_TRUE(backlog.push(1, "a"));
    EXPECT_FALSE(backlog.push(2, "a")) << "the taker is woken already";
    EXPECT_FALSE(backlog.push(3, std::nullopt));
    EXPECT_FALSE(backlog.push(4, "a"));
    EXPECT_EQ(backlog.take(), 1);
    EXPECT_FALSE(backlog.push(5, "b")) << "the run goes on until a take finds nothing";
    EXPECT_EQ(takeAll(backlog), (std::vector<int>{2, 3, 4, 5}));
    EXPECT_TRUE(backlog.push(6, "a")) << "a new run";
    EXPECT_EQ(takeAll(backlog), (std::vector<int>{6}));
}

// Past the limit a keyed signal drops the waiting latest one of its key and queues at the end,
// so what is taken is still in the order pushed; signals without a key are all kept.
TEST(SignalBacklog, PastTheLimitOnlyTheLatestOfAKeyWaitsAndOrderHolds) {
    Backlog backlog(2);
    backlog.push(1, "a");
    backlog.push(2, "b");
    backlog.push(3, "a");  // at the limit: 1 stays, no longer the latest of "a"
    backlog.push(4, std::nullopt);
    backlog.push(5, "a");  // past it: drops 3
    backlog.push(6, "b");  // drops 2
    backlog.push(7, std::nullopt);
    backlog.push(8, "a");  // drops 5
    EXPECT_EQ(takeAll(backlog), (std::vector<int>{1, 4, 6, 7, 8}));
}

TEST(SignalBacklog, ABurstStaysWithinTheLimitAndOneSignalAKey) {
    constexpr size_t kLimit = 100;
    Backlog backlog(kLimit);
    const std::vector<std::string> keys{"info", "state", "other"};
    for (int i = 0; i < 100000; ++i) backlog.push(i, keys[static_cast<size_t>(i) % keys.size()]);
    EXPECT_LE(backlog.size(), kLimit + keys.size());
    const std::vector<int> taken = takeAll(backlog);
    ASSERT_GE(taken.size(), keys.size());
    EXPECT_TRUE(std::is_sorted(taken.begin(), taken.end()));
    EXPECT_EQ(std::vector<int>(taken.end() - 3, taken.end()), (std::vector<int>{99997, 99998, 99999}))
        << "the latest of each key";
}

}  // namespace
