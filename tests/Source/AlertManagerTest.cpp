#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "Source/AlertManager.h"
#include "platform/AppKit/Window.h"
#include "tests/Source/ViewTestApplication.h"

namespace {

struct Shown {
    std::string message, informative;
    std::vector<std::string> buttons;
    NSAlertStyle style;
    bool sheet;
};

struct Presenter : AlertPresenter {
    std::vector<Shown> shown;
    NSModalResponse answer{NSAlertFirstButtonReturn};
    void present(const NSAlert& alert, Window* sheetWindow,
                 std::function<void(NSModalResponse)> done) override {
        shown.push_back({alert.messageText, alert.informativeText, alert.buttonTitles(), alert.alertStyle,
                         sheetWindow != nullptr});
        done(answer);
    }
};

struct Owner : AlertWindowOwner {
    Window* mWindow{nullptr};
    Window* window() const override { return mWindow; }
};

struct AlertManagerTest : ::testing::Test {
    QApplication& app = viewTestApplication();
    Presenter presenter;
    AlertManager manager;
    void SetUp() override { AlertPresenter::setCurrent(&presenter); }
    void TearDown() override { AlertPresenter::setCurrent(nullptr); }
};

TEST_F(AlertManagerTest, TextsComeFromTheAlertsTable) {
    manager.displayAlert(64, 1, NSAlertStyle::Informational, false);
    manager.displayAlert(999, 99, NSAlertStyle::Critical, false);
    ASSERT_EQ(presenter.shown.size(), 2u);
    EXPECT_EQ(presenter.shown[0].message, "You have the latest version.");
    EXPECT_EQ(presenter.shown[0].informative, "No newer version of Beatwick is available.");
    EXPECT_EQ(presenter.shown[0].buttons, std::vector<std::string>{"OK"});
    EXPECT_EQ(presenter.shown[0].style, NSAlertStyle::Informational);
    EXPECT_EQ(presenter.shown[1].message, "") << "an unknown number has empty texts, never a crash";
}

TEST_F(AlertManagerTest, ASheetOnlyOnTheControllersVisibleKeyWindowWhenAskedFor) {
    Window window(NSSize{200, 100});
    Owner owner;
    owner.mWindow = &window;
    manager.displayAlert(65, 1, NSAlertStyle::Warning, true);  // no controller
    manager.setController(&owner);
    manager.displayAlert(65, 1, NSAlertStyle::Warning, true);  // window hidden
    window.makeKeyAndOrderFront();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    manager.displayAlert(65, 1, NSAlertStyle::Warning, false);  // no sheet wanted
    manager.displayAlert(65, 1, NSAlertStyle::Warning, true);
    ASSERT_EQ(presenter.shown.size(), 4u);
    EXPECT_FALSE(presenter.shown[0].sheet);
    EXPECT_FALSE(presenter.shown[1].sheet);
    EXPECT_FALSE(presenter.shown[2].sheet);
    EXPECT_TRUE(presenter.shown[3].sheet);
}

TEST_F(AlertManagerTest, WithCancelAnswersWhetherTheDefaultWasChosen) {
    EXPECT_TRUE(manager.displayAlertWithCancel(75, 19));
    presenter.answer = NSAlertSecondButtonReturn;
    EXPECT_FALSE(manager.displayAlertWithCancel(75, 19));
    ASSERT_EQ(presenter.shown.size(), 2u);
    EXPECT_EQ(presenter.shown[0].buttons, (std::vector<std::string>{"Close", "Cancel"}));
    EXPECT_EQ(presenter.shown[0].style, NSAlertStyle::Warning);
    EXPECT_FALSE(presenter.shown[0].sheet);
}

}  // namespace
