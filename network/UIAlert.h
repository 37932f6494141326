// The record the network worker sends with a "DoUIAlert" notification: an alert number and a
// style flag (1 informational, anything else warning), two signed 16-bit values in the machine's
// byte order, 4 bytes of data under the user-info key "UIAlertStruct".
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <vector>

struct UIAlertStruct {
    int16_t alertNumber{0};
    int16_t style{0};
};
static_assert(sizeof(UIAlertStruct) == 4, "the record travels as 4 bytes");

inline constexpr const char* kUIAlertStructKey = "UIAlertStruct";
inline constexpr int16_t kUIAlertInformational = 1;

inline void InitUIAlertStruct(UIAlertStruct& alert) {
    alert = UIAlertStruct{};
}

inline std::vector<uint8_t> UIAlertStructBytes(const UIAlertStruct& alert) {
    std::vector<uint8_t> bytes(sizeof alert);
    std::memcpy(bytes.data(), &alert, sizeof alert);
    return bytes;
}

// Data of any other length is no record.
inline std::optional<UIAlertStruct> UIAlertStructFromBytes(std::span<const uint8_t> bytes) {
    if (bytes.size() != sizeof(UIAlertStruct)) return std::nullopt;
    UIAlertStruct alert;
    InitUIAlertStruct(alert);
    std::memcpy(&alert, bytes.data(), sizeof alert);
    return alert;
}
