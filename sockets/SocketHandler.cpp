#include "sockets/SocketHandler.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/Carbon/Clock.h"
#include "sockets/Mutex.h"
#include "sockets/TcpSocket.h"
#include "sockets/Utility.h"

namespace {

// Writes to a peer that has gone must fail with EPIPE, not end the process; the TLS layer writes
// through plain write() where MSG_NOSIGNAL cannot be passed.
void IgnoreSigpipe() {
    static std::once_flag once;
    std::call_once(once, [] { signal(SIGPIPE, SIG_IGN); });
}

bool InFdSet(int fd) {
    return fd >= 0 && fd < FD_SETSIZE;
}

// The zero-time-out probe of a descriptor after select() failed; poll() needs no fd_set, so any
// number can be probed.
bool DescriptorValid(int fd) {
    struct pollfd pfd {
        fd, POLLIN, 0
    };
    return poll(&pfd, 1, 0) != -1 && !(pfd.revents & POLLNVAL);
}

void RemoveAll(std::list<int>& list, int fd) {
    list.remove(fd);
}

// A TCP socket whose close writes its output and waits for its peer first.
TcpSocket* FlushesOnClose(Socket* p) {
    auto* tcp = dynamic_cast<TcpSocket*>(p);
    return tcp && tcp->IsConnected() && tcp->GetFlushBeforeClose() && !tcp->Lost() ? tcp : nullptr;
}

// A socket closing with flush whose write side the close step has shut down: its input is only
// drained until the peer closes.
TcpSocket* DrainingAfterShutdown(Socket* p) {
    TcpSocket* tcp = p && p->CloseAndDelete() ? FlushesOnClose(p) : nullptr;
    return tcp && (tcp->GetShutdown() & 1) ? tcp : nullptr;
}

}  // namespace

SocketHandler::SocketHandler(StdLog* log) : m_stdlog(log), m_clock(&Clock::system()) {
    FD_ZERO(&m_rfds);
    FD_ZERO(&m_wfds);
    FD_ZERO(&m_efds);
    IgnoreSigpipe();
}

SocketHandler::SocketHandler(IMutex& mutex, StdLog* log) : SocketHandler(log) {
    m_mutex = &mutex;
    m_b_use_mutex = true;
    m_mutex->Lock();
}

SocketHandler::~SocketHandler() {
    while (!m_sockets.empty()) {
        auto it = m_sockets.begin();
        Socket* p = it->second;
        m_sockets.erase(it);
        if (!p) continue;
        try {
            p->Close();
        } catch (...) {
            // A destructor cannot pass it on; the socket goes all the same.
        }
        if (p->DeleteByHandler()) {
            p->SetErasedByHandler();
            delete p;
        }
    }
    // Sockets the handler owns but never admitted would otherwise keep their descriptors for
    // good; those of other owners stay theirs.
    while (!m_add.empty()) {
        Socket* p = m_add.begin()->second;
        m_add.erase(m_add.begin());
        if (p && p->DeleteByHandler()) {
            p->SetErasedByHandler();
            delete p;
        }
    }
    for (Socket* p : m_delete)
        if (p->DeleteByHandler()) {
            p->SetErasedByHandler();
            delete p;
        }
    m_delete.clear();
    if (m_b_use_mutex) m_mutex->Unlock();
}

IMutex& SocketHandler::GetMutex() const {
    return *m_mutex;
}

void SocketHandler::RegStdLog(StdLog* log) {
    m_stdlog = log;
}

void SocketHandler::LogError(Socket* p, const std::string& user_text, int err, const std::string& sys_text,
                             loglevel_t level) {
    if (m_stdlog) m_stdlog->error(this, p, user_text, err, sys_text, level);
}

void SocketHandler::SetClock(Clock& clock) {
    m_clock = &clock;
}

time_t SocketHandler::Now() {
    return static_cast<time_t>(m_clock->now() / 1'000'000);
}

