// Feeds arbitrary bytes to the property-list reader; whatever it accepts must write back in both
// formats and read again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/Foundation/PropertyListSerialization.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Result<PropertyList> read = PropertyListSerialization::propertyListWithData({data, size});
    if (!read) return 0;
    Result<PropertyList::Data> binary =
        PropertyListSerialization::dataWithPropertyList(read.value(), PropertyListFormat::Binary);
    if (!binary) return 0;  // e.g. an unsigned value above INT64_MAX, refused on purpose
    Result<PropertyList> again = PropertyListSerialization::propertyListWithData(binary.value());
    if (!again) std::abort();
    Result<PropertyList::Data> xml =
        PropertyListSerialization::dataWithPropertyList(read.value(), PropertyListFormat::XML);
    if (!xml || !PropertyListSerialization::propertyListWithData(xml.value())) std::abort();
    return 0;
}
