// A record of events as they were sent: what tests and the stand-in player read back.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/AppleEvents/AETransport.h"

struct AELogEntry {
    std::string event;  // the canonical print (AEPrint)
    AESendMode mode{0};
    SInt32 timeout{0};  // as the sender gave it: kAEDefaultTimeout stays -1
    AETarget target;    // the address type and value; value 0 for an address of another kind
    OSStatus result{noErr};
};

// Thread-safe: events may be recorded from any thread.
class AEEventLog {
public:
    AEEventLog() = default;
    AEEventLog(const AEEventLog&) = delete;
    AEEventLog& operator=(const AEEventLog&) = delete;

    // Reads the print, send mode, time-out and target from the event itself.
    void record(const AppleEvent& event, OSStatus result = noErr);
    // For bytes that did not read as an event.
    void recordUnreadable(const AETarget& target, AESendMode mode, SInt32 timeout, OSStatus result);

    std::vector<AELogEntry> entries() const;
    size_t size() const;
    void clear();

private:
    mutable std::mutex fMutex;
    std::vector<AELogEntry> fEntries;
};
