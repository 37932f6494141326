// Internet date texts come from HTTP headers and feeds: any bytes must give a date or nothing.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/Foundation/InternetDateParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const InternetDateParser& parser = InternetDateParser::shared();
    (void)parser.dateFromInternetDateTimeString(text, DateFormatHint::RFC822);
    (void)parser.dateFromInternetDateTimeString(text, DateFormatHint::RFC3339);
    if (auto format = DateFormat::compile(text)) (void)format->parse(text);
    return 0;
}
