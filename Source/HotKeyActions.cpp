#include "Source/HotKeyActions.h"

#include "Source/HotKeyActionsHost.h"

void HotKeyActions::hotKey1Action() {
    fRunningApplication.reset();
    if (auto active = fHost.activeApplication())
        fRunningApplication =
            NSRunningApplication::runningApplicationWithProcessIdentifier(active->processIdentifier);
    fHost.activateIgnoringOtherApps();
    fHost.showMainWindow();
}
