#include "sockets/protocols/SmtpdSocket.h"

#include "sockets/Parse.h"
#include "sockets/Utility.h"

namespace {

std::string Trim(const std::string& text) {
    const size_t b = text.find_first_not_of(' ');
    if (b == std::string::npos) return "";
    return text.substr(b, text.find_last_not_of(' ') - b + 1);
}

// The text after the first two words of a MAIL FROM: or RCPT TO: line.
std::string AddressText(const std::string& line) {
    Parse pa(line, ":");
    pa.getword();
    pa.getword();
    return Utility::ToLower(pa.getrest());
}

}  // namespace

struct SmtpdSocket::Command {
    const char* verb;
    void (SmtpdSocket::*run)(const std::string& arguments);
    bool whole_line;  // the handler reads the whole line, not what follows the verb
};

const SmtpdSocket::Command SmtpdSocket::kCommands[] = {
    {"MAIL", &SmtpdSocket::Mail, true},  {"RCPT", &SmtpdSocket::Recipient, true},
    {"DATA", &SmtpdSocket::Data, false}, {"RSET", &SmtpdSocket::Rset, false},
    {"QUIT", &SmtpdSocket::Quit, false}, {"NOOP", &SmtpdSocket::Noop, false},
};

SmtpdSocket::EmailAddress::EmailAddress(const std::string& input) {
    std::string text = input;
    const size_t lt = text.find('<');
    if (lt != std::string::npos) text = text.substr(lt + 1);
    const size_t at = text.find('@');
    if (at == std::string::npos) return;
    name = Trim(text.substr(0, at));
    domain = text.substr(at + 1);
    domain = Trim(domain.substr(0, domain.find('>')));
    top = domain;
    for (size_t dot = domain.find('.'); dot != std::string::npos; dot = domain.find('.', dot + 1)) {
        sub = top;
        top = domain.substr(dot + 1);
    }
}

SmtpdSocket::SmtpdSocket(ISocketHandler& handler) : TcpSocket(handler) {
    SetLineProtocol(true);
    // Only CR LF ends a line: a bare LF "." or CR "." must not end a message.
    SetStrictLineEnd(true);
    SetMaxLineLength(kMaxTextLine);
}

void SmtpdSocket::OnAccept() {
    SetTimeout(kIdleTimeout);
    Reply("220 ESMTP; \r\n");
}

void SmtpdSocket::Reply(const std::string& text) {
    Send(text);
    if (!m_paused && GetOutputLength() > kMaxQueuedReplies && GetSocket() != -1) {
        m_paused = true;
        DisableRead(true);
        Set(false, true, true);
    }
}

void SmtpdSocket::OnWriteComplete() {
    if (!m_paused) return;
    m_paused = false;
    DisableRead(false);
    Set(true, false, true);
}

void SmtpdSocket::OnTimeout() {
    Reply("421 Timeout\r\n");
    OnSessionAbort(SMTP_TIMEOUT);
    SetCloseAndDelete();
}

void SmtpdSocket::OnLineOverflow(size_t) {
    // The rest of the line is dropped by the line reader.
    if (in_data)
        RefuseMessage(SMTP_LINE_TOO_LONG);
    else
        Reply("500 Line too long.\r\n");
}

void SmtpdSocket::OnLine(const std::string& line) {
    if (CloseAndDelete()) return;
    if (GetSocket() != -1) SetTimeout(kIdleTimeout);
    if (in_data) return MessageLine(line);
    if (line.size() > kMaxCommandLine) return Reply("500 Line too long.\r\n");
    Parse pa(line);
    const std::string verb = Utility::ToUpper(pa.getword());
    const std::string rest = pa.getrest();
    if (verb == "EHLO" || verb == "HELO") return Hello(rest);
    if (!hello_done) {
        OnSessionAbort(SMTP_NO_HELLO);
        SetCloseAndDelete();
        return;
    }
    for (const Command& c : kCommands)
        if (verb == c.verb) return (this->*c.run)(c.whole_line ? line : rest);
    OnUnknownCommand(verb, rest);
}

