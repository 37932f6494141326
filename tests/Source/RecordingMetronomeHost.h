// A metronome host for tests: records clicks with their clock time, main-thread work, pendulum
// calls, notifications and timers; the tempo and bar length are set by the test.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Source/MetronomeHost.h"
#include "platform/Carbon/Clock.h"

class RecordingMetronomeHost : public MetronomeHost {
public:
    struct Click {
        SInt64 microseconds;
        long beat;
    };

    class Timer : public MetronomeTimer {
    public:
        Timer(double seconds, std::function<void()> fire) : seconds(seconds), fire(std::move(fire)) {}
        ~Timer() override { *alive = false; }
        bool isValid() const override { return valid; }
        void setFireDate(double secondsFromNow) override { seconds = secondsFromNow; }
        void invalidate() override { valid = false; }

        double seconds;
        bool valid{true};
        std::function<void()> fire;
        std::shared_ptr<bool> alive = std::make_shared<bool>(true);
    };

    explicit RecordingMetronomeHost(Clock& clock) : mClock(clock) {}

    int currentDisplayBPM() const override { return bpm; }
    long alternateBeat() const override { return bar; }
    void playMetronomeClickForBeat(long beat) override {
        {
            std::lock_guard lock(mLock);
            mClicks.push_back({mClock.now(), beat});
        }
        if (onClick) onClick(beat);
    }
    void animate(double secondsPerBeat) override { swings.push_back(secondsPerBeat); }
    void stopAnimation() override { ++animationStops; }
    void performOnMainThread(std::function<void()> work) override {
        std::lock_guard lock(mLock);
        mMainThreadWork.push_back(std::move(work));
    }
    void postNotification(const std::string& name) override { notifications.push_back(name); }
    bool boolForKey(const std::string& key) override { return defaults[key]; }
    SInt64 integerForKey(const std::string&) override { return 0; }
    std::optional<std::string> stringForKey(const std::string&) override { return std::nullopt; }
    std::unique_ptr<MetronomeTimer> scheduleTimer(double seconds, std::function<void()> fire) override {
        auto timer = std::make_unique<Timer>(seconds, std::move(fire));
        lastTimer = timer.get();
        lastTimerAlive = timer->alive;
        ++timersMade;
        return timer;
    }

    // Fires the latest timer as the run loop would: only while it exists and is valid.
    bool fireTimer() {
        if (!lastTimerAlive || !*lastTimerAlive || !lastTimer->valid) return false;
        lastTimer->valid = false;
        std::function<void()> fire = lastTimer->fire;
        fire();
        return true;
    }
    // Runs the work posted to the main thread so far, on the calling (test) thread.
    void runMainThreadWork() {
        std::vector<std::function<void()>> work;
        {
            std::lock_guard lock(mLock);
            work.swap(mMainThreadWork);
        }
        for (auto& w : work) w();
    }
    std::vector<Click> clicks() {
        std::lock_guard lock(mLock);
        return mClicks;
    }

    std::atomic<int> bpm{120};
    std::atomic<long> bar{4};
    std::function<void(long beat)> onClick;  // runs on the clicking thread
    std::vector<double> swings;
    int animationStops{0};
    std::vector<std::string> notifications;
    std::map<std::string, bool> defaults{{"AutoStartMetronome", true}};
    Timer* lastTimer{nullptr};
    std::shared_ptr<bool> lastTimerAlive;
    int timersMade{0};

private:
    Clock& mClock;
    std::mutex mLock;
    std::vector<Click> mClicks;
    std::vector<std::function<void()>> mMainThreadWork;
};
