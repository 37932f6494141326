// Flattened events from the bus: the reader must reject what it cannot read and never read past
// the buffer; what it accepts flattens back to a form it reads the same way.
#include <cstdint>
#include <cstdlib>

#include "platform/AppleEvents/AECoercion.h"
#include "platform/AppleEvents/AEFlatten.h"
#include "platform/AppleEvents/AEPrint.h"
#include "platform/AppleEvents/AppleEvent.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    AEDesc desc;
    if (AEUnflattenDesc(data, static_cast<Size>(size), &desc) != noErr) return 0;
    AEDesc again;
    if (AEUnflatten(AEFlatten(desc), &again) != noErr || !(again == desc)) std::abort();
    (void)AEPrint(desc);

    // What a receiver does with an event: read the direct parameter in the types the readers use.
    constexpr DescType kReadTypes[] = {typeSInt32, typeSInt64, typeUnicodeText, typeChar,  typeEnumerated,
                                       typeType,   typeAEList, typeBoolean,     typeFSRef, typeAlias};
    for (const DescType type : kReadTypes) {
        AEDesc param;
        (void)AEGetParamDesc(&desc, keyDirectObject, type, &param);
        char buffer[16];
        (void)AEGetParamPtr(&desc, keyDirectObject, type, nullptr, buffer, sizeof buffer, nullptr);
        AEDesc coerced;
        (void)AECoerceDesc(&desc, type, &coerced);
    }
    long count = 0;
    if (AECountItems(&desc, &count) == noErr) {
        AEDesc item;
        for (long i = 1; i <= count && i <= 4; ++i)
            (void)AEGetNthDesc(&desc, i, typeWildCard, nullptr, &item);
    }
    return 0;
}
