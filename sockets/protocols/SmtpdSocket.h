// The server side of an SMTP session: greets, answers HELO/EHLO, MAIL, RCPT, DATA, RSET, QUIT and
// NOOP, and collects the message, leaving every decision to a subclass. Lines end only at CR LF,
// so only CR LF "." CR LF ends a message; command lines, text lines and the message are capped, an
// idle session times out, and a peer that does not read its replies is not read from either.
// Runs on the handler's loop thread.
#pragma once

#include <cstdint>
#include <string>

#include "sockets/TcpSocket.h"

class SmtpdSocket : public TcpSocket {
public:
    static constexpr size_t kMaxCommandLine = 510;  // 512 with CR LF
    static constexpr size_t kMaxTextLine = 998;     // 1000 with CR LF
    static constexpr uint64_t kDefaultMaxMessage = 10 << 20;
    static constexpr size_t kMaxQueuedReplies = 65536;
    static constexpr time_t kIdleTimeout = 300;

    // Reasons given to OnSessionAbort.
    enum AbortReason {
        SMTP_NO_HELLO = 0,
        SMTP_NAME_TOO_LONG = 1,
        SMTP_DOMAIN_TOO_LONG = 2,
        SMTP_QUIT = 3,
        SMTP_TIMEOUT = 4,
        // The message under way was refused; what the subclass collected of it is to be dropped.
        SMTP_MESSAGE_TOO_LARGE = 5,
        SMTP_LINE_TOO_LONG = 6,
    };

    class EmailAddress {
    public:
        explicit EmailAddress(const std::string& text);
        const std::string& GetName() const { return name; }
        const std::string& GetDomain() const { return domain; }
        const std::string& GetTopDomain() const { return top; }
        const std::string& GetSubDomain() const { return sub; }
        std::string ToString() const { return name + "@" + domain; }

    private:
        std::string name;
        std::string domain;
        std::string top;
        std::string sub;
    };

    explicit SmtpdSocket(ISocketHandler& handler);

    void SetHostName(const std::string& x) { m_host_name = x; }
    void SetMaxMessageSize(uint64_t x) { m_max_message = x; }

    void OnAccept() override;
    void OnLine(const std::string& line) override;
    void OnLineOverflow(size_t length) override;
    void OnTimeout() override;
    void OnWriteComplete() override;

protected:
    virtual bool OnHelloCommand(const std::string& domain) = 0;
    virtual bool OnMailFromCommand(const EmailAddress& address) = 0;
    virtual bool OnRecipientCommand(const EmailAddress& address) = 0;
    virtual void OnMessageHeader(const std::string& key, const std::string& value) = 0;
    virtual void OnMessageHeadersDone() = 0;
    virtual void OnMessageLine(const std::string& line) = 0;
    virtual bool OnMessageDone() = 0;
    virtual void OnResetCommand() = 0;
    virtual void OnSessionAbort(int reason) = 0;
    virtual void OnUnknownCommand(const std::string& verb, const std::string& arguments) = 0;

    // Sends a reply and stops reading while too many replies wait for the peer.
    void Reply(const std::string& text);

private:
    struct Command;
    static const Command kCommands[];

    void Hello(const std::string& rest);
    void Mail(const std::string& line);
    void Recipient(const std::string& line);
    void Data(const std::string& rest);
    void Rset(const std::string& rest);
    void Quit(const std::string& rest);
    void Noop(const std::string& rest);
    bool AddressWithinLimits(const EmailAddress& address);
    void MessageLine(const std::string& line);
    void DeliverHeader();
    void EndMessage();
    // Refuses the message under way: none of its further lines is delivered.
    void RefuseMessage(AbortReason reason);

    bool hello_done{false};
    bool in_data{false};
    bool in_headers{false};
    std::string header_line;
    std::string m_host_name{"localhost"};
    uint64_t m_max_message{kDefaultMaxMessage};
    uint64_t m_message_size{0};
    bool m_message_refused{false};
    AbortReason m_refusal{SMTP_MESSAGE_TOO_LARGE};
    bool m_paused{false};
};