void SocketHandler::Add(Socket* p) {
    const int fd = p->GetSocket();
    if (fd == -1) {
        LogError(p, "Add", -1, "Invalid socket", LOG_LEVEL_WARNING);
        if (p->CloseAndDelete()) m_delete.push_back(p);
        return;
    }
    if (fd >= FD_SETSIZE) {
        // select() cannot watch it; admitting it would write past the interest sets.
        LogError(p, "Add", fd, "Descriptor outside the range of fd_set", LOG_LEVEL_FATAL);
        m_delete.push_back(p);
        return;
    }
    auto queued = m_add.find(fd);
    if (queued != m_add.end()) {
        LogError(p, "Add", fd, "Attempt to add socket already in add queue", LOG_LEVEL_FATAL);
        // The same socket twice leaves the queue with it, so the queue never holds a deleted socket.
        if (queued->second == p) m_add.erase(queued);
        m_delete.push_back(p);
        return;
    }
    m_add[fd] = p;
}

void SocketHandler::DropDescriptor(int fd) {
    // A descriptor number the system hands out again must not be served for the old socket.
    RemoveAll(m_fds, fd);
    RemoveAll(m_fds_erase, fd);
    RemoveAll(m_fds_callonconnect, fd);
    RemoveAll(m_fds_timeout, fd);
    RemoveAll(m_fds_retry, fd);
    RemoveAll(m_fds_close, fd);
    m_flush_reported.erase(fd);
    Set(fd, false, false, false);
}

void SocketHandler::Detach(Socket* p) {
    for (auto it = m_sockets.begin(); it != m_sockets.end();) {
        if (it->second == p) {
            const int fd = it->first;
            it = m_sockets.erase(it);
            DropDescriptor(fd);
        } else {
            ++it;
        }
    }
    std::erase_if(m_add, [p](const auto& entry) { return entry.second == p; });
    m_delete.remove(p);
    if (p->GetSocket() != -1) DropDescriptor(p->GetSocket());
}

void SocketHandler::Remove(Socket* p) {
    if (p->ErasedByHandler()) return;
    int code = 0;
    if (std::any_of(m_sockets.begin(), m_sockets.end(), [p](const auto& e) { return e.second == p; }))
        code = -1;
    else if (std::any_of(m_add.begin(), m_add.end(), [p](const auto& e) { return e.second == p; }))
        code = -2;
    else if (std::find(m_delete.begin(), m_delete.end(), p) != m_delete.end())
        code = -3;
    if (code == 0) return;
    LogError(p, "Remove", code, "Socket destructor called while still in use", LOG_LEVEL_WARNING);
    Detach(p);
}

void SocketHandler::SocketClosed(Socket* p, int fd) {
    auto queued = m_add.find(fd);
    if (queued != m_add.end() && queued->second == p) {
        m_add.erase(queued);
        if (p->DeleteByHandler() || p->CloseAndDelete()) m_delete.push_back(p);
        return;
    }
    auto mapped = m_sockets.find(fd);
    if (mapped != m_sockets.end() && mapped->second == p &&
        std::find(m_fds_erase.begin(), m_fds_erase.end(), fd) == m_fds_erase.end())
        m_fds_erase.push_back(fd);
}

void SocketHandler::Get(int fd, bool& read, bool& write, bool& exception) {
    if (!InFdSet(fd)) return;
    read = FD_ISSET(fd, &m_rfds);
    write = FD_ISSET(fd, &m_wfds);
    exception = FD_ISSET(fd, &m_efds);
}

void SocketHandler::Set(int fd, bool read, bool write, bool exception) {
    if (!InFdSet(fd)) return;
    auto apply = [fd](fd_set& set, bool on) {
        if (on)
            FD_SET(fd, &set);
        else
            FD_CLR(fd, &set);
    };
    apply(m_rfds, read);
    apply(m_wfds, write);
    apply(m_efds, exception);
}

int SocketHandler::Select(long sec, long usec) {
    struct timeval tv {
        sec, usec
    };
    return Select(&tv);
}

int SocketHandler::Select() {
    if (!m_fds_callonconnect.empty() || !m_fds_timeout.empty() || !m_fds_retry.empty() ||
        !m_fds_close.empty() || !m_fds_erase.empty())
        return Select(0, 200000);
    return Select(nullptr);
}

