#include "network/UThreadUIUpdate.h"

#include <cstring>

#include "platform/Foundation/NotificationCenterAdditions.h"

int16_t UIUpdateStruct::Code() const {
    int16_t code;
    std::memcpy(&code, bytes.data() + kCodeOffset, sizeof code);
    return code;
}

void UIUpdateStruct::SetCode(int16_t code) {
    std::memcpy(bytes.data() + kCodeOffset, &code, sizeof code);
}

namespace UThreadUIUpdate {

void InitUIUpdateStruct(UIUpdateStruct& update) {
    std::memset(update.bytes.data(), 0, 40);
}

void DoUIAlert(const UIAlertStruct& alert, int) {
    DoCocoaUIAlert(alert);
}

void DoCocoaUIAlert(const UIAlertStruct& alert) {
    PropertyList::Dictionary info{{kUIAlertStructKey, PropertyList(UIAlertStructBytes(alert))}};
    postNotificationOnMainThreadWithName(NSNotificationCenter::defaultCenter(), "DoUIAlert", nullptr,
                                         std::move(info));
}

void DoUIUpdate(const UIUpdateStruct& update, int) {
    DoCocoaUIUpdate(update);
}

void DoCocoaUIUpdate(const UIUpdateStruct& update) {
    PropertyList::Data data(update.bytes.begin(), update.bytes.end());
    PropertyList::Dictionary info{{kUIUpdateStructKey, PropertyList(std::move(data))}};
    postNotificationOnMainThreadWithName(NSNotificationCenter::defaultCenter(), "DoUIUpdate", nullptr,
                                         std::move(info));
}

void InitUISheetStruct(UISheetStruct& sheet) {
    sheet.fields.fill(nullptr);
    sheet.button = kUISheetOK;
}

void DoUISheet(const UISheetStruct& sheet, int) {
    DoCocoaUISheet(sheet);
}

void DoCocoaUISheet(const UISheetStruct&) {}

const char* NotificationName(int kind) {
    static constexpr const char* kNames[] = {"FeedbackSucceeded", "FeedbackFailed", "ErrorsUpdateAndSelect",
                                             "ErrorsUpdateNoSelect"};
    return kind >= 0 && kind < 4 ? kNames[kind] : nullptr;
}

void DoPostNotification(int kind, const void* object) {
    const char* name = NotificationName(kind);
    if (!name) return;
    postNotificationOnMainThreadWithName(NSNotificationCenter::defaultCenter(), name, object);
}

}  // namespace UThreadUIUpdate
