#include "Source/HotKeyActions.h"

#include "Source/HotKeyActionsHost.h"

void HotKeyActions::hotKey1Action() {
    fPreviousWindow = fHost.activeWindow();
    fHost.activateIgnoringOtherApps();
    fHost.showMainWindow();
}