void SocketHandler::Admit() {
    while (!m_add.empty()) {
        if (m_sockets.size() >= FD_SETSIZE) {
            LogError(nullptr, "Select", static_cast<int>(m_sockets.size()), "FD_SETSIZE reached",
                     LOG_LEVEL_WARNING);
            break;
        }
        auto it = m_add.begin();
        AdmitQueued(it->first, it->second);
    }
}

void SocketHandler::AdmitQueued(int s, Socket* p) {
    m_add.erase(s);
    auto controlled = m_sockets.find(p->GetSocket());
    if (controlled != m_sockets.end()) {
        LogError(p, "Add", p->GetSocket(), "Attempt to add socket already in controlled queue",
                 LOG_LEVEL_FATAL);
        // Deleting a socket that the map still holds would leave the map dangling.
        if (controlled->second != p) m_delete.push_back(p);
        return;
    }
    if (p->CloseAndDelete() && !FlushesOnClose(p)) {
        LogError(p, "Add", s, "Trying to add socket with SetCloseAndDelete() true", LOG_LEVEL_WARNING);
    } else {
        auto* stream = dynamic_cast<StreamSocket*>(p);
        auto* tcp = dynamic_cast<TcpSocket*>(p);
        if (stream && stream->Connecting())
            Set(s, false, true, true);
        else
            Set(s, !p->IsDisableRead(), tcp && tcp->GetOutputLength() > 0, true);
        m_maxsock = std::max(m_maxsock, s);
    }
    m_fds.push_back(s);
    m_sockets[s] = p;
}

void SocketHandler::RebuildSets() {
    fd_set rfds, wfds, efds;
    FD_ZERO(&rfds);
    FD_ZERO(&wfds);
    FD_ZERO(&efds);
    for (const auto& [fd, p] : m_sockets) {
        if (!p) continue;
        if (fd == p->GetSocket()) {
            if (!DescriptorValid(fd)) {
                LogError(p, "Select", fd, "Bad fd in fd_set (2)", LOG_LEVEL_ERROR);
                m_fds_erase.push_back(fd);
                continue;
            }
            if (FD_ISSET(fd, &m_rfds)) FD_SET(fd, &rfds);
            if (FD_ISSET(fd, &m_wfds)) FD_SET(fd, &wfds);
            if (FD_ISSET(fd, &m_efds)) FD_SET(fd, &efds);
        } else {
            LogError(p, "Select", fd, "Bad fd in fd_set (3)", LOG_LEVEL_ERROR);
            m_fds_erase.push_back(fd);
        }
    }
    m_rfds = rfds;
    m_wfds = wfds;
    m_efds = efds;
}

Socket* SocketHandler::Find(int fd, const char* where, bool alsoQueued) {
    auto it = m_sockets.find(fd);
    if (it != m_sockets.end()) return it->second;
    if (alsoQueued) {
        auto queued = m_add.find(fd);
        if (queued != m_add.end()) return queued->second;
    }
    LogError(nullptr, where, fd, "Did not find expected socket using file descriptor", LOG_LEVEL_WARNING);
    return nullptr;
}

void SocketHandler::Dispatch(int n, fd_set& rfds, fd_set& wfds, fd_set& efds, int& left) {
    left = n;
    // Callbacks may take sockets out of the handler; walk a copy.
    const std::vector<int> active(m_fds.begin(), m_fds.end());
    for (int fd : active) {
        if (left <= 0) break;
        // A socket closed earlier in this pass, or whose connection broke in it, gets no more of
        // the pass's events.
        auto live = [fd](Socket* p) { return p && p->GetSocket() == fd && !p->Lost(); };
        if (FD_ISSET(fd, &rfds)) {
            --left;
            Socket* p = Find(fd, "GetSocket/handler/1", false);
            if (p && p->GetSocket() == fd) {
                if (p->IsSSLNegotiate())
                    p->SSLNegotiate();
                else if (TcpSocket* closing = DrainingAfterShutdown(p))
                    closing->DrainInput();
                else
                    p->OnRead();
            }
        }
        if (FD_ISSET(fd, &wfds)) {
            --left;
            Socket* p = Find(fd, "GetSocket/handler/2", false);
            if (live(p)) {
                if (p->IsSSLNegotiate())
                    p->SSLNegotiate();
                else
                    p->OnWrite();
            }
        }
        if (FD_ISSET(fd, &efds)) {
            --left;
            Socket* p = Find(fd, "GetSocket/handler/3", false);
            if (live(p)) p->OnException();
        }
    }
}

