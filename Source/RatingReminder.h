// The reminder that asks the user to rate Beatwick in the store, as a sheet on the main window
// once that is visible: "Rate It Now" opens the store page, "No, Thanks" and "Remind Me Later"
// close it. It asks at most once per version (rated or declined), not before its third count,
// not within three days of a reminder put off, and, until the user has rated it with "KeepTrack"
// on, not before five tracks were assigned. Its counters live in the defaults. Nothing in the
// application opens it yet. Main thread only.
#pragma once

#include <QObject>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "platform/AppKit/Alert.h"
#include "platform/Carbon/MacTypes.h"

class NSUserDefaults;

class RatingReminder {
public:
    RatingReminder(const RatingReminder&) = delete;
    RatingReminder& operator=(const RatingReminder&) = delete;

    static constexpr SInt64 kReminderInterval = 259200;
    static constexpr SInt64 kCountsBeforeAsking = 3;
    static constexpr size_t kAssignedTracksBeforeAsking = 5;

    struct Services {
        NSUserDefaults& defaults;
        std::function<Window*()> mainWindow;
        std::function<size_t()> assignedTrackCount;
        std::function<SInt64()> currentDate;  // seconds since 2001
        std::function<void()> linkAppStore;
        std::string version;  // the running version's text
    };
    explicit RatingReminder(Services services);
    ~RatingReminder();

    // Counts one more time and asks when the rules allow; with the main window hidden, waits for
    // it to be shown first.
    void thanksABunch();
    void rateItSheetClosed(NSModalResponse returnCode);
    void thankYouEndSheet();
    void noThanksEndSheet();
    void remindMeEndSheet();
    bool isWaitingForWindow() const { return fWaiting != nullptr; }

private:
    bool shouldAsk() const;
    void waitForWindow(Window& window);

    Services fServices;
    std::unique_ptr<QObject> fWaiting;
    // A sheet that ends after the reminder is gone changes nothing.
    std::shared_ptr<int> fAlive = std::make_shared<int>(0);
};
