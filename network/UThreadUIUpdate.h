// The worker's only way back to the user interface: notifications posted so that they are
// delivered on the main thread, in the order they were posted. The worker never waits for them.
#pragma once

#include <array>
#include <cstdint>

#include "network/UIAlert.h"
#include "platform/Carbon/MacTypes.h"

// The record posted with "DoUIUpdate" under "UIUpdateStruct"; the new-version alert reads it.
struct UIUpdateStruct {
    std::array<uint8_t, 120> bytes{};
    static constexpr size_t kCodeOffset = 16;
    static constexpr size_t kFlagOffset = 36;
    int16_t Code() const;
    void SetCode(int16_t code);
    uint8_t Flag() const { return bytes[kFlagOffset]; }
    void SetFlag(uint8_t flag) { bytes[kFlagOffset] = flag; }
};

// A sheet the worker would ask for: three pointer-sized fields and the code of its button.
// Nothing in the application asks for one, and asking shows nothing.
struct UISheetStruct {
    std::array<void*, 3> fields{};
    OSType button{0};
};

inline constexpr OSType kUISheetOK = fourCC("ok  ");

inline constexpr const char* kUIUpdateStructKey = "UIUpdateStruct";
inline constexpr int16_t kVersionIsCurrentAlert = 64;
inline constexpr int16_t kCantCheckVersionAlert = 65;
inline constexpr int16_t kUpdateNewerVersion = 13;
inline constexpr int16_t kUpdateQueueEmpty = 27;
inline constexpr int16_t kUpdateDiskFull = 45;
inline constexpr int16_t kUpdateMajorVersion = 60;

enum class EThreadNotification : int {
    kFeedbackSucceeded = 0,
    kFeedbackFailed = 1,
    kErrorsUpdateAndSelect = 2,
    kErrorsUpdateNoSelect = 3,
};

namespace UThreadUIUpdate {

void InitUIUpdateStruct(UIUpdateStruct& update);
// The kind arguments are not used; they name who asked.
void DoUIAlert(const UIAlertStruct& alert, int kind = 0);
void DoCocoaUIAlert(const UIAlertStruct& alert);
void DoUIUpdate(const UIUpdateStruct& update, int kind = 0);
void DoCocoaUIUpdate(const UIUpdateStruct& update);
// The fields zero, the button 'ok  '.
void InitUISheetStruct(UISheetStruct& sheet);
// Do nothing.
void DoUISheet(const UISheetStruct& sheet, int kind = 0);
void DoCocoaUISheet(const UISheetStruct& sheet);
// Posts the notification of the kind with the object; an unknown kind posts nothing.
void DoPostNotification(int kind, const void* object);
// The name a kind posts, or null.
const char* NotificationName(int kind);

}  // namespace UThreadUIUpdate