int SocketHandler::Select(struct timeval* timeout) {
    Erase();
    Admit();

    fd_set rfds = m_rfds;
    fd_set wfds = m_wfds;
    fd_set efds = m_efds;
    // select() counts the time-out down; the caller's value stays as given.
    struct timeval left {};
    if (timeout) left = *timeout;
    if (m_b_use_mutex) m_mutex->Unlock();
    int n = select(m_maxsock + 1, &rfds, &wfds, &efds, timeout ? &left : nullptr);
    const int err = errno;
    if (m_b_use_mutex) m_mutex->Lock();

    int result = n;
    if (n == -1) {
        if (err != m_preverror || m_errcnt % 10000 == 0) {
            LogError(nullptr, "select", err, strerror(err), LOG_LEVEL_WARNING);
            m_preverror = err;
        }
        if (err == m_preverror) ++m_errcnt;
        if (err != EINTR) RebuildSets();
    } else if (n == 0) {
        m_preverror = -1;
    } else {
        m_preverror = -1;
        Dispatch(n, rfds, wfds, efds, result);
    }

    CallOnConnect();
    CheckTimeouts();
    RetryConnects();
    CheckClose();
    Erase();
    DeleteFailed();
    return result;
}

void SocketHandler::CallOnConnect() {
    if (m_fds_callonconnect.empty()) return;
    const std::vector<int> copy(m_fds_callonconnect.begin(), m_fds_callonconnect.end());
    for (int fd : copy) {
        Socket* p = Find(fd, "GetSocket/handler/4", false);
        // Off the list before the callbacks run, so a callback that throws is not called again.
        AddList(fd, LIST_CALLONCONNECT, false);
        if (!p) continue;
        p->SetConnected(true);
        if (p->IsSSL()) {
            p->OnSSLConnect();
        } else if (p->Socks4()) {
            p->OnSocks4Connect();
        } else {
            auto* tcp = dynamic_cast<TcpSocket*>(p);
            if (tcp && tcp->GetOutputLength() > 0) p->OnWrite();
            if (tcp && tcp->IsReconnect())
                p->OnReconnect();
            else
                p->OnConnect();
        }
    }
}

void SocketHandler::CheckTimeouts() {
    if (m_fds_timeout.empty()) return;
    const time_t tnow = Now();
    if (tnow == m_tlast) return;
    m_tlast = tnow;
    const std::vector<int> copy(m_fds_timeout.begin(), m_fds_timeout.end());
    for (int fd : copy) {
        Socket* p = Find(fd, "GetSocket/handler/6", true);
        if (!p) {
            AddList(fd, LIST_TIMEOUT, false);
            continue;
        }
        if (!p->Timeout(tnow)) continue;
        p->SetTimeout(0);
        auto* stream = dynamic_cast<StreamSocket*>(p);
        if (stream && stream->Connecting())
            p->OnConnectTimeout();
        else
            p->OnTimeout();
    }
}

void SocketHandler::RetryConnects() {
    if (m_fds_retry.empty()) return;
    const std::vector<int> copy(m_fds_retry.begin(), m_fds_retry.end());
    for (int fd : copy) {
        Socket* p = Find(fd, "GetSocket/handler/7", false);
        auto* tcp = dynamic_cast<TcpSocket*>(p);
        if (!tcp) {
            AddList(fd, LIST_RETRY, false);
            continue;
        }
        tcp->SetRetryClientConnect(false);
        // The old number leaves the map at the end of this pass, whatever the callbacks do.
        m_fds_erase.push_back(fd);
        const bool direct = tcp->Socks4();
        tcp->Close();
        std::unique_ptr<SocketAddress> address = tcp->GetClientRemoteAddress();
        const bool reopened = address && tcp->Open(*address, direct);
        if (!address) LogError(tcp, "RetryClientConnect", 0, "no address", LOG_LEVEL_ERROR);
        if (!reopened) {
            // A retry that cannot even start ends the connection, as the last time-out would.
            tcp->SetCloseAndDelete();
            tcp->OnConnectFailed();
        }
        Add(tcp);
    }
}