void SmtpdSocket::Hello(const std::string& rest) {
    if (OnHelloCommand(rest)) {
        hello_done = true;
        Reply("250 " + m_host_name + "\r\n");
    } else {
        Reply("550 Failed\r\n");
    }
}

bool SmtpdSocket::AddressWithinLimits(const EmailAddress& address) {
    if (address.GetName().size() > 64) {
        OnSessionAbort(SMTP_NAME_TOO_LONG);
        Reply("500 Name too long.\r\n");
        return false;
    }
    if (address.GetDomain().size() > 64) {
        OnSessionAbort(SMTP_DOMAIN_TOO_LONG);
        Reply("500 Domain too long.\r\n");
        return false;
    }
    return true;
}

void SmtpdSocket::Mail(const std::string& line) {
    const EmailAddress address(AddressText(line));
    if (!AddressWithinLimits(address)) return;
    Reply(OnMailFromCommand(address) ? "250 OK\r\n" : "550 Failed\r\n");
}

void SmtpdSocket::Recipient(const std::string& line) {
    const EmailAddress address(AddressText(line));
    if (!AddressWithinLimits(address)) return;
    Reply(OnRecipientCommand(address) ? "250 OK\r\n" : "553 Failed\r\n");
}

void SmtpdSocket::Data(const std::string&) {
    in_data = true;
    in_headers = true;
    header_line.clear();
    m_message_size = 0;
    m_message_refused = false;
    Reply("354 Enter mail, end with \".\" on a line by itself\r\n");
}

void SmtpdSocket::Rset(const std::string&) {
    in_data = false;
    in_headers = false;
    header_line.clear();
    OnResetCommand();
    Reply("250 OK\r\n");
}

void SmtpdSocket::Quit(const std::string&) {
    OnSessionAbort(SMTP_QUIT);
    Reply("221 Bye Bye\r\n");
    SetCloseAndDelete();
}

void SmtpdSocket::Noop(const std::string&) {
    Reply("250 OK\r\n");
}

void SmtpdSocket::MessageLine(const std::string& line) {
    if (line == ".") return EndMessage();
    m_message_size += line.size() + 2;
    if (m_message_size > m_max_message) RefuseMessage(SMTP_MESSAGE_TOO_LARGE);
    // Past a cap the rest is read and dropped, so the session stays in step with the peer.
    if (m_message_refused) return;
    // Every line of the message is dot-stuffed, its headers too.
    const std::string text = !line.empty() && line[0] == '.' ? line.substr(1) : line;
    if (in_headers) {
        if (!text.empty() && (text[0] == ' ' || text[0] == '\t')) {
            header_line += text;
            return;
        }
        DeliverHeader();
        if (!text.empty()) {
            header_line = text;
            return;
        }
        in_headers = false;
        OnMessageHeadersDone();
        return;
    }
    OnMessageLine(text);
}

void SmtpdSocket::RefuseMessage(AbortReason reason) {
    if (m_message_refused) return;
    m_message_refused = true;
    m_refusal = reason;
    header_line.clear();
    // At once, so that a subclass that collects the message drops it before the next one starts.
    OnSessionAbort(reason);
}

void SmtpdSocket::DeliverHeader() {
    if (header_line.empty()) return;
    Parse pa(header_line, ":");
    const std::string key = pa.getword();
    const std::string value = pa.getrest();
    header_line.clear();
    OnMessageHeader(key, value);
}

void SmtpdSocket::EndMessage() {
    in_data = false;
    if (m_message_refused) {
        in_headers = false;
        header_line.clear();
        Reply(m_refusal == SMTP_LINE_TOO_LONG ? "500 Line too long.\r\n" : "552 Message too large\r\n");
        return;
    }
    if (in_headers) {
        DeliverHeader();
        in_headers = false;
        OnMessageHeadersDone();
    }
    Reply(OnMessageDone() ? "250 OK\r\n" : "550 Failed\r\n");
}
