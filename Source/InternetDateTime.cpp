#include "Source/InternetDateTime.h"

const InternetDateParser& InternetDateTime::internetDateTimeFormatter() {
    return InternetDateParser::shared();
}

std::optional<InternetDate> InternetDateTime::dateFromInternetDateTimeString(
    std::optional<std::string_view> text, DateFormatHint hint) {
    return internetDateTimeFormatter().dateFromInternetDateTimeString(text, hint);
}

std::optional<InternetDate> InternetDateTime::dateFromRFC822String(std::string_view text) {
    return internetDateTimeFormatter().dateFromRFC822String(text);
}

std::optional<InternetDate> InternetDateTime::dateFromRFC3339String(std::string_view text) {
    return internetDateTimeFormatter().dateFromRFC3339String(text);
}
