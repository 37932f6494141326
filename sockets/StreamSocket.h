// What connection-oriented sockets add to Socket: the connecting state with its connect time-out,
// connection retries, call-on-connect, flush-before-close, the line-protocol switch and the record
// of which sides were shut down. Each state change keeps the handler's check lists in step.
#pragma once

#include "sockets/Socket.h"

class StreamSocket : public Socket {
public:
    explicit StreamSocket(ISocketHandler& handler);

    bool Ready() override;
    virtual void SetLineProtocol(bool x = true) { m_line_protocol = x; }
    virtual int Protocol() = 0;

    void SetConnecting(bool x = true);
    bool Connecting() const { return m_bConnecting; }
    void SetConnectTimeout(int seconds) { m_connect_timeout = seconds; }
    int GetConnectTimeout() const { return m_connect_timeout; }
    void SetFlushBeforeClose(bool x = true) { m_flush_before_close = x; }
    bool GetFlushBeforeClose() const { return m_flush_before_close; }
    // Retries allowed after a connect time-out; -1 for no end.
    void SetConnectionRetry(int n) { m_connection_retry = n; }
    int GetConnectionRetry() const { return m_connection_retry; }
    int GetConnectionRetries() const { return m_retries; }
    void IncreaseConnectionRetries() { ++m_retries; }
    void ResetConnectionRetries() { m_retries = 0; }
    void SetCallOnConnect(bool x = true);
    bool CallOnConnect() const { return m_call_on_connect; }
    void SetRetryClientConnect(bool x = true);
    bool RetryClientConnect() const { return m_b_retry_connect; }
    bool LineProtocol() const { return m_line_protocol; }
    void SetShutdown(int how) { m_shutdown = how; }
    int GetShutdown() const { return m_shutdown; }

private:
    bool m_bConnecting{false};
    int m_connect_timeout{5};
    bool m_flush_before_close{true};
    int m_connection_retry{0};
    int m_retries{0};
    bool m_call_on_connect{false};
    bool m_b_retry_connect{false};
    bool m_line_protocol{false};
    int m_shutdown{0};
};
