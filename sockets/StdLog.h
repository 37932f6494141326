// The socket library's error sink: every failing call is reported here with the operation's
// name, an error number, the explanation and a level.
#pragma once

#include <string>

class ISocketHandler;
class Socket;

// Severity of a report; the values are fixed, logs print them by name.
enum loglevel_t : int {
    LOG_LEVEL_WARNING = 0,
    LOG_LEVEL_ERROR = 1,
    LOG_LEVEL_FATAL = 2,
    LOG_LEVEL_INFO = 3,
};

class StdLog {
public:
    virtual ~StdLog() = default;

    // `socket` may be null. Called on the thread that runs the handler's Select.
    virtual void error(ISocketHandler* handler, Socket* socket, const std::string& user_text, int err,
                       const std::string& sys_text, loglevel_t level) = 0;
};
