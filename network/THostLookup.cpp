#include "network/THostLookup.h"

#include <netdb.h>
#include <netinet/in.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "sockets/Ipv4Address.h"
#include "sockets/Utility.h"

// ThreadSanitizer cannot follow the resolver's own threads (the C library starts them without
// pthread_create), and its allocator fails in them; under it a lookup runs on a thread of ours.
#if defined(__SANITIZE_THREAD__)
#define BEATWICK_LOOKUP_ON_OWN_THREAD 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define BEATWICK_LOOKUP_ON_OWN_THREAD 1
#endif
#endif

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

#ifdef BEATWICK_LOOKUP_ON_OWN_THREAD
// The lookup on a detached thread of ours; the thread and the lookup share its state, and the
// last to let go frees it.
class ThreadLookup : public THostLookup {
public:
    explicit ThreadLookup(const std::string& host) : fState(std::make_shared<State>()) {
        std::thread([state = fState, host] {
            addrinfo hints{};
            hints.ai_family = AF_INET;
            hints.ai_socktype = SOCK_STREAM;
            addrinfo* result = nullptr;
            const bool found = getaddrinfo(host.c_str(), nullptr, &hints, &result) == 0;
            std::lock_guard lock(state->mutex);
            state->result = found ? result : nullptr;
            state->done = true;
            state->changed.notify_all();
        }).detach();
    }
    bool Finished() override {
        std::lock_guard lock(fState->mutex);
        return fState->done;
    }
    void WaitFor(long microseconds) override {
        std::unique_lock lock(fState->mutex);
        fState->changed.wait_for(lock, std::chrono::microseconds(microseconds),
                                 [this] { return fState->done; });
    }
    std::unique_ptr<SocketAddress> Address(UInt16 port) override {
        std::lock_guard lock(fState->mutex);
        for (const addrinfo* info = fState->result; info; info = info->ai_next) {
            if (info->ai_family != AF_INET || info->ai_addrlen < sizeof(sockaddr_in)) continue;
            return AddressOf(reinterpret_cast<const sockaddr_in*>(info->ai_addr)->sin_addr, port);
        }
        return nullptr;
    }

private:
    struct State {
        ~State() {
            if (result) freeaddrinfo(result);
        }
        std::mutex mutex;
        std::condition_variable changed;
        bool done{false};
        addrinfo* result{nullptr};
    };
    std::shared_ptr<State> fState;
};
#endif

}  // namespace

std::unique_ptr<THostLookup> THostLookup::Start(const std::string& host) {
    AbandonedRequests::Shared().Reap();
    if (Utility::isipv4(host)) {
        sockaddr_in numeric{};
        if (!Utility::u2ip(host, numeric, AI_NUMERICHOST)) return std::make_unique<SettledLookup>(nullptr);
        return std::make_unique<SettledLookup>(std::make_unique<in_addr>(numeric.sin_addr));
    }
#ifdef BEATWICK_LOOKUP_ON_OWN_THREAD
    return std::make_unique<ThreadLookup>(host);
#else
    auto request = std::make_unique<Request>(host);
    gaicb* list[] = {&request->block};
    if (getaddrinfo_a(GAI_NOWAIT, list, 1, nullptr) != 0) return std::make_unique<SettledLookup>(nullptr);
    return std::make_unique<ResolverLookup>(std::move(request));
#endif
}
