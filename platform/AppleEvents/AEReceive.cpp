#include "platform/AppleEvents/AEReceive.h"

#include "platform/AppleEvents/AEFlatten.h"
#include "platform/AppleEvents/AppleEvent.h"

namespace {

void putError(AppleEvent& reply, OSStatus status) {
    if (status == noErr || reply.find(keyErrorNumber)) return;
    const SInt32 number = status;
    AEPutParamPtr(&reply, keyErrorNumber, typeSInt32, &number, sizeof number);
}

}  // namespace

std::vector<uint8_t> AEAnswerFlattenedEvent(const std::vector<uint8_t>& bytes,
                                            const AEEventHandler& handler) {
    AppleEvent event;
    if (AEUnflatten(bytes, &event) != noErr || !event.event()) {
        AppleEvent reply = AEDesc::makeEvent(kAEAnswerClass, kAEAnswer, AEDesc(), 0, kAnyTransactionID);
        putError(reply, errAECorruptData);
        return AEFlatten(reply);
    }
    const AEEventHeader& header = *event.event();
    AppleEvent reply =
        AEDesc::makeEvent(kAEAnswerClass, kAEAnswer, AEDesc(), header.returnID, header.transactionID);
    const OSStatus status = handler ? handler(event, reply) : errAEEventNotHandled;
    putError(reply, status);
    return AEFlatten(reply);
}
