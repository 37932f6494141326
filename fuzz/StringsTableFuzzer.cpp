// Feeds arbitrary bytes to the ".strings" parser: it must stop at the end and never crash.
#include <cstddef>
#include <cstdint>

#include "platform/Foundation/StringsTable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const StringsTable table = StringsTable::parse({data, size});
    (void)table.lookup("key");
    return 0;
}
