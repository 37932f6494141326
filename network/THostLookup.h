// A host-name lookup that runs while its caller waits for it in short rounds, so that the wait
// can end at an abort or a time-out however long the resolver takes. The system's lookup runs on
// the resolver's own threads (getaddrinfo_a); a dotted quad needs none and is found at once.
//
// Used by one thread. A lookup given up before it ended stays with the resolver until it ends,
// so the resolver never writes into memory that has gone, and is released by a later lookup.
#pragma once

#include <memory>
#include <string>

#include "platform/Carbon/MacTypes.h"

class SocketAddress;

class THostLookup {
public:
    THostLookup() = default;
    virtual ~THostLookup() = default;
    THostLookup(const THostLookup&) = delete;
    THostLookup& operator=(const THostLookup&) = delete;

    // True once the lookup has ended, whether or not it found the host.
    virtual bool Finished() = 0;
    // Returns when the lookup ends or the time has passed, whichever comes first.
    virtual void WaitFor(long microseconds) = 0;
    // The first IPv4 address found, with the port; null when the host was not found.
    virtual std::unique_ptr<SocketAddress> Address(UInt16 port) = 0;

    // Starts the system's lookup of the host's IPv4 addresses.
    static std::unique_ptr<THostLookup> Start(const std::string& host);
};
