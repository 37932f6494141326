#include "platform/AppleEvents/AESend.h"

#include <limits>

#include "platform/AppleEvents/AEFlatten.h"
#include "platform/AppleEvents/AETransport.h"

SInt32 AEEffectiveTimeout(long timeOutInTicks) {
    if (timeOutInTicks == kNoTimeOut) return kNoTimeOut;
    if (timeOutInTicks < 0) return kAEDefaultTimeoutTicks;
    if (timeOutInTicks > std::numeric_limits<SInt32>::max()) return std::numeric_limits<SInt32>::max();
    return static_cast<SInt32>(timeOutInTicks);
}

OSStatus AESendMessage(const AppleEvent* event, AppleEvent* reply, AESendMode sendMode, long timeOutInTicks) {
    if (reply) reply->reset();
    if (!event || !event->event()) return errAENotAppleEvent;
    const AESendMode replyMode = sendMode & kAEReplyModeMask;
    if (replyMode != kAENoReply && replyMode != kAEWaitReply) return errAEUnknownSendMode;
    const bool waits = replyMode == kAEWaitReply;
    if (waits && !reply) return paramErr;
    const std::optional<AETarget> target = AETargetFromAddress(event->event()->address);
    if (!target) return errAEUnknownAddressType;
    const std::shared_ptr<AETransport> transport = AEGetTransport();
    if (!transport) return procNotFound;

    const SInt32 requested = timeOutInTicks < std::numeric_limits<SInt32>::min() ||
                                     timeOutInTicks > std::numeric_limits<SInt32>::max()
                                 ? AEEffectiveTimeout(timeOutInTicks)
                                 : static_cast<SInt32>(timeOutInTicks);
    const std::vector<uint8_t> bytes = AEFlattenEvent(*event, sendMode, requested);
    std::vector<uint8_t> replyBytes;
    const OSStatus status = transport->send(*target, bytes, sendMode, AEEffectiveTimeout(timeOutInTicks),
                                            waits ? &replyBytes : nullptr);
    if (status != noErr || !waits) return status;
    AppleEvent answer;
    if (AEUnflatten(replyBytes, &answer) != noErr || !answer.event()) return errAECorruptData;
    *reply = std::move(answer);
    return noErr;
}
