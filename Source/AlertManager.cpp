#include "Source/AlertManager.h"

#include "core/UAlertStrings.h"
#include "platform/AppKit/Window.h"
#include "platform/Foundation/Bundle.h"

AlertManager& AlertManager::sharedAlertManager() {
    static AlertManager shared;
    return shared;
}

NSAlert AlertManager::alertFor(short alertNumber, short defaultTextNumber, NSAlertStyle style) {
    NSAlert alert;
    alert.messageText = GetAlertCFString(kAlertSummaryKind, alertNumber).value_or("");
    alert.informativeText = GetAlertCFString(kAlertExplanationKind, alertNumber).value_or("");
    alert.addButtonWithTitle(GetAlertCFString(kAlertDefaultButtonKind, defaultTextNumber).value_or(""));
    alert.alertStyle = style;
    return alert;
}

void AlertManager::displayAlert(short alertNumber, short defaultTextNumber, NSAlertStyle style,
                                bool useSheet) {
    NSAlert alert = alertFor(alertNumber, defaultTextNumber, style);
    Window* window = useSheet && mController ? mController->window() : nullptr;
    if (window && window->isVisible() && window->isKeyWindow())
        alert.beginSheetModalForWindow(window, [](NSModalResponse) {});
    else
        alert.runModal();
}

bool AlertManager::displayAlertWithCancel(short alertNumber, short defaultTextNumber) {
    NSAlert alert = alertFor(alertNumber, defaultTextNumber, NSAlertStyle::Warning);
    alert.addButtonWithTitle(NSBundle::mainBundle().localizedStringForKey("Cancel", "", "Alerts"));
    return alert.runModal() == NSAlertFirstButtonReturn;
}
