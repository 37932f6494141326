#include "network/THostLookup.h"

#include <netdb.h>
#include <netinet/in.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "sockets/Ipv4Address.h"
#include "sockets/Utility.h"

namespace {

// One request handed to the resolver; it writes into the control block until the request ends.
struct Request {
    explicit Request(const std::string& host) : name(host) {
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        block.ar_name = name.c_str();
        block.ar_request = &hints;
    }
    ~Request() {
        if (block.ar_result) freeaddrinfo(block.ar_result);
    }
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;

    bool Ended() { return gai_error(&block) != EAI_INPROGRESS; }

    std::string name;
    addrinfo hints{};
    gaicb block{};
};

// Requests given up while the resolver still held them. Never destroyed, so that a resolver
// thread still running at exit writes into memory that is still there.
class AbandonedRequests {
public:
    static AbandonedRequests& Shared() {
        static auto* shared = new AbandonedRequests;
        return *shared;
    }
    void Add(Request* request) {
        std::lock_guard lock(fMutex);
        fRequests.push_back(request);
    }
    // Releases the requests that have ended since.
    void Reap() {
        std::lock_guard lock(fMutex);
        std::erase_if(fRequests, [](Request* request) {
            if (!request->Ended()) return false;
            delete request;
            return true;
        });
    }

private:
    std::mutex fMutex;
    std::vector<Request*> fRequests;
};

std::unique_ptr<SocketAddress> AddressOf(in_addr address, UInt16 port) {
    auto found = std::make_unique<Ipv4Address>(address, port);
    if (!found->IsValid()) return nullptr;
    return found;
}

// A dotted quad, or a name the resolver could not take: the answer is known at once.
class SettledLookup : public THostLookup {
public:
    explicit SettledLookup(std::unique_ptr<in_addr> address) : fAddress(std::move(address)) {}
    bool Finished() override { return true; }
    void WaitFor(long) override {}
    std::unique_ptr<SocketAddress> Address(UInt16 port) override {
        return fAddress ? AddressOf(*fAddress, port) : nullptr;
    }

private:
    std::unique_ptr<in_addr> fAddress;
};

class ResolverLookup : public THostLookup {
public:
    explicit ResolverLookup(std::unique_ptr<Request> request) : fRequest(std::move(request)) {}
    ~ResolverLookup() override {
        if (fRequest->Ended()) return;
        if (gai_cancel(&fRequest->block) == EAI_NOTCANCELED)
            AbandonedRequests::Shared().Add(fRequest.release());
    }

    bool Finished() override { return fRequest->Ended(); }
    void WaitFor(long microseconds) override {
        const gaicb* list[] = {&fRequest->block};
        const timespec limit{microseconds / 1'000'000, (microseconds % 1'000'000) * 1000};
        gai_suspend(list, 1, &limit);
    }
    std::unique_ptr<SocketAddress> Address(UInt16 port) override {
        if (gai_error(&fRequest->block) != 0) return nullptr;
        for (const addrinfo* info = fRequest->block.ar_result; info; info = info->ai_next) {
            if (info->ai_family != AF_INET || info->ai_addrlen < sizeof(sockaddr_in)) continue;
            return AddressOf(reinterpret_cast<const sockaddr_in*>(info->ai_addr)->sin_addr, port);
        }
        return nullptr;
    }

private:
    std::unique_ptr<Request> fRequest;
};

}  // namespace

std::unique_ptr<THostLookup> THostLookup::Start(const std::string& host) {
    AbandonedRequests::Shared().Reap();
    if (Utility::isipv4(host)) {
        sockaddr_in numeric{};
        if (!Utility::u2ip(host, numeric, AI_NUMERICHOST)) return std::make_unique<SettledLookup>(nullptr);
        return std::make_unique<SettledLookup>(std::make_unique<in_addr>(numeric.sin_addr));
    }
    auto request = std::make_unique<Request>(host);
    gaicb* list[] = {&request->block};
    if (getaddrinfo_a(GAI_NOWAIT, list, 1, nullptr) != 0) return std::make_unique<SettledLookup>(nullptr);
    return std::make_unique<ResolverLookup>(std::move(request));
}
