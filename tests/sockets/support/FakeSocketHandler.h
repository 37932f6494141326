// A handler without a loop, for tests of a socket's own bookkeeping: it keeps the check lists and
// interest bits the socket asks for, passes reports to its log, and reads time from a number the
// test sets. Select does nothing.
#pragma once

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <tuple>

#include "sockets/IMutex.h"
#include "sockets/ISocketHandler.h"

class FakeSocketHandler : public ISocketHandler {
public:
    explicit FakeSocketHandler(StdLog* log = nullptr) : m_log(log) {}

    IMutex& GetMutex() const override { return *m_mutex; }
    void RegStdLog(StdLog* log) override { m_log = log; }
    void LogError(Socket* socket, const std::string& user_text, int err, const std::string& sys_text,
                  loglevel_t level) override {
        if (m_log) m_log->error(this, socket, user_text, err, sys_text, level);
    }

    void Add(Socket*) override { ++adds; }
    void Remove(Socket*) override {}
    void Get(int fd, bool& read, bool& write, bool& exception) override {
        auto it = interest.find(fd);
        if (it == interest.end()) return;
        std::tie(read, write, exception) = it->second;
    }
    void Set(int fd, bool read, bool write, bool exception) override {
        if (fd >= 0) interest[fd] = {read, write, exception};
    }
    int Select(long, long) override { return 0; }
    int Select() override { return 0; }
    int Select(struct timeval*) override { return 0; }
    bool Valid(Socket*) override { return false; }
    bool Valid(unsigned long) override { return false; }
    size_t GetCount() override { return count; }
    bool OkToAccept(Socket*) override { return true; }

    // Each list as a multiset, so that a descriptor added twice shows twice.
    void AddList(int fd, list_t which, bool add) override {
        if (fd == -1) return;
        std::multiset<int>& list = lists[which];
        if (!add)
            list.erase(fd);
        else if (!list.count(fd))
            list.insert(fd);
    }
    size_t OnList(list_t which, int fd) { return lists[which].count(fd); }

    void SetSocks4Host(unsigned long ip) override { m_socks4_host = ip; }
    bool SetSocks4Host(const std::string&) override { return false; }
    void SetSocks4Port(unsigned short port) override { m_socks4_port = port; }
    void SetSocks4Userid(const std::string& id) override { m_socks4_userid = id; }
    void SetSocks4TryDirect(bool x) override { m_try_direct = x; }
    unsigned long GetSocks4Host() override { return m_socks4_host; }
    unsigned short GetSocks4Port() override { return m_socks4_port; }
    const std::string& GetSocks4Userid() override { return m_socks4_userid; }
    bool Socks4TryDirect() override { return m_try_direct; }

    time_t Now() override { return now; }
    void SocketClosed(Socket*, int fd) override { closed.insert(fd); }

    time_t now = 1'700'000'000;
    size_t count = 0;
    int adds = 0;
    std::map<int, std::tuple<bool, bool, bool>> interest;
    std::map<list_t, std::multiset<int>> lists;
    std::set<int> closed;

private:
    StdLog* m_log;
    IMutex* m_mutex{nullptr};
    unsigned long m_socks4_host{0};
    unsigned short m_socks4_port{0};
    std::string m_socks4_userid;
    bool m_try_direct{false};
};
