#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <thread>

#include "core/SMutexLock.h"

namespace {

// Answers whether another thread could take the mutex at this moment (and gives it back).
bool FreeForOtherThread(TMutex& mutex) {
    bool taken = false;
    std::thread([&] {
        taken = mutex.TryLock() == 0;
        if (taken) mutex.Unlock();
    }).join();
    return taken;
}

}  // namespace

TEST(MutexLocks, EarlyUnLockReleasesOnce) {
    TMutex mutex;
    {
        SMutexLock lock(mutex);
        EXPECT_FALSE(FreeForOtherThread(mutex));
        lock.UnLock();
        EXPECT_TRUE(FreeForOtherThread(mutex));
        // Someone else now holds it; the guard's destruction must not release that hold.
        ASSERT_EQ(mutex.Lock(), 0);
    }
    EXPECT_FALSE(FreeForOtherThread(mutex));
    mutex.Unlock();
}

TEST(MutexLocks, TryLockOnHeldMutexLeavesItHeld) {
    TMutex mutex;
    ASSERT_EQ(mutex.Lock(), 0);
    std::thread([&] {
        EXPECT_EQ(mutex.TryLock(), EBUSY);
        SMutexTryLock tryLock(mutex);
        EXPECT_FALSE(tryLock.IsLocked());
    }).join();
    EXPECT_FALSE(FreeForOtherThread(mutex));
    mutex.Unlock();

    SMutexTryLock tryLock(mutex);
    EXPECT_TRUE(tryLock.IsLocked());
}

TEST(MutexLocks, DestroyingAHeldMutexSucceeds) {
    auto mutex = std::make_unique<TMutex>();
    ASSERT_EQ(mutex->Lock(), 0);
    mutex.reset();  // unlocks, then destroys; a sanitizer build reports anything else
}

TEST(MutexLocks, RecursiveMutexNestsInItsOwner) {
    TRecursiveMutex mutex;
    bool otherGotIt = true;
    auto tryFromOtherThread = [&] {
        std::thread([&] {
            otherGotIt = mutex.TryLock() == 0;
            if (otherGotIt) mutex.Unlock();
        }).join();
    };
    {
        SRecursiveMutexLock outer(mutex);
        { SRecursiveMutexLock inner(mutex); }
        tryFromOtherThread();
        EXPECT_FALSE(otherGotIt) << "one unlock of two must keep the mutex held";
    }
    tryFromOtherThread();
    EXPECT_TRUE(otherGotIt);
}
