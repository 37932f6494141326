// A log that keeps every report, for tests that check the exact texts and levels.
#pragma once

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "sockets/StdLog.h"

class CapturingLog : public StdLog {
public:
    struct Entry {
        ISocketHandler* handler;
        Socket* socket;
        std::string user_text;
        int err;
        std::string sys_text;
        loglevel_t level;
    };

    // May be called from any thread.
    void error(ISocketHandler* handler, Socket* socket, const std::string& user_text, int err,
               const std::string& sys_text, loglevel_t level) override {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_entries.push_back({handler, socket, user_text, err, sys_text, level});
    }

    std::vector<Entry> Entries() const {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_entries;
    }

    // Reports whose operation and explanation are the given texts.
    size_t Count(const std::string& user_text, const std::string& sys_text) const {
        std::lock_guard<std::mutex> guard(m_mutex);
        return std::count_if(m_entries.begin(), m_entries.end(), [&](const Entry& e) {
            return e.user_text == user_text && e.sys_text == sys_text;
        });
    }

    // Reports of one operation, whatever the explanation.
    size_t Count(const std::string& user_text) const {
        std::lock_guard<std::mutex> guard(m_mutex);
        return std::count_if(m_entries.begin(), m_entries.end(),
                             [&](const Entry& e) { return e.user_text == user_text; });
    }

    void Clear() {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_entries.clear();
    }

private:
    mutable std::mutex m_mutex;
    std::vector<Entry> m_entries;
};
