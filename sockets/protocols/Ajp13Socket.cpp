#include "sockets/protocols/Ajp13Socket.h"

#include <strings.h>

#include <cstdarg>
#include <cstdio>

#include "sockets/IFile.h"
#include "sockets/protocols/HTTPSocket.h"

namespace {

constexpr int kForwardRequest = 2;
constexpr int kSendBodyChunk = 3;
constexpr int kSendHeaders = 4;
constexpr int kEndResponse = 5;
constexpr int kGetBodyChunk = 6;
constexpr int kCPong = 9;
constexpr int kCPing = 10;
constexpr int kIgnoredTypes[] = {7, 8};  // shutdown, ping: no reply
constexpr int kCodedName = 0xA0;
constexpr int kAttributeName = 10;
constexpr int kAttributesEnd = 0xFF;
constexpr int kSetCookie = 0xA007;

}  // namespace

Ajp13Socket::Ajp13Socket(ISocketHandler& handler) : AjpBaseSocket(handler), m_res("HTTP/1.0") {}

void Ajp13Socket::Abort(const char* format, ...) {
    char text[256];
    va_list ap;
    va_start(ap, format);
    vsnprintf(text, sizeof(text), format, ap);
    va_end(ap);
    std::string reason = text;
    if (!reason.empty() && reason.back() == '\n') reason.pop_back();
    Handler().LogError(this, "Ajp13Socket", 0, reason, LOG_LEVEL_ERROR);
    SetCloseAndDelete();
}

void Ajp13Socket::Refuse(int status, const char* text) {
    PacketWriter head;
    head.put_byte(kSendHeaders);
    head.put_integer(status);
    head.put_string(text);
    head.put_integer(1);
    head.put_integer(Tables().ResponseHeader.at("content-length"));
    head.put_string("0");
    SendPacket(head);
    // Not to be reused: the rest of the body may still be on its way.
    PacketWriter end;
    end.put_byte(kEndResponse);
    end.put_boolean(false);
    SendPacket(end);
    m_in_body = false;
    SetCloseAndDelete();
}

void Ajp13Socket::OnHeader(short id, short length) {
    if (static_cast<unsigned short>(id) != 0x1234)
        return Abort("ABORT: bad packet id: %x\n", static_cast<unsigned short>(id));
    if (static_cast<unsigned short>(length) > kMaxPayload)
        return Abort("ABORT: packet length %d does not fit the buffer\n",
                     static_cast<unsigned short>(length));
}

void Ajp13Socket::SendPacket(PacketWriter& out) {
    size_t n;
    const char* p = out.Finish(n);
    SendBuf(p, n);
}

void Ajp13Socket::OnPacket(const char* buf, size_t length) {
    if (m_in_body) return ReceiveBody(buf, length);
    // An empty body packet after the body has ended answers an ask that crossed a packet the web
    // server sent unasked; it carries nothing.
    if (length == 0 || (length == 2 && buf[0] == 0 && buf[1] == 0)) return;
    const int type = static_cast<unsigned char>(buf[0]);
    if (type == kForwardRequest) return ReceiveForwardRequest(buf, length);
    if (type == kCPing) {
        PacketWriter out;
        out.put_byte(kCPong);
        return SendPacket(out);
    }
    for (int ignored : kIgnoredTypes)
        if (type == ignored) return;
    Abort("Unknown packet type: 0x%02x\n", type);
}

void Ajp13Socket::ReceiveForwardRequest(const char* buf, size_t length) {
    if (m_responding) return Abort("Forward request while a response is being sent\n");
    const Initializer& tables = Tables();
    // Each forward request starts from nothing.
    m_req.Reset();
    PacketReader in(buf, length);
    in.get_byte();
    const int method = in.get_byte();
    auto it = tables.Method.find(method);
    m_req.SetHttpMethod(it != tables.Method.end() ? it->second : std::to_string(method));
    m_req.SetHttpVersion(in.get_string());
    m_req.SetUri(in.get_string());
    m_req.SetRemoteAddr(in.get_string());
    m_req.SetRemoteHost(in.get_string());
    m_req.SetServerName(in.get_string());
    m_req.SetServerPort(in.get_integer());
    m_req.SetIsSsl(in.get_boolean());
    const int headers = in.get_integer();
    for (int i = 0; i < headers && !in.Overrun(); ++i) {
        std::string name;
        if (in.peek_byte() == kCodedName) {
            const int code = in.get_integer();
            auto h = tables.Header.find(code);
            if (h != tables.Header.end())
                name = h->second;
            else
                Abort("Unknown header key value: %x\n", code);
        } else {
            name = in.get_string();
        }
        const std::string value = in.get_string();
        if (strcasecmp(name.c_str(), "cookie") == 0 || strcasecmp(name.c_str(), "cookie2") == 0)
            m_req.AddCookie(value);
        else if (!name.empty())
            m_req.SetHeader(name, value);
    }
    for (int code = in.get_byte(); code != kAttributesEnd && !in.Overrun(); code = in.get_byte()) {
        std::string name;
        if (code == kAttributeName) {
            name = in.get_string();
        } else {
            auto a = tables.Attribute.find(code);
            if (a != tables.Attribute.end())
                name = a->second;
            else
                Abort("Unknown attribute key: 0x%02x\n", code);
        }
        const std::string value = in.get_string();
        if (!name.empty()) m_req.SetAttribute(name, value);
    }
    if (in.Overrun())
        return Abort("Forward request runs past its packet of %d bytes\n", static_cast<int>(length));
    if (CloseAndDelete()) return;
    uint64_t body = 0;
    const std::string& text = m_req.Header("content-length");
    if (!text.empty() && !HTTPSocket::ParseContentLength(text, body))
        return Abort("Bad content-length in forward request\n");
    if (body > m_max_body) return RefuseBody();
    m_body_size_left = body;
    if (m_body_size_left) {
        // The web server sends the first body packet unasked.
        m_in_body = true;
        m_body_length_known = true;
        m_req.InitBody(static_cast<size_t>(body));
        return;
    }
    if (text.empty() && !m_req.Header("transfer-encoding").empty()) {
        // A chunked request: the web server waits to be asked for each packet of its body.
        m_in_body = true;
        m_body_length_known = false;
        m_req.InitBody(0);
        return AskForBody();
    }
    Execute();
}

