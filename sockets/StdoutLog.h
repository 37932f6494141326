// A log that prints each socket report as one line with the local time, on standard output.
#pragma once

#include <cstdio>
#include <ctime>
#include <functional>

#include "sockets/StdLog.h"

class StdoutLog : public StdLog {
public:
    // `out` and `now` replace standard output and the system's time, for tests.
    explicit StdoutLog(FILE* out = stdout, std::function<std::time_t()> now = {});

    void error(ISocketHandler* handler, Socket* socket, const std::string& user_text, int err,
               const std::string& sys_text, loglevel_t level) override;

private:
    FILE* m_out;
    std::function<std::time_t()> m_now;
};
