#include "Source/RatingReminder.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <array>
#include <utility>

#include "platform/AppKit/Window.h"
#include "platform/Foundation/Bundle.h"
#include "platform/Foundation/UserDefaults.h"

namespace {

constexpr const char* kLaunchNumKey = "LaunchNum";
constexpr const char* kLastReminderKey = "RatedLastReminder";
constexpr const char* kHaveThankedKey = "HaveThanked";
constexpr const char* kVersionRatedKey = "RatedVersionRated";
constexpr const char* kVersionDeclinedKey = "RatedVersionDeclined";

std::string localized(const char* key) {
    return NSBundle::mainBundle().localizedStringForKey(key, "", "");
}

// Calls back once when the window it watches is shown.
class ShowWatcher : public QObject {
public:
    ShowWatcher(Window& window, std::function<void()> shown) : fShown(std::move(shown)) {
        window.installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show && fShown) std::exchange(fShown, {})();
        return false;
    }

private:
    std::function<void()> fShown;
};

}  // namespace

RatingReminder::RatingReminder(Services services) : fServices(std::move(services)) {}

RatingReminder::~RatingReminder() = default;

void RatingReminder::thanksABunch() {
    Window* window = fServices.mainWindow ? fServices.mainWindow() : nullptr;
    if (!window) return;
    if (!window->isVisible()) {
        waitForWindow(*window);
        return;
    }
    NSUserDefaults& defaults = fServices.defaults;
    defaults.setInteger(defaults.integerForKey(kLaunchNumKey) + 1, kLaunchNumKey);
    if (!shouldAsk()) return;

    NSAlert alert;
    alert.alertStyle = NSAlertStyle::Informational;
    alert.messageText = localized("Please rate Beatwick on the Mac App Store!");
    for (const char* button : {"Rate It Now", "No, Thanks", "Remind Me Later"})
        alert.addButtonWithTitle(localized(button));
    alert.beginSheetModalForWindow(window, [this, alive = std::weak_ptr<int>(fAlive)](NSModalResponse code) {
        if (!alive.expired()) rateItSheetClosed(code);
    });
}

void RatingReminder::waitForWindow(Window& window) {
    // Waits for the window's showing rather than looking again and again.
    if (fWaiting) return;
    fWaiting = std::make_unique<ShowWatcher>(window, [this, alive = std::weak_ptr<int>(fAlive)] {
        // After the show itself, so the sheet has a shown window to go on.
        QTimer::singleShot(0, QCoreApplication::instance(), [this, alive] {
            if (alive.expired()) return;
            fWaiting.reset();
            thanksABunch();
        });
    });
}

bool RatingReminder::shouldAsk() const {
    const NSUserDefaults& defaults = fServices.defaults;
    for (const char* answered : {kVersionRatedKey, kVersionDeclinedKey})
        if (defaults.stringForKey(answered) == fServices.version) return false;
    if (defaults.integerForKey(kLaunchNumKey) < kCountsBeforeAsking) return false;
    const SInt64 last = defaults.integerForKey(kLastReminderKey);
    if (last != 0 && fServices.currentDate() < last + kReminderInterval) return false;
    if (!defaults.boolForKey(kHaveThankedKey) && defaults.boolForKey("KeepTrack") &&
        (!fServices.assignedTrackCount || fServices.assignedTrackCount() < kAssignedTracksBeforeAsking))
        return false;
    return true;
}

void RatingReminder::rateItSheetClosed(NSModalResponse returnCode) {
    struct Answer {
        NSModalResponse code;
        void (RatingReminder::*handler)();
    };
    static constexpr std::array<Answer, 3> kAnswers{
        {{NSAlertFirstButtonReturn, &RatingReminder::thankYouEndSheet},
         {NSAlertSecondButtonReturn, &RatingReminder::noThanksEndSheet},
         {NSAlertThirdButtonReturn, &RatingReminder::remindMeEndSheet}}};
    for (const Answer& answer : kAnswers)
        if (answer.code == returnCode) (this->*answer.handler)();
}

void RatingReminder::thankYouEndSheet() {
    fServices.defaults.setBool(true, kHaveThankedKey);
    fServices.defaults.setObject(PropertyList(fServices.version), kVersionRatedKey);
    if (fServices.linkAppStore) fServices.linkAppStore();
}

void RatingReminder::noThanksEndSheet() {
    fServices.defaults.setObject(PropertyList(fServices.version), kVersionDeclinedKey);
}

void RatingReminder::remindMeEndSheet() {
    fServices.defaults.setInteger(fServices.currentDate(), kLastReminderKey);
}
