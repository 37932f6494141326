#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "Source/BPMTracker.h"
#include "Source/BPMTrackerHost.h"
#include "Source/MetronomeControl.h"

namespace {

// One ordered log for the controller and the metronome, so their interleaving is checked too.
struct CallLog {
    std::vector<std::string> calls;
    bool playing{false};
};

class RecordingHost : public BPMTrackerHost {
public:
    explicit RecordingHost(CallLog& log) : mLog(log) {}
    void setBeatNum(int beat) override { mLog.calls.push_back("beat " + std::to_string(beat)); }
    void updateBPM() override { mLog.calls.push_back("updateBPM"); }
    void updateBPMButtons() override { mLog.calls.push_back("buttons"); }
    void setCurrentTrackAssigned(bool assigned) override {
        mLog.calls.push_back(std::string("assigned ") + (assigned ? "1" : "0"));
    }

private:
    CallLog& mLog;
};

class RecordingMetronome : public MetronomeControl {
public:
    explicit RecordingMetronome(CallLog& log) : mLog(log) {}
    void stopMetronome() override { mLog.calls.push_back("stop"); }
    void scheduleMetronomeStart(double seconds) override {
        char text[40];
        std::snprintf(text, sizeof text, "schedule %.3f", seconds);
        mLog.calls.push_back(text);
    }
    void startMetronome(const MetronomeTimer* sender) override {
        mLog.calls.push_back(sender ? "start timer" : "start");
    }
    bool isPlaying() const override { return mLog.playing; }
    void resetMetronome() override { mLog.calls.push_back("resetMetronome"); }

private:
    CallLog& mLog;
};

struct Fixture {
    CallLog log;
    RecordingHost host{log};
    BPMTracker tracker{host, std::make_unique<RecordingMetronome>(log)};
};

using Calls = std::vector<std::string>;
// What reset sends, in order.
const Calls kReset = {"stop", "assigned 0", "buttons", "updateBPM"};

Calls join(std::initializer_list<Calls> parts) {
    Calls all;
    for (const Calls& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

struct Step {
    std::string event;
    std::function<void(BPMTracker&)> apply;
    int display, bpm, accuracy, totaltaps;
    Calls calls;
};

Step tap(uint64_t t, int display, int bpm, int accuracy, int taps, Calls calls) {
    return {
        "tap " + std::to_string(t), [t](BPMTracker& b) { b.tap(t); }, display, bpm, accuracy, taps, calls};
}

Step edit(std::string name, std::function<void(BPMTracker&)> f, int display, int bpm, int accuracy, int taps,
          Calls calls) {
    return {name, f, display, bpm, accuracy, taps, calls};
}

Step load(int bpm, int acc, int display, int b, int accuracy, int taps) {
    return {"load " + std::to_string(bpm) + "/" + std::to_string(acc),
            [=](BPMTracker& t) { t.trackLoaded(bpm, acc); },
            display,
            b,
            accuracy,
            taps,
            {}};
}

struct Script {
    const char* name;
    std::vector<Step> steps;
};

const Calls kArm = {"stop", "beat 1"};
const Calls kFirst = {"stop"};                // first recorded tap: no redraw
const Calls kSecond = {"stop", "updateBPM"};  // second recorded tap: tempo, still hidden
const Calls kRearm = join({{"stop"}, kReset, {"beat 1"}});

const Script kScripts[] = {
    {"eight taps 500 ms apart",
     {
         tap(0, 0, 0, 0, 0, kArm),
         tap(500, 0, 0, 1, 1, kFirst),
         tap(1000, 0, 120, 1, 2, kSecond),
         tap(1500, 0, 120, 21, 3, {"stop", "schedule 1.000", "updateBPM"}),
         tap(2000, 120, 120, 41, 4, {"stop", "schedule 1.000", "updateBPM", "buttons"}),
         tap(2500, 120, 120, 61, 5, {"stop", "schedule 1.000", "updateBPM"}),
         tap(3000, 120, 120, 81, 6, {"stop", "schedule 1.000", "updateBPM"}),
         tap(3500, 120, 120, 100, 7, {"stop", "schedule 1.000", "updateBPM", "buttons"}),
     }},
    {"a pause of 6001 ms re-arms, 6000 ms is recorded",
     {
         tap(0, 0, 0, 0, 0, kArm), tap(1000, 0, 0, 1, 1, kFirst), tap(7000, 0, 10, 1, 2, kSecond),
         tap(13001, 0, 0, 1, 0, kRearm),
         tap(900000, 0, 0, 1, 1, kFirst),  // after an arming tap, however late
     }},
    {"a clock that went backwards re-arms",
     {
         tap(5000, 0, 0, 0, 0, kArm),
         tap(6000, 0, 0, 1, 1, kFirst),
         tap(5999, 0, 0, 1, 0, kRearm),
     }},
    {"a second tap in the same millisecond changes nothing",
     {
         tap(0, 0, 0, 0, 0, kArm),
         tap(1000, 0, 0, 1, 1, kFirst),
         tap(1500, 0, 120, 1, 2, kSecond),
         tap(1500, 0, 120, 1, 2, {"stop"}),
         tap(2000, 0, 120, 21, 3, {"stop", "schedule 1.000", "updateBPM"}),
     }},
    {"an average over 1000 shows 1000",
     {
         tap(0, 0, 0, 0, 0, kArm),
         tap(100, 0, 0, 1, 1, kFirst),
         tap(150, 0, 1200, 1, 2, kSecond),
         tap(200, 0, 1000, 21, 3, {"stop", "schedule 0.120", "updateBPM"}),
         tap(250, 1000, 1000, 21, 4, {"stop", "schedule 0.120", "updateBPM", "buttons"}),
     }},
    {"one-BPM changes: the first is held back, the next shown",
     {
         tap(0, 0, 0, 0, 0, kArm),
         tap(1000, 0, 0, 1, 1, kFirst),
         tap(1500, 0, 120, 1, 2, kSecond),
         tap(2000, 0, 120, 21, 3, {"stop", "schedule 1.000", "updateBPM"}),
         tap(2500, 120, 120, 41, 4, {"stop", "schedule 1.000", "updateBPM", "buttons"}),
         tap(2980, 120, 121, 51, 5, {"stop", "schedule 0.992", "updateBPM"}),
         tap(3475, 121, 121, 71, 6, {"stop", "schedule 0.992", "updateBPM"}),
         tap(3940, 122, 122, 100, 7, {"stop", "schedule 0.984", "updateBPM", "buttons"}),
     }},
    {"a 1 ms gap makes the run start over",
     {
         tap(0, 0, 0, 0, 0, kArm),
         tap(1000, 0, 0, 1, 1, kFirst),
         tap(1500, 0, 120, 1, 2, kSecond),
         tap(2000, 0, 120, 21, 3, {"stop", "schedule 1.000", "updateBPM"}),
         // Tap tempo 60000: its squared distance from the mean overflows 32 bits.
         tap(2001, 0, 0, 1, 0, join({{"stop"}, kReset, {"beat 1"}})),
         tap(2600, 0, 0, 1, 1, kFirst),
     }},
    {"a loaded track without a tempo",
     {
         load(0, 10, 0, 0, 0, 0),
         tap(0, 0, 0, 0, 0, kArm),
         tap(500, 0, 0, 1, 1, kFirst),
         load(0, 100, 0, 0, 1, 1),
     }},
    {"a loaded tempo shows at once and the next tap clears it and only arms",
     {
         load(128, 10, 128, 128, 10, 4),
         tap(0, 0, 0, 0, 0, join({{"stop"}, kReset, {"beat 1"}})),
         tap(500, 0, 0, 1, 1, kFirst),
     }},
    {"halve, double, plus and minus",
     {
         edit("halve 0", [](BPMTracker& t) { t.halveBPM(); }, 0, 0, 0, 0, {}),
         load(1, 10, 1, 1, 10, 4),
         edit("halve 1", [](BPMTracker& t) { t.halveBPM(); }, 0, 0, 10, 4, {}),
         load(600, 10, 600, 600, 10, 4),
         edit("double 600", [](BPMTracker& t) { t.doubleBPM(); }, 1000, 1000, 10, 4, {}),
         edit("plus 1000", [](BPMTracker& t) { t.plusBPM(); }, 1000, 1000, 10, 4, {"resetMetronome"}),
         edit("halve 1000", [](BPMTracker& t) { t.halveBPM(); }, 500, 500, 10, 4, {}),
         edit("minus 500", [](BPMTracker& t) { t.minusBPM(); }, 499, 499, 10, 4, {"resetMetronome"}),
         edit("plus 499", [](BPMTracker& t) { t.plusBPM(); }, 500, 500, 10, 4, {"resetMetronome"}),
         edit(
             "reset", [](BPMTracker& t) { t.reset(); }, 0, 0, 0, 0, kReset),
     }},
};

TEST(BPMTracker, EventScripts) {
    for (const Script& script : kScripts) {
        Fixture f;
        for (const Step& step : script.steps) {
            f.log.calls.clear();
            step.apply(f.tracker);
            const std::string where = std::string(script.name) + ", " + step.event;
            EXPECT_EQ(f.tracker.displayBPM(), step.display) << where;
            EXPECT_EQ(f.tracker.bpm(), step.bpm) << where;
            EXPECT_EQ(f.tracker.accuracy(), step.accuracy) << where;
            EXPECT_EQ(f.tracker.totaltaps(), step.totaltaps) << where;
            EXPECT_EQ(f.log.calls, step.calls) << where;
        }
    }
}

TEST(BPMTracker, RestartBoundaries) {
    struct Case {
        int bpm, sdLast, lastBPMSD;
        bool restarts;
    };
    const Case cases[] = {
        {150, 19, 0, false},  {150, 20, 0, true},  {200, 20, 0, true},  {201, 29, 0, false},
        {201, 30, 0, true},   {100, 12, 7, true},  {100, 12, 8, false}, {110, 15, 0, false},
        {109, 10, 5, true},   {109, 10, 6, false}, {109, 9, 0, false},  {201, 20, 0, false},
        {100, 0, -10, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BPMTracker::shouldStartOver(c.bpm, c.sdLast, c.lastBPMSD), c.restarts)
            << "average " << c.bpm << ", sdLast " << c.sdLast << ", previous " << c.lastBPMSD;
    }
}

// Builds a list newest first from tap tempos.
std::unique_ptr<TapTime> tapsWithTempos(std::initializer_list<int32_t> newestFirst) {
    std::unique_ptr<TapTime> head;
    std::vector<int32_t> values(newestFirst);
    for (auto it = values.rbegin(); it != values.rend(); ++it) {
        auto t = std::make_unique<TapTime>();
        t->instBPM = *it;
        t->next = std::move(head);
        head = std::move(t);
    }
    return head;
}

TEST(BPMTracker, MeanAndSpread) {
    struct Case {
        const char* name;
        std::initializer_list<int32_t> tempos;
        int mean, spread;
    };
    const Case cases[] = {
        {"empty", {}, 0, 0},
        {"one tempo equal to the mean", {0, 120}, 120, 0},
        {"100 and 120 around 110", {120, 100, 0}, 110, 10},
        {"only the newest four count", {100, 100, 100, 100, 1000}, 280, 180},
        {"negatives add nothing and do not count", {-50, 120, 0}, 120, 0},
        {"a 1 ms gap does not overflow", {60000, 120, 120, 0}, 20080, 28227},
    };
    for (const Case& c : cases) {
        auto head = tapsWithTempos(c.tempos);
        EXPECT_EQ(BPMTracker::positiveMean(head.get(), &TapTime::instBPM), c.mean) << c.name;
        EXPECT_EQ(BPMTracker::spread(head.get(), &TapTime::instBPM), c.spread) << c.name;
        while (head) head = std::move(head->next);
    }
}

TEST(BPMTracker, MetronomeCommands) {
    Fixture f;
    EXPECT_FALSE(f.tracker.metronomeIsPlaying());
    f.tracker.startStopMetronome();
    f.log.playing = true;
    EXPECT_TRUE(f.tracker.metronomeIsPlaying());
    f.tracker.startStopMetronome();
    EXPECT_EQ(f.log.calls, (Calls{"start", "stop"}));

    // Lowering the tempo below 1 does not leave the metronome running.
    f.tracker.trackLoaded(1, 10);
    f.log.calls.clear();
    f.tracker.minusBPM();
    EXPECT_EQ(f.tracker.displayBPM(), 0);
    EXPECT_EQ(f.log.calls, (Calls{"resetMetronome", "stop"}));

    BPMTracker without(f.host, nullptr);
    without.tap(0);
    without.startStopMetronome();
    EXPECT_FALSE(without.metronomeIsPlaying());
}

TEST(BPMTracker, MsSinceLastTapWraps) {
    Fixture f;
    EXPECT_EQ(f.tracker.msSinceLastTap(12345), 0u);
    f.tracker.tap(100);
    f.tracker.tap(1000);
    EXPECT_EQ(f.tracker.msSinceLastTap(1250), 250u);
    EXPECT_EQ(f.tracker.msSinceLastTap(999), UINT64_MAX);
}

}  // namespace
