// Build texts: the parser must answer every text with a tree or an error, reading nothing past
// it; every tree it makes survives the flattened form and prints.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/AppleEvents/AEBuild.h"
#include "platform/AppleEvents/AEFlatten.h"
#include "platform/AppleEvents/AEPrint.h"
#include "platform/AppleEvents/AppleEvent.h"

namespace {

void check(const AEDesc& desc) {
    AEDesc back;
    if (AEUnflatten(AEFlatten(desc), &back) != noErr || !(back == desc)) std::abort();
    (void)AEPrint(desc);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A copy of exactly `size` bytes, so that any read past the text is caught.
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    static const AEDesc container = AEDesc::makeRecord(typeObjectSpecifier);
    static const uint8_t bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    static Handle handle = [] {
        Handle h = nullptr;
        PtrToHand("/Music/a.mp3", &h, 12);
        return h;
    }();

    AEDesc desc;
    if (AEBuildDesc(&desc, nullptr, text) == noErr) check(desc);
    if (AEBuildDesc(&desc, nullptr, text, &container) == noErr) check(desc);
    if (AEBuildDesc(&desc, nullptr, text, 8, bytes) == noErr) check(desc);
    if (AEBuildDesc(&desc, nullptr, text, 120) == noErr) check(desc);
    if (AEBuildDesc(&desc, nullptr, text, handle, &container) == noErr) check(desc);

    const pid_t pid = 4242;
    AppleEvent event;
    if (AEBuildAppleEvent(kCoreEventClass, kAEGetData, typeKernelProcessID, &pid, sizeof pid,
                          kAutoGenerateReturnID, kAnyTransactionID, &event, nullptr, text, &container,
                          &container) == noErr)
        check(event);
    return 0;
}
