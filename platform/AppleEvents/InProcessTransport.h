// A transport that carries flattened events to receivers in the same process, for tests.
//
// Applications are registered by process id and signature; an event reaches the first one its
// target names, as the same bytes the bus would carry. The transport can fail a send, delay a
// reply and drop replies, on the tick clock: when a ManualTickSource is given (and installed as
// the tick source), waiting advances it, so a reply 119 ticks late meets a 120-tick time-out and
// one 121 ticks late does not. Every send is logged. Calls may come from any thread; receivers
// run on the sender's thread without the transport's lock held, so they may send in turn.
#pragma once

#include <functional>
#include <mutex>
#include <vector>

#include "platform/AppleEvents/AEEventLog.h"
#include "platform/AppleEvents/AEReceive.h"
#include "platform/AppleEvents/AETransport.h"
#include "platform/Carbon/TickClock.h"

class InProcessTransport : public AETransport {
public:
    using Receiver = std::function<std::vector<uint8_t>(const std::vector<uint8_t>& event)>;

    explicit InProcessTransport(ManualTickSource* clock = nullptr) : fClock(clock) {}
    InProcessTransport(const InProcessTransport&) = delete;
    InProcessTransport& operator=(const InProcessTransport&) = delete;

    // A receiver of flattened bytes, or a handler of decoded events (see AEReceive.h).
    void addApplication(SInt32 processID, OSType signature, Receiver receiver);
    void addHandler(SInt32 processID, OSType signature, AEEventHandler handler);
    void removeApplication(SInt32 processID);

    // Ticks between the receiver's answer and its arrival at the sender.
    void setReplyDelay(UInt32 ticks);
    // Events are still delivered, but their replies never arrive (a sender without a time-out
    // limit gets errAETimeout at once rather than waiting for ever).
    void setDropReplies(bool drop);
    // Every send fails with this status before delivery; noErr delivers again.
    void setFailure(OSStatus status);

    AEEventLog& log() { return fLog; }

    OSStatus send(const AETarget& target, const std::vector<uint8_t>& event, AESendMode mode,
                  SInt32 timeoutTicks, std::vector<uint8_t>* reply) override;

private:
    struct Application {
        SInt32 processID;
        OSType signature;
        Receiver receiver;
    };

    void wait(UInt32 ticks);
    void record(const AETarget& target, const std::vector<uint8_t>& event, OSStatus result);

    ManualTickSource* fClock;
    std::mutex fMutex;
    std::vector<Application> fApplications;
    UInt32 fReplyDelay{0};
    bool fDropReplies{false};
    OSStatus fFailure{noErr};
    AEEventLog fLog;
};
