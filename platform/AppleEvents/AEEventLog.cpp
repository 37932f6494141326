#include "platform/AppleEvents/AEEventLog.h"

#include "platform/AppleEvents/AEPrint.h"

void AEEventLog::record(const AppleEvent& event, OSStatus result) {
    AELogEntry entry;
    entry.event = AEPrint(event);
    entry.result = result;
    if (const AEEventHeader* header = event.event()) {
        entry.mode = header->sendMode;
        entry.timeout = header->timeout;
        entry.target =
            AETargetFromAddress(header->address).value_or(AETarget{header->address.descriptorType, 0});
    }
    std::lock_guard lock(fMutex);
    fEntries.push_back(std::move(entry));
}

void AEEventLog::recordUnreadable(const AETarget& target, AESendMode mode, SInt32 timeout, OSStatus result) {
    std::lock_guard lock(fMutex);
    fEntries.push_back(AELogEntry{"(unreadable)", mode, timeout, target, result});
}

std::vector<AELogEntry> AEEventLog::entries() const {
    std::lock_guard lock(fMutex);
    return fEntries;
}

size_t AEEventLog::size() const {
    std::lock_guard lock(fMutex);
    return fEntries.size();
}

void AEEventLog::clear() {
    std::lock_guard lock(fMutex);
    fEntries.clear();
}
