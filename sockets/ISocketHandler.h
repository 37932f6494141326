// The interface through which sockets reach the handler that drives them. SocketHandler is its
// only implementation; sockets hold an ISocketHandler& fixed at construction.
#pragma once

#include <sys/time.h>

#include <ctime>
#include <string>

#include "sockets/StdLog.h"

class IMutex;
class Socket;

// The handler's check lists, chosen in AddList.
enum list_t {
    LIST_CALLONCONNECT = 0,
    LIST_TIMEOUT,
    LIST_RETRY,
    LIST_CLOSE,
};

class ISocketHandler {
public:
    virtual ~ISocketHandler() = default;

    virtual IMutex& GetMutex() const = 0;
    virtual void RegStdLog(StdLog* log) = 0;
    virtual void LogError(Socket* socket, const std::string& user_text, int err, const std::string& sys_text,
                          loglevel_t level = LOG_LEVEL_WARNING) = 0;

    virtual void Add(Socket* socket) = 0;
    virtual void Remove(Socket* socket) = 0;
    virtual void Get(int fd, bool& read, bool& write, bool& exception) = 0;
    virtual void Set(int fd, bool read, bool write, bool exception = true) = 0;

    virtual int Select(long sec, long usec) = 0;
    virtual int Select() = 0;
    virtual int Select(struct timeval* timeout) = 0;

    virtual bool Valid(Socket* socket) = 0;
    virtual bool Valid(unsigned long uid) = 0;
    virtual size_t GetCount() = 0;
    virtual bool OkToAccept(Socket* socket) = 0;
    virtual void AddList(int fd, list_t which, bool add) = 0;

    virtual void SetSocks4Host(unsigned long ip) = 0;
    virtual bool SetSocks4Host(const std::string& host) = 0;
    virtual void SetSocks4Port(unsigned short port) = 0;
    virtual void SetSocks4Userid(const std::string& userid) = 0;
    virtual void SetSocks4TryDirect(bool x) = 0;
    virtual unsigned long GetSocks4Host() = 0;
    virtual unsigned short GetSocks4Port() = 0;
    virtual const std::string& GetSocks4Userid() = 0;
    virtual bool Socks4TryDirect() = 0;

    // Seconds since 1970 on the handler's clock; every time-out, retry and close delay of its
    // sockets is measured on it.
    virtual time_t Now() = 0;
    // A socket closed its descriptor fd; a socket still waiting for admission under that number
    // must not be admitted later under a number the system may have handed out again.
    virtual void SocketClosed(Socket* socket, int fd) = 0;
};
