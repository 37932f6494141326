#include <gtest/gtest.h>

#include <QProcess>
#include <QTest>
#include <QTextBrowser>

#include "Source/AboutWindowController.h"
#include "network/RunningVersion.h"
#include "platform/AppKit/Alert.h"
#include "platform/AppKit/TextField.h"
#include "platform/AppKit/URLOpener.h"
#include "platform/AppKit/Window.h"
#include "tests/Source/ViewTestApplication.h"

namespace {

TEST(AboutWindow, ShowsNameVersionAndCreditsAndIsMadeAfreshAfterItCloses) {
    viewTestApplication();
    AboutWindowController& about = AboutWindowController::aboutController();
    EXPECT_EQ(&AboutWindowController::aboutController(), &about) << "one shared controller";
    about.showWindow();
    EXPECT_TRUE(about.window()->isVisible());
    EXPECT_EQ(about.appNameField()->stringValue(), "Beatwick");
    EXPECT_EQ(about.versionField()->stringValue(), "1.6 (160)");
    // The bundle's version is the one the feedback form sends and the version check compares.
    EXPECT_EQ(about.versionField()->stringValue(),
              std::string(kRunningVersionText) + " (" + std::to_string(kRunningVersion) + ")");
    EXPECT_TRUE(about.creditsField()->toPlainText().contains("The Beatwick team"));

    about.window()->performClose();
    QTest::qWait(0);
    EXPECT_EQ(AboutWindowController::existingController(), nullptr) << "closing lets the controller go";
}

TEST(AboutWindow, CreditLinksOpenInTheBrowserOrAreNamedInAnAlert) {
    viewTestApplication();
    struct : AlertPresenter {
        std::vector<std::string> informativeTexts;
        std::vector<Window*> sheetWindows;
        void present(const NSAlert& alert, Window* sheet,
                     std::function<void(NSModalResponse)> done) override {
            informativeTexts.push_back(alert.informativeText);
            sheetWindows.push_back(sheet);
            done(NSAlertFirstButtonReturn);
        }
    } presenter;
    AlertPresenter::setCurrent(&presenter);
    std::vector<std::string> opened;
    bool browser = true;
    URLOpener::setOpener([&](const std::string& url) {
        opened.push_back(url);
        return browser;
    });
    AboutWindowController& about = AboutWindowController::aboutController();
    about.showWindow();
    emit about.creditsField()->anchorClicked(QUrl("https://www.orvo.example/beatwick/"));
    EXPECT_EQ(opened, std::vector<std::string>{"https://www.orvo.example/beatwick/"});
    EXPECT_TRUE(presenter.informativeTexts.empty());
    browser = false;
    emit about.creditsField()->anchorClicked(QUrl("https://www.orvo.example/credits/"));
    URLOpener::setOpener(nullptr);
    AlertPresenter::setCurrent(nullptr);
    ASSERT_EQ(presenter.informativeTexts.size(), 1u);
    EXPECT_NE(presenter.informativeTexts[0].find("https://www.orvo.example/credits/"), std::string::npos)
        << presenter.informativeTexts[0];
    EXPECT_EQ(presenter.sheetWindows[0], about.window());
    about.window()->performClose();
    QTest::qWait(0);
}

// A Quit while the window is open: the window must go with the application object, before Qt's
// own statics, never with the process's exit handlers.
TEST(AboutWindow, AQuitWithTheWindowOpenLetsItGoWithTheApplication) {
    QProcess quit;
    quit.start(QUIT_WITH_ABOUT_OPEN, QStringList{});
    ASSERT_TRUE(quit.waitForFinished(60000));
    EXPECT_EQ(quit.exitStatus(), QProcess::NormalExit) << quit.readAllStandardError().toStdString();
    EXPECT_EQ(quit.exitCode(), 0) << "1: the window outlived the application object";
}

}  // namespace
