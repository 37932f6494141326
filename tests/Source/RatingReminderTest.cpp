#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Source/RatingReminder.h"
#include "platform/AppKit/Alert.h"
#include "platform/AppKit/Window.h"
#include "platform/Foundation/Preferences.h"
#include "platform/Foundation/UserDefaults.h"
#include "tests/Source/ViewTestApplication.h"

namespace fs = std::filesystem;

namespace {

// Keeps each sheet until the test answers it.
struct SheetPresenter : AlertPresenter {
    struct Shown {
        std::string message;
        std::vector<std::string> buttons;
        Window* sheet;
    };
    std::vector<Shown> shown;
    std::vector<std::function<void(NSModalResponse)>> pending;
    void present(const NSAlert& alert, Window* sheetWindow,
                 std::function<void(NSModalResponse)> done) override {
        shown.push_back({alert.messageText, alert.buttonTitles(), sheetWindow});
        pending.push_back(std::move(done));
    }
    void Answer(NSModalResponse response) {
        auto done = std::move(pending.front());
        pending.erase(pending.begin());
        done(response);
    }
};

constexpr SInt64 kNow = 800'000'000;

struct RatingReminderTest : ::testing::Test {
    QApplication& app = viewTestApplication();
    fs::path folder =
        fs::temp_directory_path() / ("rating-" + std::to_string(::getpid()) + "-" +
                                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::unique_ptr<PreferencesStore> store;
    std::unique_ptr<NSUserDefaults> defaults;
    SheetPresenter presenter;
    Window mainWindow{NSSize{200, 100}};
    size_t assigned{0};
    int storeOpened{0};
    std::unique_ptr<RatingReminder> reminder;

    RatingReminderTest() { AlertPresenter::setCurrent(&presenter); }
    ~RatingReminderTest() override {
        reminder.reset();
        AlertPresenter::setCurrent(nullptr);
        fs::remove_all(folder);
    }
    // A fresh reminder over fresh defaults.
    void Make() {
        reminder.reset();
        fs::remove_all(folder);
        store = std::make_unique<PreferencesStore>((folder / "prefs").string());
        defaults = std::make_unique<NSUserDefaults>(*store, "com.orvo.Beatwick");
        presenter.shown.clear();
        presenter.pending.clear();
        storeOpened = 0;
        reminder = std::make_unique<RatingReminder>(
            RatingReminder::Services{*defaults, [this] { return &mainWindow; }, [this] { return assigned; },
                                     [] { return kNow; }, [this] { ++storeOpened; }, "1.6"});
    }
};

TEST_F(RatingReminderTest, AsksOnlyWhenItsCountersAllow) {
    mainWindow.show();
    struct Case {
        const char* what;
        SInt64 countBefore;
        std::optional<SInt64> lastReminder;
        const char* rated;
        const char* declined;
        bool keepTrack;
        bool thanked;
        size_t assigned;
        bool asks;
    } cases[] = {
        {"the third count", 2, std::nullopt, nullptr, nullptr, false, false, 0, true},
        {"the second count", 1, std::nullopt, nullptr, nullptr, false, false, 0, false},
        {"rated this version", 5, std::nullopt, "1.6", nullptr, false, false, 0, false},
        {"declined this version", 5, std::nullopt, nullptr, "1.6", false, false, 0, false},
        {"declined an older version", 5, std::nullopt, nullptr, "1.5", false, false, 0, true},
        {"a second short of three days", 5, kNow - 259199, nullptr, nullptr, false, false, 0, false},
        {"three days after a reminder", 5, kNow - 259200, nullptr, nullptr, false, false, 0, true},
        {"keeping track, four tracks", 5, std::nullopt, nullptr, nullptr, true, false, 4, false},
        {"keeping track, five tracks", 5, std::nullopt, nullptr, nullptr, true, false, 5, true},
        {"keeping track, thanked before", 5, std::nullopt, nullptr, "1.5", true, true, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Make();
        defaults->setInteger(c.countBefore, "LaunchNum");
        if (c.lastReminder) defaults->setInteger(*c.lastReminder, "RatedLastReminder");
        if (c.rated) defaults->setObject(PropertyList(std::string(c.rated)), "RatedVersionRated");
        if (c.declined) defaults->setObject(PropertyList(std::string(c.declined)), "RatedVersionDeclined");
        defaults->setBool(c.keepTrack, "KeepTrack");
        defaults->setBool(c.thanked, "HaveThanked");
        assigned = c.assigned;
        reminder->thanksABunch();
        EXPECT_EQ(defaults->integerForKey("LaunchNum"), c.countBefore + 1);
        EXPECT_EQ(presenter.shown.size(), c.asks ? 1u : 0u);
    }
}

TEST_F(RatingReminderTest, EachAnswerIsKept) {
    mainWindow.show();
    struct Case {
        const char* what;
        NSModalResponse answer;
        int opened;
        const char* rated;
        const char* declined;
        SInt64 lastReminder;
        bool thanked;
    } cases[] = {
        {"Rate It Now", NSAlertFirstButtonReturn, 1, "1.6", nullptr, 0, true},
        {"No, Thanks", NSAlertSecondButtonReturn, 0, nullptr, "1.6", 0, false},
        {"Remind Me Later", NSAlertThirdButtonReturn, 0, nullptr, nullptr, kNow, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Make();
        defaults->setInteger(2, "LaunchNum");
        reminder->thanksABunch();
        ASSERT_EQ(presenter.shown.size(), 1u);
        EXPECT_EQ(presenter.shown[0].message, "Please rate Beatwick on the Mac App Store!");
        EXPECT_EQ(presenter.shown[0].buttons,
                  (std::vector<std::string>{"Rate It Now", "No, Thanks", "Remind Me Later"}));
        EXPECT_EQ(presenter.shown[0].sheet, &mainWindow);
        presenter.Answer(c.answer);
        EXPECT_EQ(storeOpened, c.opened);
        EXPECT_EQ(defaults->stringForKey("RatedVersionRated"),
                  c.rated ? std::optional<std::string>(c.rated) : std::nullopt);
        EXPECT_EQ(defaults->stringForKey("RatedVersionDeclined"),
                  c.declined ? std::optional<std::string>(c.declined) : std::nullopt);
        EXPECT_EQ(defaults->integerForKey("RatedLastReminder"), c.lastReminder);
        EXPECT_EQ(defaults->boolForKey("HaveThanked"), c.thanked);

        // The same version is not asked again once answered; put off, not for three days.
        reminder->thanksABunch();
        EXPECT_EQ(presenter.shown.size(), 1u);
    }
}

// A hidden main window is waited for, and shown, it gets the sheet.
TEST_F(RatingReminderTest, WaitsForTheMainWindowToBeShown) {
    Make();
    defaults->setInteger(2, "LaunchNum");
    reminder->thanksABunch();
    reminder->thanksABunch();
    EXPECT_TRUE(presenter.shown.empty());
    EXPECT_TRUE(reminder->isWaitingForWindow());
    EXPECT_EQ(defaults->integerForKey("LaunchNum"), 2) << "nothing counted before the window shows";
    mainWindow.show();
    QCoreApplication::processEvents();
    ASSERT_EQ(presenter.shown.size(), 1u);
    EXPECT_EQ(presenter.shown[0].sheet, &mainWindow);
    EXPECT_FALSE(reminder->isWaitingForWindow());
    EXPECT_EQ(defaults->integerForKey("LaunchNum"), 3);
}

}  // namespace
