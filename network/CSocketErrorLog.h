// Keeps the last error the socket library reported for a connection: its number, operation,
// text and level. Closing and shutting down report harmless errors, so those are not kept.
#pragma once

#include <string>

#include "sockets/StdLog.h"

class TConnection;

class CSocketErrorLog : public StdLog {
public:
    explicit CSocketErrorLog(TConnection* connection) : fConnection(connection) {}

    void error(ISocketHandler* handler, Socket* socket, const std::string& operation, int err,
               const std::string& text, loglevel_t level) override;

    void Reset();
    // Only resets when asked; the connection's callers decide what to throw.
    void ThrowSocketError(int code, bool reset);
    void LogSocketError() {}

    bool HasError() const { return fHasError; }
    int GetErrorNumber() const { return fError; }
    const std::string& GetOperation() const { return fOperation; }
    const std::string& GetErrorText() const { return fText; }
    const std::string& GetLevelName() const { return fLevel; }
    TConnection* GetConnection() const { return fConnection; }

private:
    TConnection* fConnection;
    int fError{0};
    std::string fOperation;
    std::string fText;
    std::string fLevel;
    bool fHasError{false};
};
