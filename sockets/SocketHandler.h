// Drives a set of non-blocking sockets from one select() loop: admits added sockets, dispatches
// readiness to their callbacks, completes connections, fires time-outs once a second, retries and
// re-opens client connections, closes sockets (flushing their output and waiting for the peer's
// end first) and deletes the sockets it owns. It has no thread of its own: every callback runs
// inside Select on the calling thread.
//
// A handler made without a mutex is used from one thread only. A handler made with a mutex holds it
// from construction to destruction and releases it only while blocked in select().
//
// Exceptions thrown by socket callbacks leave Select and reach its caller; the handler's maps and
// lists stay consistent, so the next Select goes on where this one stopped.
#pragma once

#include <sys/select.h>

#include <cstdint>
#include <list>
#include <map>
#include <string>

#include "sockets/ISocketHandler.h"

class Clock;
class TcpSocket;

class SocketHandler : public ISocketHandler {
public:
    explicit SocketHandler(StdLog* log = nullptr);
    explicit SocketHandler(IMutex& mutex, StdLog* log = nullptr);
    ~SocketHandler() override;
    SocketHandler(const SocketHandler&) = delete;
    SocketHandler& operator=(const SocketHandler&) = delete;

    IMutex& GetMutex() const override;
    void RegStdLog(StdLog* log) override;
    void LogError(Socket* socket, const std::string& user_text, int err, const std::string& sys_text,
                  loglevel_t level = LOG_LEVEL_WARNING) override;

    void Add(Socket* socket) override;
    void Remove(Socket* socket) override;
    void Get(int fd, bool& read, bool& write, bool& exception) override;
    void Set(int fd, bool read, bool write, bool exception = true) override;

    int Select(long sec, long usec) override;
    int Select() override;
    int Select(struct timeval* timeout) override;

    bool Valid(Socket* socket) override;
    bool Valid(unsigned long uid) override;
    size_t GetCount() override;
    bool OkToAccept(Socket* socket) override;
    void AddList(int fd, list_t which, bool add) override;

    void SetSocks4Host(unsigned long ip) override;
    bool SetSocks4Host(const std::string& host) override;
    void SetSocks4Port(unsigned short port) override;
    void SetSocks4Userid(const std::string& userid) override;
    void SetSocks4TryDirect(bool x) override;
    unsigned long GetSocks4Host() override;
    unsigned short GetSocks4Port() override;
    const std::string& GetSocks4Userid() override;
    bool Socks4TryDirect() override;

    time_t Now() override;
    void SocketClosed(Socket* socket, int fd) override;

    // The clock that Now() reads; the system clock unless a test gives another. The clock must
    // outlive the handler.
    void SetClock(Clock& clock);

    // Takes a socket out of the handler's control without closing or deleting it: off the socket
    // map, the add queue, the delete list and every descriptor list. The caller owns it afterwards.
    void Detach(Socket* socket);

    // True when every descriptor on the lists names a socket the handler knows and every mapped
    // socket is on the active list; mismatches are logged at warning level.
    bool CheckSanity();

protected:
    using socket_m = std::map<int, Socket*>;
    // Derived handlers may edit the socket map; they must then call Detach or keep the active list
    // in step themselves.
    socket_m m_sockets;
    socket_m m_add;
    std::list<Socket*> m_delete;

private:
    void Admit();
    void AdmitQueued(int fd, Socket* socket);
    void RebuildSets();
    void Dispatch(int n, fd_set& rfds, fd_set& wfds, fd_set& efds, int& left);
    void CallOnConnect();
    void CheckTimeouts();
    void RetryConnects();
    void CheckClose();
    void ReportFlushing(TcpSocket& tcp, int fd);
    void Erase();
    void DeleteFailed();
    Socket* Find(int fd, const char* where, bool alsoQueued);
    void DropDescriptor(int fd);
    std::list<int>& List(list_t which);

    StdLog* m_stdlog{nullptr};
    IMutex* m_mutex{nullptr};
    bool m_b_use_mutex{false};
    int m_maxsock{0};
    fd_set m_rfds;
    fd_set m_wfds;
    fd_set m_efds;
    int m_preverror{-1};
    int m_errcnt{0};
    time_t m_tlast{0};
    std::list<int> m_fds;
    std::list<int> m_fds_erase;
    std::list<int> m_fds_callonconnect;
    std::list<int> m_fds_timeout;
    std::list<int> m_fds_retry;
    std::list<int> m_fds_close;
    unsigned long m_socks4_host{0};
    unsigned short m_socks4_port{0};
    std::string m_socks4_userid;
    bool m_bTryDirect{false};
    Clock* m_clock;
    // When each flushing socket last reported that it is still sending, in microseconds.
    std::map<int, int64_t> m_flush_reported;
    static constexpr int64_t kFlushReportInterval = 200'000;
};