void SocketHandler::CheckClose() {
    if (m_fds_close.empty()) return;
    const std::vector<int> copy(m_fds_close.begin(), m_fds_close.end());
    for (int fd : copy) {
        Socket* p = Find(fd, "GetSocket/handler/8", true);
        if (!p) {
            AddList(fd, LIST_CLOSE, false);
            continue;
        }
        auto queued = m_add.find(fd);
        if (queued != m_add.end() && queued->second == p && m_sockets.find(fd) == m_sockets.end()) {
            if (FlushesOnClose(p) && m_sockets.size() < FD_SETSIZE) {
                // Closed before its admission (an accepted socket that answers and closes at
                // once): admitted now, so that it can flush.
                AdmitQueued(fd, p);
            } else {
                // Never admitted: it leaves the queue and goes the way of a failed admission.
                m_add.erase(queued);
                AddList(fd, LIST_CLOSE, false);
                p->Close();
                m_delete.push_back(p);
                continue;
            }
        }
        auto* tcp = dynamic_cast<TcpSocket*>(p);
        // Flushing: the queue is written, the write side shut down, and then the peer is waited
        // for, since closing over input it still sends would reset the connection and cut what
        // it has not yet read. All of it within the wait.
        if (FlushesOnClose(tcp) && tcp->TimeSinceClose() <= 4) {
            if (tcp->GetOutputLength() > 0) {
                ReportFlushing(*tcp, fd);
                continue;
            }
            if (!(tcp->GetShutdown() & 1) && !tcp->ShutdownWrite()) continue;
            if (!tcp->DrainInput()) continue;
        }
        if (tcp && tcp->IsConnected() && tcp->Reconnect()) {
            p->SetCloseAndDelete(false);
            tcp->SetIsReconnect(true);
            p->SetConnected(false);
            m_fds_erase.push_back(fd);
            p->Close();
            p->OnDisconnect();
            tcp->ResetForReconnect();
            std::unique_ptr<SocketAddress> address = p->GetClientRemoteAddress();
            if (address)
                tcp->Open(*address);
            else
                LogError(p, "Reconnect", 0, "no address", LOG_LEVEL_ERROR);
            tcp->ResetConnectionRetries();
            Add(p);
            continue;
        }
        if (tcp && tcp->IsConnected() && tcp->GetOutputLength() > 0)
            LogError(p, "Closing", static_cast<int>(tcp->GetOutputLength()),
                     "Closing socket while data still left to send", LOG_LEVEL_WARNING);
        Set(fd, false, false, false);
        if (p->DeleteByHandler()) p->SetErasedByHandler();
        if (std::find(m_fds_erase.begin(), m_fds_erase.end(), fd) == m_fds_erase.end())
            m_fds_erase.push_back(fd);
        AddList(fd, LIST_CLOSE, false);
        p->Close();
        p->OnDelete();
    }
}

void SocketHandler::ReportFlushing(TcpSocket& tcp, int fd) {
    // A closing socket is looked at on every pass, and input can make passes come fast.
    const SInt64 now = m_clock->now();
    auto [last, first] = m_flush_reported.try_emplace(fd, now);
    if (!first && now - last->second < kFlushReportInterval) return;
    last->second = now;
    LogError(&tcp, "Closing", static_cast<int>(tcp.GetOutputLength()), "Sending all data before closing",
             LOG_LEVEL_INFO);
}

