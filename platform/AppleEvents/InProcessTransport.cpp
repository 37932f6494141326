#include "platform/AppleEvents/InProcessTransport.h"

#include "platform/AppleEvents/AEFlatten.h"

void InProcessTransport::addApplication(SInt32 processID, OSType signature, Receiver receiver) {
    std::lock_guard lock(fMutex);
    fApplications.push_back(Application{processID, signature, std::move(receiver)});
}

void InProcessTransport::addHandler(SInt32 processID, OSType signature, AEEventHandler handler) {
    addApplication(processID, signature, [handler = std::move(handler)](const std::vector<uint8_t>& event) {
        return AEAnswerFlattenedEvent(event, handler);
    });
}

void InProcessTransport::removeApplication(SInt32 processID) {
    std::lock_guard lock(fMutex);
    std::erase_if(fApplications, [processID](const Application& app) { return app.processID == processID; });
}

void InProcessTransport::setReplyDelay(UInt32 ticks) {
    std::lock_guard lock(fMutex);
    fReplyDelay = ticks;
}

void InProcessTransport::setDropReplies(bool drop) {
    std::lock_guard lock(fMutex);
    fDropReplies = drop;
}

void InProcessTransport::setFailure(OSStatus status) {
    std::lock_guard lock(fMutex);
    fFailure = status;
}

void InProcessTransport::wait(UInt32 ticks) {
    if (fClock && ticks > 0) fClock->advance(ticks);
}

void InProcessTransport::record(const AETarget& target, const std::vector<uint8_t>& event, OSStatus result) {
    AppleEvent decoded;
    if (AEUnflatten(event, &decoded) == noErr && decoded.event()) {
        fLog.record(decoded, result);
    } else {
        fLog.recordUnreadable(target, 0, 0, result);
    }
}

OSStatus InProcessTransport::send(const AETarget& target, const std::vector<uint8_t>& event, AESendMode,
                                  SInt32 timeoutTicks, std::vector<uint8_t>* reply) {
    Receiver receiver;
    UInt32 delay;
    bool drop;
    OSStatus failure;
    {
        std::lock_guard lock(fMutex);
        delay = fReplyDelay;
        drop = fDropReplies;
        failure = fFailure;
        for (const Application& app : fApplications) {
            const bool named = target.addressType == typeKernelProcessID
                                   ? static_cast<UInt32>(app.processID) == target.value
                                   : target.addressType == typeApplSignature && app.signature == target.value;
            if (named) {
                receiver = app.receiver;
                break;
            }
        }
    }
    OSStatus status = failure;
    if (status == noErr && !receiver) status = procNotFound;
    if (status != noErr) {
        record(target, event, status);
        return status;
    }

    const UInt32 start = TickCount();
    std::vector<uint8_t> answer = receiver(event);
    if (!reply) {
        record(target, event, noErr);
        return noErr;
    }
    // The sender waits until the reply arrives or its time-out ends, whichever is first.
    const UInt32 answered = TickCount() - start;
    const bool limited = timeoutTicks != kNoTimeOut;
    const auto limit = static_cast<UInt32>(limited ? timeoutTicks : 0);
    if (drop || (limited && answered + static_cast<uint64_t>(delay) > limit)) {
        if (limited && answered < limit) wait(limit - answered);
        status = errAETimeout;
    } else {
        wait(delay);
        *reply = std::move(answer);
    }
    record(target, event, status);
    return status;
}
