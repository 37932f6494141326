#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Source/NewVersionAlert.h"
#include "network/UThreadUIUpdate.h"
#include "platform/AppKit/Alert.h"
#include "platform/AppKit/Window.h"
#include "platform/Foundation/NotificationCenter.h"
#include "platform/Foundation/Preferences.h"
#include "platform/Foundation/UserDefaults.h"
#include "tests/Source/ViewTestApplication.h"

namespace fs = std::filesystem;

namespace {

// Keeps each alert until the test answers it, with the check box as the user left it.
struct PendingPresenter : AlertPresenter {
    struct Shown {
        std::string message, informative;
        std::vector<std::string> buttons;
        bool suppression;
        std::string suppressionTitle;
        Window* sheet;
    };
    std::vector<Shown> shown;
    std::vector<std::function<void(NSModalResponse)>> pending;
    std::vector<NSAlert> alerts;
    void present(const NSAlert& alert, Window* sheetWindow,
                 std::function<void(NSModalResponse)> done) override {
        shown.push_back({alert.messageText, alert.informativeText, alert.buttonTitles(),
                         alert.showsSuppressionButton, alert.suppressionButtonTitle, sheetWindow});
        alerts.push_back(alert);
        pending.push_back(std::move(done));
    }
    void Answer(NSModalResponse response, bool checked) {
        alerts.front().setSuppressionButtonState(checked);
        auto done = std::move(pending.front());
        pending.erase(pending.begin());
        alerts.erase(alerts.begin());
        done(response);
    }
};

NSNotification updateNotice(int16_t code, uint8_t asked) {
    UIUpdateStruct update;
    UThreadUIUpdate::InitUIUpdateStruct(update);
    update.SetCode(code);
    update.SetFlag(asked);
    PropertyList::Data data(update.bytes.begin(), update.bytes.end());
    return NSNotification{"DoUIUpdate", nullptr,
                          PropertyList::Dictionary{{kUIUpdateStructKey, PropertyList(std::move(data))}}};
}

struct NewVersionAlertTest : ::testing::Test {
    QApplication& app = viewTestApplication();
    fs::path folder =
        fs::temp_directory_path() / ("newversion-" + std::to_string(::getpid()) + "-" +
                                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
    PreferencesStore store{(folder / "prefs").string()};
    NSUserDefaults defaults{store, "com.orvo.Beatwick"};
    PendingPresenter presenter;
    Window mainWindow{NSSize{200, 100}};
    bool mainWindowVisible{true};
    int homepageOpened{0};
    std::unique_ptr<NewVersionAlert> announcer = std::make_unique<NewVersionAlert>(
        NewVersionAlert::Services{defaults, [this] { return mainWindowVisible ? &mainWindow : nullptr; },
                                  [this] { ++homepageOpened; }});

    NewVersionAlertTest() {
        defaults.setBool(true, "CheckForUpdates");
        AlertPresenter::setCurrent(&presenter);
    }
    ~NewVersionAlertTest() override {
        announcer.reset();
        AlertPresenter::setCurrent(nullptr);
        fs::remove_all(folder);
    }
};

TEST_F(NewVersionAlertTest, OnlyANewerOrAMajorVersionIsAnAnnouncement) {
    struct Case {
        const char* what;
        NSNotification notice;
        std::optional<bool> major;
    } cases[] = {
        {"a newer version, asked", updateNotice(kUpdateNewerVersion, 1), false},
        {"a newer version, weekly", updateNotice(kUpdateNewerVersion, 0), false},
        {"a major version", updateNotice(kUpdateMajorVersion, 0), true},
        {"the queue is empty", updateNotice(kUpdateQueueEmpty, 0), std::nullopt},
        {"the disk is full", updateNotice(kUpdateDiskFull, 1), std::nullopt},
        {"no record", NSNotification{"DoUIUpdate", nullptr, PropertyList::Dictionary{}}, std::nullopt},
        {"a record of another length",
         NSNotification{
             "DoUIUpdate", nullptr,
             PropertyList::Dictionary{{kUIUpdateStructKey, PropertyList(PropertyList::Data(4, 13))}}},
         std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(NewVersionAlert::majorUpdateIn(c.notice), c.major) << c.what;
}

TEST_F(NewVersionAlertTest, TextsButtonsAndWhatEachAnswerDoes) {
    struct Case {
        const char* what;
        bool major;
        NSModalResponse answer;
        bool checked;
        int opened;
        bool checking;
    } cases[] = {
        {"Get It", false, NSAlertFirstButtonReturn, false, 1, true},
        {"Cancel", true, NSAlertSecondButtonReturn, false, 0, true},
        {"Cancel and stop checking", false, NSAlertSecondButtonReturn, true, 0, false},
        {"Get It and stop checking", true, NSAlertFirstButtonReturn, true, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        defaults.setBool(true, "CheckForUpdates");
        homepageOpened = 0;
        presenter.shown.clear();
        announcer->newVersionAvailable(c.major);
        ASSERT_EQ(presenter.shown.size(), 1u);
        const PendingPresenter::Shown& shown = presenter.shown[0];
        EXPECT_EQ(shown.message, c.major ? "A new major version of Beatwick is available."
                                         : "A newer version of Beatwick is available.");
        EXPECT_EQ(shown.informative, c.major ? "It may be a paid upgrade. Choose Get It to open its web page."
                                             : "Choose Get It to open its web page.");
        EXPECT_EQ(shown.buttons, (std::vector<std::string>{"Get It", "Cancel"}));
        EXPECT_TRUE(shown.suppression);
        EXPECT_EQ(shown.suppressionTitle, "Stop checking for updates");
        EXPECT_EQ(shown.sheet, &mainWindow) << "a sheet on the visible main window";
        presenter.Answer(c.answer, c.checked);
        EXPECT_EQ(homepageOpened, c.opened);
        EXPECT_EQ(defaults.boolForKey("CheckForUpdates"), c.checking);
        EXPECT_FALSE(announcer->isOpen());
    }
}

TEST_F(NewVersionAlertTest, OneAlertAtATimeAndModalWithoutAMainWindow) {
    mainWindowVisible = false;
    announcer->newVersionAvailable(false);
    announcer->newVersionAvailable(true);
    ASSERT_EQ(presenter.shown.size(), 1u) << "a second result while one is open adds nothing";
    EXPECT_EQ(presenter.shown[0].sheet, nullptr);
    presenter.Answer(NSAlertSecondButtonReturn, false);
    announcer->newVersionAvailable(true);
    EXPECT_EQ(presenter.shown.size(), 2u);

    // An answer that comes after its announcer went changes nothing.
    announcer.reset();
    presenter.Answer(NSAlertFirstButtonReturn, true);
    EXPECT_EQ(homepageOpened, 0);
    EXPECT_TRUE(defaults.boolForKey("CheckForUpdates"));
}

}  // namespace
