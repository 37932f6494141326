// An SMTP server for tests that accepts everything and records each call as a line of text.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sockets/protocols/SmtpdSocket.h"

struct SmtpLog {
    std::vector<std::string> events;
    bool Has(const std::string& e) const {
        for (const std::string& x : events)
            if (x == e) return true;
        return false;
    }
};

class SmtpTestServer : public SmtpdSocket {
public:
    SmtpTestServer(ISocketHandler& handler, SmtpLog* log) : SmtpdSocket(handler), m_log(log) {}
    Socket* Create() override { return new SmtpTestServer(Handler(), m_log); }

protected:
    bool OnHelloCommand(const std::string& domain) override { return Add("hello " + domain); }
    bool OnMailFromCommand(const EmailAddress& a) override {
        return Add("from " + a.GetName() + " " + a.GetDomain() + " " + a.GetTopDomain() + " " +
                   a.GetSubDomain());
    }
    bool OnRecipientCommand(const EmailAddress& a) override { return Add("to " + a.ToString()); }
    void OnMessageHeader(const std::string& key, const std::string& value) override {
        Add("header " + key + "=" + value);
    }
    void OnMessageHeadersDone() override { Add("headers done"); }
    void OnMessageLine(const std::string& line) override { Add("line " + line); }
    bool OnMessageDone() override { return Add("done"); }
    void OnResetCommand() override { Add("reset"); }
    void OnSessionAbort(int reason) override { Add("abort " + std::to_string(reason)); }
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
