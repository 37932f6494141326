#include "sockets/protocols/AjpBaseSocket.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kMethods[] = {
    "OPTIONS",
    "GET",
    "HEAD",
    "POST",
    "PUT",
    "DELETE",
    "TRACE",
    "PROPFIND",
    "PROPPATCH",
    "MKCOL",
    "COPY",
    "MOVE",
    "LOCK",
    "UNLOCK",
    "ACL",
    "REPORT",
    "VERSION_CONTROL",
    "CHECKIN",
    "CHECKOUT",
    "UNCHECKOUT",
    "SEARCH",
    "MKWORKSPACE",
    "UPDATE",
    "LABEL",
    "MERGE",
    "BASELINE_CONTROL",
    "MKACTIVITY",
};

constexpr const char* kRequestHeaders[] = {
    "accept",     "accept-charset", "accept-encoding", "accept-language", "authorization",
    "connection", "content-type",   "content-length",  "cookie",          "cookie2",
    "host",       "pragma",         "referer",         "user-agent",
};

struct CodeName {
    int code;
    const char* name;
};

constexpr CodeName kAttributes[] = {
    {1, "context"},      {2, "servlet_path"},  {3, "remote_user"}, {4, "auth_type"},
    {5, "query_string"}, {6, "route"},         {7, "ssl_cert"},    {8, "ssl_cipher"},
    {9, "ssl_session"},  {11, "ssl_key_size"}, {12, "secret"},     {13, "stored_method"},
};

constexpr const char* kResponseHeaders[] = {
    "content-type", "content-language", "content-length", "date",   "last-modified",    "location",
    "set-cookie",   "set-cookie2",      "servlet-engine", "status", "www-authenticate",
};

}  // namespace

AjpBaseSocket::Initializer::Initializer() {
    int code = 1;
    for (const char* m : kMethods) Method[code++] = m;
    code = 0xA001;
    for (const char* h : kRequestHeaders) Header[code++] = h;
    for (const CodeName& a : kAttributes) Attribute[a.code] = a.name;
    code = 0xA001;
    for (const char* h : kResponseHeaders) ResponseHeader[h] = code++;
}

const AjpBaseSocket::Initializer& AjpBaseSocket::Tables() {
    static const Initializer tables;
    return tables;
}

int AjpBaseSocket::PacketReader::get_byte() {
    if (m_pos + 1 > m_length) {
        m_overrun = true;
        return 0;
    }
    return static_cast<unsigned char>(m_buf[m_pos++]);
}

int AjpBaseSocket::PacketReader::get_integer() {
    if (m_pos + 2 > m_length) {
        m_overrun = true;
        m_pos = m_length;
        return 0;
    }
    const int value =
        static_cast<unsigned char>(m_buf[m_pos]) << 8 | static_cast<unsigned char>(m_buf[m_pos + 1]);
    m_pos += 2;
    return value;
}

std::string AjpBaseSocket::PacketReader::get_string() {
    const int n = get_integer();
    // 0xFFFF is the protocol's null string: nothing follows it.
    if (m_overrun || n == 0xFFFF) return "";
    const size_t len = static_cast<size_t>(n);
    if (m_pos + len + 1 > m_length) {
        m_overrun = true;
        m_pos = m_length;
        return "";
    }
    const char* start = m_buf + m_pos;
    const char* zero = static_cast<const char*>(memchr(start, 0, len));
    std::string text(start, zero ? static_cast<size_t>(zero - start) : len);
    m_pos += len + 1;
    return text;
}

AjpBaseSocket::PacketWriter::PacketWriter() {
    m_buf[0] = 'A';
    m_buf[1] = 'B';
}

void AjpBaseSocket::PacketWriter::put_bytes(const char* buf, size_t len) {
    if (m_overflow || m_pos + len > kBufferSize) {
        m_overflow = true;
        return;
    }
    memcpy(m_buf + m_pos, buf, len);
    m_pos += len;
}

void AjpBaseSocket::PacketWriter::put_byte(int x) {
    const char c = static_cast<char>(x);
    put_bytes(&c, 1);
}

void AjpBaseSocket::PacketWriter::put_integer(int x) {
    const char b[2] = {static_cast<char>((x >> 8) & 0xff), static_cast<char>(x & 0xff)};
    put_bytes(b, 2);
}

void AjpBaseSocket::PacketWriter::put_string(const std::string& x) {
    // Lengths are 16 bits and 0xFFFF means null; longer texts cannot be sent.
    if (x.size() >= 0xFFFF) {
        m_overflow = true;
        return;
    }
    put_integer(static_cast<int>(x.size()));
    put_bytes(x.data(), x.size());
    put_byte(0);
}

const char* AjpBaseSocket::PacketWriter::Finish(size_t& length) {
    const size_t payload = m_pos - 4;
    m_buf[2] = static_cast<char>(payload >> 8);
    m_buf[3] = static_cast<char>(payload & 0xff);
    length = m_pos;
    return m_buf;
}

AjpBaseSocket::AjpBaseSocket(ISocketHandler& handler) : TcpSocket(handler) {
    Init();
    // Packets are framed here from the raw reads; the base's ring buffer would only overflow.
    DisableInputBuffer(true);
}

void AjpBaseSocket::ArmTimeout(time_t seconds) {
    if (GetSocket() != -1) SetTimeout(seconds);
}

void AjpBaseSocket::OnAccept() {
    ArmTimeout(kIdleTimeout);
}

void AjpBaseSocket::OnTimeout() {
    if (InPacket())
        fprintf(stderr, "ABORT: packet not complete within %d s\n", static_cast<int>(kPacketTimeout));
    SetCloseAndDelete();
}

void AjpBaseSocket::OnRawData(const char* buf, size_t len) {
    size_t pos = 0;
    while (pos < len && !CloseAndDelete()) {
        // A packet has one time-out from its first byte, however slowly the rest of it comes.
        if (!InPacket()) ArmTimeout(kPacketTimeout);
        const size_t take = std::min(m_length - m_ptr, len - pos);
        memcpy(m_message + m_ptr, buf + pos, take);
        m_ptr += take;
        pos += take;
        if (m_ptr < m_length) return;
        if (m_state == 0) {
            const int id =
                static_cast<unsigned char>(m_message[0]) << 8 | static_cast<unsigned char>(m_message[1]);
            const size_t length = static_cast<size_t>(static_cast<unsigned char>(m_message[2]) << 8 |
                                                      static_cast<unsigned char>(m_message[3]));
            OnHeader(static_cast<short>(id), static_cast<short>(length));
            if (CloseAndDelete()) return;
            // The announced payload must fit the buffer; the subclass has refused longer ones.
            m_state = 1;
            m_length = std::min(length, kMaxPayload);
            m_ptr = 0;
            if (m_length == 0) {
                m_state = 0;
                m_length = 4;
                OnPacket(m_message, 0);
                ArmTimeout(kIdleTimeout);
            }
        } else {
            const size_t length = m_length;
            m_state = 0;
            m_length = 4;
            m_ptr = 0;
            OnPacket(m_message, length);
            ArmTimeout(kIdleTimeout);
        }
    }
}
