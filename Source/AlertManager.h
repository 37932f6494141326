// The presenter of the numbered alerts: their summary, explanation and default-button texts come
// from the "Alerts" strings table. Main thread only.
#pragma once

#include "platform/AppKit/Alert.h"

class Window;

// An object that has a window to attach alert sheets to.
class AlertWindowOwner {
public:
    virtual ~AlertWindowOwner() = default;
    virtual Window* window() const = 0;
};

class AlertManager {
public:
    AlertManager(const AlertManager&) = delete;
    AlertManager& operator=(const AlertManager&) = delete;

    AlertManager() = default;
    // Created on first use.
    static AlertManager& sharedAlertManager();

    // Not owned; null unless set.
    void setController(const AlertWindowOwner* controller) { mController = controller; }
    const AlertWindowOwner* controller() const { return mController; }

    // A sheet on the controller's window when asked for and that window is visible and key,
    // else a modal alert. The texts missing from the table are empty.
    void displayAlert(short alertNumber, short defaultTextNumber, NSAlertStyle style, bool useSheet);
    // A modal warning with the default button and "Cancel"; true when the default was chosen.
    bool displayAlertWithCancel(short alertNumber, short defaultTextNumber);

private:
    static NSAlert alertFor(short alertNumber, short defaultTextNumber, NSAlertStyle style);

    const AlertWindowOwner* mController{nullptr};
};