void SocketHandler::Erase() {
    bool erased = false;
    while (!m_fds_erase.empty()) {
        const int fd = m_fds_erase.front();
        m_fds_erase.pop_front();
        m_flush_reported.erase(fd);
        erased = true;
        auto active = std::find(m_fds.begin(), m_fds.end(), fd);
        if (active != m_fds.end()) m_fds.erase(active);
        auto it = m_sockets.find(fd);
        if (it == m_sockets.end()) continue;
        Socket* p = it->second;
        m_sockets.erase(it);
        if (p && p->ErasedByHandler()) delete p;
    }
    if (erased) m_maxsock = m_fds.empty() ? 0 : *std::max_element(m_fds.begin(), m_fds.end());
}

void SocketHandler::DeleteFailed() {
    while (!m_delete.empty()) {
        Socket* p = m_delete.front();
        m_delete.pop_front();
        std::unique_ptr<Socket> owned;
        if (p->DeleteByHandler()) {
            p->SetErasedByHandler();
            owned.reset(p);
        }
        p->OnDelete();
    }
}

bool SocketHandler::Valid(Socket* p) {
    return std::any_of(m_sockets.begin(), m_sockets.end(), [p](const auto& e) { return e.second == p; });
}

bool SocketHandler::Valid(unsigned long uid) {
    return std::any_of(m_sockets.begin(), m_sockets.end(),
                       [uid](const auto& e) { return e.second && e.second->UniqueIdentifier() == uid; });
}

size_t SocketHandler::GetCount() {
    return m_add.size() + m_sockets.size() + m_delete.size();
}

bool SocketHandler::OkToAccept(Socket*) {
    return true;
}

std::list<int>& SocketHandler::List(list_t which) {
    switch (which) {
        case LIST_CALLONCONNECT:
            return m_fds_callonconnect;
        case LIST_TIMEOUT:
            return m_fds_timeout;
        case LIST_RETRY:
            return m_fds_retry;
        case LIST_CLOSE:
        default:
            return m_fds_close;
    }
}

void SocketHandler::AddList(int fd, list_t which, bool add) {
    if (fd == -1) return;
    std::list<int>& list = List(which);
    if (!add) {
        list.remove(fd);
        return;
    }
    if (std::find(list.begin(), list.end(), fd) == list.end()) list.push_back(fd);
}

void SocketHandler::SetSocks4Host(unsigned long ip) {
    m_socks4_host = ip;
}

bool SocketHandler::SetSocks4Host(const std::string& host) {
    return Utility::u2ip(host, m_socks4_host);
}

void SocketHandler::SetSocks4Port(unsigned short port) {
    m_socks4_port = port;
}
void SocketHandler::SetSocks4Userid(const std::string& userid) {
    m_socks4_userid = userid;
}
void SocketHandler::SetSocks4TryDirect(bool x) {
    m_bTryDirect = x;
}
unsigned long SocketHandler::GetSocks4Host() {
    return m_socks4_host;
}
unsigned short SocketHandler::GetSocks4Port() {
    return m_socks4_port;
}
const std::string& SocketHandler::GetSocks4Userid() {
    return m_socks4_userid;
}
bool SocketHandler::Socks4TryDirect() {
    return m_bTryDirect;
}

bool SocketHandler::CheckSanity() {
    bool sane = true;
    auto known = [this](int fd) { return m_sockets.count(fd) || m_add.count(fd); };
    auto check = [&](const std::list<int>& list, const char* name) {
        for (int fd : list) {
            if (known(fd)) continue;
            LogError(nullptr, "CheckSanity", fd,
                     std::string("Descriptor on ") + name + " list is not controlled", LOG_LEVEL_WARNING);
            sane = false;
        }
    };
    check(m_fds, "active");
    check(m_fds_callonconnect, "call-on-connect");
    check(m_fds_timeout, "time-out");
    check(m_fds_retry, "retry");
    check(m_fds_close, "close");
    for (const auto& [fd, p] : m_sockets) {
        if (std::find(m_fds.begin(), m_fds.end(), fd) != m_fds.end()) continue;
        LogError(p, "CheckSanity", fd, "Controlled socket is not on the active list", LOG_LEVEL_WARNING);
        sane = false;
    }
    return sane;
}
