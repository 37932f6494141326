// An SMTP server for tests that accepts everything and records each call as a line of text. It also
// collects each message as an application would: kept at OnMessageDone, dropped at OnSessionAbort.
#pragma once

#include <sys/socket.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "sockets/protocols/SmtpdSocket.h"

struct SmtpLog {
    std::vector<std::string> events;
    size_t maxOutput = 0;     // the largest reply queue left after a line
    int sendBuffer = 0;       // when set, the kernel's send buffer of each session, so replies queue here
    uint64_t maxMessage = 0;  // when set, the sessions' message cap
    std::string collected;    // the message under way
    std::vector<std::string> delivered;
    bool Has(const std::string& e) const {
        for (const std::string& x : events)
            if (x == e) return true;
        return false;
    }
};

class SmtpTestServer : public SmtpdSocket {
public:
    SmtpTestServer(ISocketHandler& handler, SmtpLog* log) : SmtpdSocket(handler), m_log(log) {
        if (log->maxMessage) SetMaxMessageSize(log->maxMessage);
    }
    Socket* Create() override { return new SmtpTestServer(Handler(), m_log); }
    void OnAccept() override {
        if (m_log->sendBuffer)
            setsockopt(GetSocket(), SOL_SOCKET, SO_SNDBUF, &m_log->sendBuffer, sizeof(m_log->sendBuffer));
        SmtpdSocket::OnAccept();
    }
    void OnLine(const std::string& line) override {
        SmtpdSocket::OnLine(line);
        m_log->maxOutput = std::max(m_log->maxOutput, GetOutputLength());
    }

protected:
    bool OnHelloCommand(const std::string& domain) override { return Add("hello " + domain); }
    bool OnMailFromCommand(const EmailAddress& a) override {
        return Add("from " + a.GetName() + " " + a.GetDomain() + " " + a.GetTopDomain() + " " +
                   a.GetSubDomain());
    }
    bool OnRecipientCommand(const EmailAddress& a) override { return Add("to " + a.ToString()); }
    void OnMessageHeader(const std::string& key, const std::string& value) override {
        Add("header " + key + "=" + value);
        m_log->collected += "header " + key + "=" + value + ";";
    }
    void OnMessageHeadersDone() override { Add("headers done"); }
    void OnMessageLine(const std::string& line) override {
        Add("line " + line);
        m_log->collected += "line " + line + ";";
    }
    bool OnMessageDone() override {
        m_log->delivered.push_back(m_log->collected);
        m_log->collected.clear();
        return Add("done");
    }
    void OnResetCommand() override {
        m_log->collected.clear();
        Add("reset");
    }
    void OnSessionAbort(int reason) override {
        m_log->collected.clear();
        Add("abort " + std::to_string(reason));
    }
    void OnUnknownCommand(const std::string& verb, const std::string& args) override {
        Add("unknown " + verb + " " + args);
        Reply("502 Not implemented\r\n");
    }

private:
    bool Add(const std::string& e) {
        m_log->events.push_back(e);
        return true;
    }
    SmtpLog* m_log;
};
