// Internet date texts as instants: the date operations the application uses, on the shared
// parser of the foundation layer.
#pragma once

#include <optional>
#include <string_view>

#include "platform/Foundation/InternetDateParser.h"

// All operations may be called from any thread.
class InternetDateTime {
public:
    InternetDateTime() = delete;

    // The one parser every date operation uses, created on first use.
    static const InternetDateParser& internetDateTimeFormatter();
    // RFC 3339 first for the hint RFC3339, RFC 822 first otherwise; nullopt for a missing text.
    static std::optional<InternetDate> dateFromInternetDateTimeString(std::optional<std::string_view> text,
                                                                      DateFormatHint hint);
    static std::optional<InternetDate> dateFromRFC822String(std::string_view text);
    static std::optional<InternetDate> dateFromRFC3339String(std::string_view text);
};
