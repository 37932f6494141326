#include "Source/NewVersionAlert.h"

#include <algorithm>
#include <array>

#include "network/UThreadUIUpdate.h"
#include "platform/Foundation/Bundle.h"
#include "platform/Foundation/NotificationCenter.h"
#include "platform/Foundation/UserDefaults.h"

namespace {

struct UpdateKind {
    int16_t code;
    bool major;
};
constexpr std::array<UpdateKind, 2> kUpdateKinds{{{kUpdateNewerVersion, false}, {kUpdateMajorVersion, true}}};

std::string alertText(const char* key) {
    return NSBundle::mainBundle().localizedStringForKey(key, "", "Alerts");
}

}  // namespace

NewVersionAlert::NewVersionAlert(Services services) : fServices(std::move(services)) {}

std::optional<bool> NewVersionAlert::majorUpdateIn(const NSNotification& notification) {
    if (!notification.userInfo) return std::nullopt;
    const auto entry = notification.userInfo->find(kUIUpdateStructKey);
    if (entry == notification.userInfo->end()) return std::nullopt;
    const PropertyList::Data* data = entry->second.data();
    UIUpdateStruct update;
    // Data of another length is no update record.
    if (!data || data->size() != update.bytes.size()) return std::nullopt;
    std::copy(data->begin(), data->end(), update.bytes.begin());
    const auto kind = std::find_if(kUpdateKinds.begin(), kUpdateKinds.end(),
                                   [&](const UpdateKind& k) { return k.code == update.Code(); });
    if (kind == kUpdateKinds.end()) return std::nullopt;
    return kind->major;
}

void NewVersionAlert::newVersionAvailable(bool forMajorUpdate) {
    if (fOpen) return;
    fOpen = true;
    NSAlert alert;
    alert.alertStyle = NSAlertStyle::Informational;
    alert.messageText = alertText(forMajorUpdate ? "ALERTS_VardluxMajorRelease" : "ALERTS_VardluxUpdated");
    alert.informativeText =
        alertText(forMajorUpdate ? "ALERTE_VardluxMajorRelease" : "ALERTE_VardluxUpdated");
    alert.addButtonWithTitle(alertText("Get It"));
    alert.addButtonWithTitle(alertText("Cancel"));
    alert.showsSuppressionButton = true;
    alert.suppressionButtonTitle =
        NSBundle::mainBundle().localizedStringForKey("Stop checking for updates", "", "");
    // The handler keeps a copy: it shares the check box's state with the alert shown.
    alert.beginSheetModalForWindow(fServices.sheetWindow ? fServices.sheetWindow() : nullptr,
                                   [this, alive = std::weak_ptr<int>(fAlive), alert](NSModalResponse code) {
                                       if (alive.expired()) return;
                                       newVersionAlertDidEnd(code, alert.suppressionButtonState());
                                   });
}

void NewVersionAlert::newVersionAlertDidEnd(NSModalResponse returnCode, bool stopChecking) {
    fOpen = false;
    if (stopChecking) fServices.defaults.setBool(false, "CheckForUpdates");
    if (returnCode == NSAlertFirstButtonReturn && fServices.linkHomepage) fServices.linkHomepage();
}
