#include <gtest/gtest.h>

#include <QProcess>
#include <QTest>
#include <QTextBrowser>

#include "Source/AboutWindowController.h"
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
    EXPECT_EQ(about.versionField()->stringValue(), "1.0 (100)");
    EXPECT_TRUE(about.creditsField()->toPlainText().contains("The Beatwick team"));

    about.window()->performClose();
    QTest::qWait(0);
    EXPECT_EQ(AboutWindowController::existingController(), nullptr) << "closing lets the controller go";
}

TEST(AboutWindow, CreditLinksOpenInTheBrowser) {
    viewTestApplication();
    std::vector<std::string> opened;
    URLOpener::setOpener([&](const std::string& url) {
        opened.push_back(url);
        return true;
    });
    AboutWindowController& about = AboutWindowController::aboutController();
    emit about.creditsField()->anchorClicked(QUrl("https://www.orvo.example/beatwick/"));
    URLOpener::setOpener(nullptr);
    EXPECT_EQ(opened, std::vector<std::string>{"https://www.orvo.example/beatwick/"});
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
