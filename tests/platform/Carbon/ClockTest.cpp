#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/Carbon/Clock.h"

// Two threads sleeping in steps of their own run in the order of their wake-up times, and the
// test's own sleep ends when virtual time has reached it.
TEST(VirtualClock, RunsSleepingThreadsInTimeOrder) {
    VirtualClock clock(1000);
    std::mutex lock;
    std::vector<std::pair<SInt64, char>> log;
    auto worker = [&](char name, SInt64 step) {
        ClockThreadToken token(clock);
        return std::thread([&, name, step, token = std::move(token)]() mutable {
            for (int i = 0; i < 3; ++i) {
                clock.sleepFor(step);
                std::lock_guard guard(lock);
                log.emplace_back(clock.now(), name);
            }
            token.leave();
        });
    };
    std::thread a = worker('a', 300), b = worker('b', 500);
    clock.sleepUntil(2000);
    EXPECT_EQ(clock.now(), 2000);
    // Joining blocks outside the clock, so time must first run past the threads' last wake-up.
    clock.sleepUntil(3000);
    a.join();
    b.join();
    const std::vector<std::pair<SInt64, char>> expected = {{1300, 'a'}, {1500, 'b'}, {1600, 'a'},
                                                           {1900, 'a'}, {2000, 'b'}, {2500, 'b'}};
    std::sort(log.begin(), log.end());
    EXPECT_EQ(log, expected);
}