void Ajp13Socket::RefuseBody() {
    Handler().LogError(this, "Ajp13Socket", 413,
                       "request body of more than " + std::to_string(m_max_body) + " bytes",
                       LOG_LEVEL_WARNING);
    Refuse(413, "Payload Too Large");
}

void Ajp13Socket::AskForBody() {
    PacketWriter out;
    out.put_byte(kGetBodyChunk);
    out.put_integer(1000);
    SendPacket(out);
}

void Ajp13Socket::ReceiveBody(const char* buf, size_t length) {
    // An empty packet has either no payload or a data length of 0.
    if (length == 1) return Abort("Body packet of %d bytes\n", static_cast<int>(length));
    const size_t declared = length == 0 ? 0
                                        : static_cast<size_t>(static_cast<unsigned char>(buf[0]) << 8 |
                                                              static_cast<unsigned char>(buf[1]));
    if (length > 0 && declared != length - 2)
        return Abort("Body chunk length %d differs from its packet\n", static_cast<int>(declared));
    if (declared == 0) {
        // Before the announced length it is a body cut short; without one it ends the body.
        if (m_body_length_known)
            return Abort("Body ended %d bytes early\n", static_cast<int>(m_body_size_left));
        m_in_body = false;
        m_req.CloseBody();
        return Execute();
    }
    if (m_body_length_known && declared > m_body_size_left)
        return Abort("More body data received than expected\n");
    if (!m_body_length_known && m_req.BodySize() + declared > m_max_body) return RefuseBody();
    m_req.Write(buf + 2, declared);
    if (m_body_length_known) {
        m_body_size_left -= declared;
        if (m_body_size_left == 0) {
            m_in_body = false;
            m_req.CloseBody();
            return Execute();
        }
    }
    AskForBody();
}

void Ajp13Socket::Execute() {
    m_req.ParseBody();
    m_responding = true;
    OnRequest(m_req);
}

void Ajp13Socket::Respond(const HttpResponse& response) {
    // One response per request: a second one would overwrite the first mid-stream.
    if (!m_responding || m_response_started || CloseAndDelete()) return;
    m_response_started = true;
    m_res = response;
    if (m_res.ContentLength() == 0) m_res.SetContentLength(static_cast<long>(m_res.GetFile().size()));
    const Initializer& tables = Tables();
    PacketWriter out;
    out.put_byte(kSendHeaders);
    out.put_integer(m_res.HttpStatusCode());
    out.put_string(m_res.HttpStatusMsg());
    const std::list<std::string> cookies = m_res.CookieNames();
    out.put_integer(static_cast<int>(m_res.Headers().size() + cookies.size()));
    for (const auto& [name, value] : m_res.Headers()) {
        auto it = tables.ResponseHeader.find(name);
        if (it != tables.ResponseHeader.end())
            out.put_integer(it->second);
        else
            out.put_string(name);
        out.put_string(value);
    }
    for (const std::string& name : cookies) {
        out.put_integer(kSetCookie);
        out.put_string(m_res.Cookie(name));
    }
    if (out.Overflow()) {
        // Nothing of it can go out: the front end gets a 500 of ours (without one it would answer
        // 503, as if the container were down), and the application and the log hear why.
        m_responding = false;
        m_response_started = false;
        const std::string reason = "response headers do not fit in a packet";
        Handler().LogError(this, "Ajp13Socket::Respond", m_res.HttpStatusCode(), reason, LOG_LEVEL_ERROR);
        Refuse(500, "Internal Server Error");
        OnResponseFailed(reason);
        return;
    }
    SendPacket(out);
    OnTransferLimit();
}

void Ajp13Socket::OnTransferLimit() {
    if (!m_responding) return;
    ArmTimeout(kIdleTimeout);
    char buf[kBodyPiece];
    while (GetOutputLength() < 2 && !CloseAndDelete()) {
        const size_t got = m_res.GetFile().fread(buf, 1, sizeof(buf));
        if (got == 0) {
            PacketWriter out;
            out.put_byte(kEndResponse);
            out.put_boolean(false);
            SendPacket(out);
            m_res.GetFile().fclose();
            m_responding = false;
            m_response_started = false;
            SetTransferLimit(0);
            OnResponseComplete();
            return;
        }
        // The data ends in a zero byte, as a string does; web servers check it is there.
        PacketWriter out;
        out.put_byte(kSendBodyChunk);
        out.put_integer(static_cast<int>(got));
        out.put_bytes(buf, got);
        out.put_byte(0);
        SendPacket(out);
    }
    SetTransferLimit(1);
}
