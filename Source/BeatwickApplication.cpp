#include "Source/BeatwickApplication.h"

#include <QWidget>

#include "Source/AboutWindowController.h"
#include "Source/Controller.h"
#include "Source/HotKeyController.h"
#include "network/NetworkManager.h"
#include "platform/AppKit/Application.h"

BeatwickApplication::BeatwickApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName("Beatwick");
    setOrganizationDomain("orvo.com");
    setQuitOnLastWindowClosed(true);
}

BeatwickApplication::~BeatwickApplication() {
    // The About window would otherwise go with the process's exit handlers, after Qt.
    AboutWindowController::releaseSharedController();
}

void BeatwickApplication::initHotKeyController(NSUserDefaults& defaults) {
    if (!fHotKeyController) fHotKeyController = std::make_unique<HotKeyController>(defaults);
}

int BeatwickApplication::run(Controller& controller) {
    controller.awakeFromNib();
    controller.applicationWillFinishLaunching();
    controller.applicationDidFinishLaunching();
    fDelegate = &controller;
    const int result = exec();
    fDelegate = nullptr;
    controller.applicationWillTerminate();
    // The worker goes before the statics it uses do.
    NetworkManager::sharedNetworkManager().safeDestroyThreads();
    return result;
}

void BeatwickApplication::reopen() {
    if (fDelegate)
        reopen(*fDelegate);
    else
        Application::sharedApplication().activateIgnoringOtherApps(true);
}

void BeatwickApplication::reopen(Controller& delegate) {
    Application::sharedApplication().activateIgnoringOtherApps(true);
    bool hasVisibleWindows = false;
    for (const QWidget* window : QApplication::topLevelWidgets())
        hasVisibleWindows = hasVisibleWindows || (window->isVisible() && !window->isMinimized());
    // The answer asks for the desktop's own handling, which has nothing to add here.
    delegate.applicationShouldHandleReopen(hasVisibleWindows);
}
