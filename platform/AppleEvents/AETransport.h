// The channel AESendMessage sends through: in-process for tests, the session bus otherwise.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "platform/AppleEvents/AEDescriptor.h"

// Whom an event goes to: a process id ('kpid') or an application signature ('sign').
struct AETarget {
    DescType addressType{typeNull};
    UInt32 value{0};

    bool operator==(const AETarget&) const = default;
};

// The target an address descriptor names: 'kpid' or 'sign' with exactly 4 bytes; else nullopt.
std::optional<AETarget> AETargetFromAddress(const AEAddressDesc& address);

class AETransport {
public:
    virtual ~AETransport() = default;

    // Hands one flattened event to the application the target names. With a `reply` the caller
    // waits at most timeoutTicks (kNoTimeOut: no limit) for the flattened reply; without one the
    // send is done once the event is handed over. Returns noErr, procNotFound when no
    // application answers to the target, errAETimeout when no reply came in time, or another
    // status of the channel. May be called from any thread; it blocks the caller.
    virtual OSStatus send(const AETarget& target, const std::vector<uint8_t>& event, AESendMode mode,
                          SInt32 timeoutTicks, std::vector<uint8_t>* reply) = 0;
};

// The transport AESendMessage uses (none at first: sends fail with procNotFound).
// May be called from any thread.
void AESetTransport(std::shared_ptr<AETransport> transport);
std::shared_ptr<AETransport> AEGetTransport();

// Installs a transport for a scope and restores the previous one after it.
class ScopedAETransport {
public:
    explicit ScopedAETransport(std::shared_ptr<AETransport> transport);
    ~ScopedAETransport();
    ScopedAETransport(const ScopedAETransport&) = delete;
    ScopedAETransport& operator=(const ScopedAETransport&) = delete;

private:
    std::shared_ptr<AETransport> fPrevious;
};
