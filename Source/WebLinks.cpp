#include "Source/WebLinks.h"

#include "platform/AppKit/Alert.h"
#include "platform/AppKit/URLOpener.h"
#include "platform/AppKit/Window.h"
#include "platform/Foundation/Bundle.h"

bool openWebLink(const std::string& url, Window* window) {
    if (URLOpener::openURL(url)) return true;
    NSAlert alert;
    alert.messageText = NSLocalizedString("The page could not be opened", "");
    std::string text = NSLocalizedString("NOBROWSER", "");
    if (const auto at = text.find("%@"); at != std::string::npos) text.replace(at, 2, url);
    alert.informativeText = text;
    alert.alertStyle = NSAlertStyle::Warning;
    alert.addButtonWithTitle(NSLocalizedString("OK", ""));
    if (window && window->isVisible())
        alert.beginSheetModalForWindow(window, nullptr);
    else
        alert.runModal();
    return false;
}
