#include "sockets/protocols/HTTPSocket.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sockets/Parse.h"

namespace {

bool IsTokenChar(char c) {
    if (c <= 32 || c >= 127) return false;
    return strchr("()<>@,;:\\\"/[]?={}", c) == nullptr;
}

bool IsToken(const std::string& text) {
    if (text.empty()) return false;
    for (char c : text)
        if (!IsTokenChar(c)) return false;
    return true;
}

std::string Trim(const std::string& text) {
    size_t b = 0, e = text.size();
    while (b < e && (text[b] == ' ' || text[b] == '\t')) ++b;
    while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t')) --e;
    return text.substr(b, e - b);
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

struct StatusText {
    int code;
    const char* text;
};

constexpr StatusText kRefusals[] = {
    {400, "Bad Request"},
    {405, "Method not allowed"},
    {408, "Request Timeout"},
    {413, "Payload Too Large"},
};

}  // namespace

HTTPSocket::HTTPSocket(ISocketHandler& handler) : TcpSocket(handler) {
    // Lines are split by this class; the base only delivers raw reads.
    SetLineProtocol(false);
    DisableInputBuffer(true);
}

HTTPSocket::~HTTPSocket() = default;

bool HTTPSocket::ParseContentLength(const std::string& text, uint64_t& length) {
    if (text.empty()) return false;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        if (value > (UINT64_MAX - digit) / 10) return false;
        value = value * 10 + digit;
    }
    length = value;
    return true;
}

bool HTTPSocket::ParseChunkSize(const std::string& line, uint64_t& size) {
    const std::string digits = line.substr(0, line.find(';'));
    if (digits.empty() || digits.size() > 16) return false;
    uint64_t value = 0;
    for (char c : digits) {
        const int v = HexValue(c);
        if (v < 0) return false;
        value = value << 4 | static_cast<uint64_t>(v);
    }
    size = value;
    return true;
}

std::string HTTPSocket::MyUseragent() {
    return "Sockets/";
}

void HTTPSocket::Reset() {
    // Mid-body the framing must stay where it is, or the body would be read as requests.
    if (body == Body::None) {
        expect_first = true;
        in_headers = true;
    }
    is_request = false;
    is_response = false;
    headers_out.clear();
    appended_headers.clear();
}

void HTTPSocket::OnFramingError(const std::string& reason) {
    Handler().LogError(this, "HTTPSocket", 0, reason, LOG_LEVEL_ERROR);
    SetCloseAndDelete();
}

bool HTTPSocket::ResponseHasNoBody() {
    return status.size() == 3 && (status[0] == '1' || status == "204" || status == "304");
}

void HTTPSocket::Fail(const std::string& reason) {
    if (failed) return;
    failed = true;
    held.clear();
    OnFramingError(reason);
}

void HTTPSocket::OnTimeout() {
    if (expect_first && line.empty()) {
        SetCloseAndDelete();
        return;
    }
    Fail("timeout");
}

void HTTPSocket::OnAccept() {
    if (GetSocket() != -1) SetTimeout(kIdleTimeout);
}

void HTTPSocket::OnRawData(const char* buf, size_t len) {
    if (failed || ignore_input) return;
    if (hold) {
        held.append(buf, len);
        return;
    }
    const bool outer = !in_consume;
    in_consume = true;
    size_t pos = 0;
    while (pos < len && !failed && !ignore_input && !hold) pos += Consume(buf + pos, len - pos);
    if (hold && pos < len && !failed && !ignore_input) held.append(buf + pos, len - pos);
    if (outer) in_consume = false;
}

void HTTPSocket::HoldInput(bool x) {
    hold = x;
    if (GetSocket() != -1 && !CloseAndDelete()) {
        DisableRead(x);
        Set(!x, GetOutputLength() > 0, true);
    }
    if (x || in_consume || held.empty()) return;
    std::string pending;
    pending.swap(held);
    OnRawData(pending.data(), pending.size());
}

size_t HTTPSocket::Consume(const char* buf, size_t len) {
    if (in_headers || (body == Body::Chunked && chunk_state != Chunk::Data)) {
        // The head has one time-out from its first byte; blank lines before it do not renew it.
        if (!header_timer && GetSocket() != -1) {
            header_timer = true;
            SetTimeout(kHeaderTimeout);
        }
        bool complete = false;
        const size_t used = ConsumeLine(buf, len, complete);
        if (!complete) return used;
        std::string text;
        text.swap(line);
        if (in_headers)
            OnHttpLine(text);
        else
            ChunkLine(text);
        return used;
    }
    return ConsumeBody(buf, len);
}

size_t HTTPSocket::ConsumeLine(const char* buf, size_t len, bool& complete) {
    const char* lf = static_cast<const char*>(memchr(buf, '\n', len));
    const size_t take = lf ? static_cast<size_t>(lf - buf) : len;
    // One CR more than the cap may be the CR of the CR LF.
    if (line.size() + take > kMaxLineLength + 1) {
        Fail("line too long");
        return len;
    }
    line.append(buf, take);
    if (!lf) return len;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > kMaxLineLength) {
        Fail("line too long");
        return len;
    }
    if (line.find('\r') != std::string::npos) {
        Fail("bare CR in line");
        return len;
    }
    complete = true;
    return take + 1;
}

void HTTPSocket::ArmBodyDeadline() {
    if (GetSocket() == -1) return;
    const time_t deadline = body_start + kBodyTimeout + static_cast<time_t>(body_received / kBodyMinRate);
    // Past the deadline the time-out armed before is due already; arming again would defer it.
    const time_t now = Handler().Now();
    if (deadline > now) SetTimeout(deadline - now);
}

size_t HTTPSocket::ConsumeBody(const char* buf, size_t len) {
    if (!is_request && GetSocket() != -1) SetTimeout(kIdleTimeout);
    if (body == Body::UntilClose) {
        OnData(buf, len);
        return len;
    }
    uint64_t& left = body == Body::Chunked ? chunk_left : body_left;
    const size_t n = static_cast<size_t>(std::min<uint64_t>(left, len));
    left -= n;
    if (is_request) {
        body_received += n;
        ArmBodyDeadline();
    }
    OnData(buf, n);
    if (failed || left > 0) return n;
    if (body == Body::Chunked)
        chunk_state = Chunk::DataEnd;
    else
        MessageComplete();
    return n;
}

void HTTPSocket::OnHttpLine(const std::string& text) {
    if (expect_first) {
        // Blank lines before a first line are allowed and carry nothing.
        if (text.empty()) return;
        ParseFirst(text);
        return;
    }
    if (!text.empty()) {
        ParseHeader(text);
        return;
    }
    HeadersDone();
}

void HTTPSocket::ParseFirst(const std::string& text) {
    header_count = 0;
    expect_continue = false;
    Parse pa(text);
    const std::string first = pa.getword();
    if (first.size() >= 5 && Utility::ToLower(first.substr(0, 5)) == "http/") {
        http_version = first;
        status = pa.getword();
        status_text = pa.getrest();
        if (status.size() != 3 || status.find_first_not_of("0123456789") != std::string::npos) {
            Fail("bad status line");
            return;
        }
        is_response = true;
    } else {
        method = first;
        url = pa.getword();
        const std::string version = pa.getword();
        if (!IsToken(method) || url.empty() || Utility::ToLower(version.substr(0, 5)) != "http/" ||
            !pa.getrest().empty()) {
            Fail("bad request line");
            return;
        }
        const size_t q = url.find('?');
        uri = url.substr(0, q);
        query_string = q == std::string::npos ? "" : url.substr(q + 1);
        http_version = version;
        http11 = http_version.size() >= 5 && http_version.substr(4) == "/1.1";
        keep_alive = http11;
        is_request = true;
    }
    expect_first = false;
    OnFirst();
}

void HTTPSocket::ParseHeader(const std::string& text) {
    if (++header_count > kMaxHeaders) return Fail("too many header fields");
    if (text[0] == ' ' || text[0] == '\t') return Fail("folded header line");
    const size_t colon = text.find(':');
    if (colon == std::string::npos) return Fail("header line without colon");
    const std::string key = text.substr(0, colon);
    if (!IsToken(key)) return Fail("bad header name");
    const size_t start = text.find_first_not_of(" \t:", colon);
    const std::string value = start == std::string::npos ? "" : Trim(text.substr(start));
    const std::string lower = Utility::ToLower(key);
    if (lower == "content-length") {
        if (has_content_length) return Fail("duplicate Content-Length");
        if (!ParseContentLength(value, content_length)) return Fail("bad Content-Length");
        has_content_length = true;
    } else if (lower == "transfer-encoding") {
        if (has_transfer_encoding) transfer_encoding += ",";
        transfer_encoding += value;
        has_transfer_encoding = true;
    } else if (lower == "connection" && http11) {
        keep_alive = Utility::ToLower(value) != "close";
    } else if (lower == "expect") {
        expect_continue = Utility::ToLower(value) == "100-continue";
    }
    OnHeader(key, value);
}

void HTTPSocket::HeadersDone() {
    // An interim response (100 Continue, 103 Early Hints) is followed by the real one.
    if (is_response && status[0] == '1' && status != "101") {
        is_response = false;
        expect_first = true;
        header_count = 0;
        content_length = 0;
        has_content_length = false;
        has_transfer_encoding = false;
        transfer_encoding.clear();
        return;
    }
    if (has_transfer_encoding) {
        if (has_content_length) return Fail("Content-Length beside Transfer-Encoding");
        // Chunked must be the last coding and appear once.
        Parse pa(Utility::ToLower(transfer_encoding), ",");
        std::string last;
        int chunks = 0, codings = 0;
        for (std::string word = pa.getword(); !word.empty(); word = pa.getword()) {
            last = word;
            ++codings;
            if (word == "chunked") ++chunks;
        }
        if (last != "chunked" || chunks != 1) return Fail("Transfer-Encoding does not end in chunked");
        // Nothing here decodes another coding: its bytes would reach the application as the body.
        if (is_request && codings > 1) return Fail("Transfer-Encoding other than chunked");
        chunked = true;
    }
    if (is_response && ResponseHasNoBody())
        body = Body::None;
    else if (chunked)
        body = Body::Chunked;
    else if (content_length > 0)
        body = Body::Length;
    else if (is_response && !has_content_length)
        body = Body::UntilClose;
    else
        body = Body::None;
    body_left = body == Body::Length ? content_length : 0;
    chunk_state = Chunk::Size;
    in_headers = body == Body::None;
    if (is_request && body != Body::None) {
        body_start = Handler().Now();
        body_received = 0;
        ArmBodyDeadline();
    }
    OnHeaderComplete();
    if (failed) return;
    // A client that expects 100 holds its body until the head is accepted; a refused head has had
    // its final status from OnHeaderComplete.
    if (is_request && http11 && expect_continue && body != Body::None && !CloseAndDelete())
        Send("HTTP/1.1 100 Continue\r\n\r\n");
    if (body == Body::None) MessageComplete();
}

void HTTPSocket::ChunkLine(const std::string& text) {
    switch (chunk_state) {
        case Chunk::Size:
            if (!ParseChunkSize(text, chunk_left)) return Fail("bad chunk size");
            chunk_state = chunk_left ? Chunk::Data : Chunk::Trailer;
            return;
        case Chunk::DataEnd:
            if (!text.empty()) return Fail("missing CRLF after chunk");
            chunk_state = Chunk::Size;
            return;
        case Chunk::Trailer:
            if (text.empty()) return MessageComplete();
            // Trailer fields are checked like headers and then dropped: none may change framing.
            if (++header_count > kMaxHeaders) return Fail("too many header fields");
            if (text[0] == ' ' || text[0] == '\t' || !IsToken(text.substr(0, text.find(':'))) ||
                text.find(':') == std::string::npos)
                return Fail("bad trailer line");
            return;
        case Chunk::Data:
            return;
    }
}

void HTTPSocket::MessageComplete() {
    const bool response = is_response;
    body = Body::None;
    chunked = false;
    chunk_left = 0;
    chunk_state = Chunk::Size;
    body_left = 0;
    content_length = 0;
    has_content_length = false;
    has_transfer_encoding = false;
    transfer_encoding.clear();
    header_count = 0;
    expect_first = true;
    in_headers = true;
    header_timer = false;
    if (GetSocket() != -1) SetTimeout(kIdleTimeout);
    OnDataComplete();
    // A client reads one response per connection; what follows it is not ours to parse.
    if (response) IgnoreInput();
}

bool HTTPSocket::ValidHeader(const std::string& name, const std::string& value) {
    if (IsToken(name) && value.find_first_of(std::string("\r\n\0", 3)) == std::string::npos) return true;
    Handler().LogError(this, "AddResponseHeader", 0, "header refused: bad name or CR/LF in value",
                       LOG_LEVEL_ERROR);
    return false;
}

void HTTPSocket::AddResponseHeader(const std::string& name, const std::string& value) {
    if (!ValidHeader(name, value)) return;
    auto it = headers_out.find(name);
    if (it != headers_out.end())
        it->second = value;
    else
        headers_out.emplace(name, value);
}

void HTTPSocket::AddResponseHeader(const std::string& name, const char* format, ...) {
    char buf[5000];
    va_list ap;
    va_start(ap, format);
    vsnprintf(buf, sizeof(buf), format, ap);
    va_end(ap);
    AddResponseHeader(name, std::string(buf));
}

void HTTPSocket::AppendResponseHeader(const std::string& name, const std::string& value) {
    if (ValidHeader(name, value)) appended_headers.emplace_back(name, value);
}

bool HTTPSocket::ResponseHeaderIsSet(const std::string& name) {
    if (headers_out.count(name)) return true;
    for (const auto& [key, value] : appended_headers)
        if (strcasecmp(key.c_str(), name.c_str()) == 0) return true;
    return false;
}

std::string HTTPSocket::RequestHead() const {
    std::string text = method + " " + url + " " + http_version + "\r\n";
    for (const auto& [key, value] : headers_out) text += key + ": " + value + "\r\n";
    text += "\r\n";
    return text;
}

void HTTPSocket::SendRequest() {
    if (GetSocket() != -1) SetTimeout(kIdleTimeout);
    Send(RequestHead());
}

std::string HTTPSocket::ResponseHead() const {
    std::string text = http_version + " " + status + " " + status_text + "\r\n";
    for (const auto& [key, value] : headers_out) text += key + ": " + value + "\r\n";
    for (const auto& [key, value] : appended_headers) text += key + ": " + value + "\r\n";
    text += "\r\n";
    return text;
}

void HTTPSocket::SendResponse() {
    Send(ResponseHead());
}

void HTTPSocket::url_this(const std::string& url_in, std::string& protocol, std::string& host, port_t& port,
                          std::string& path, std::string& file) {
    Parse pa(url_in, "/");
    protocol = pa.getword();
    port = 80;
    if (strcasecmp(protocol.c_str(), "https:") == 0) {
        EnableSSL(true);
        port = 443;
    }
    host = pa.getword();
    if (host.size() > 1 && host[0] == '[') {
        // An IPv6 literal: its colons are the address's; a port follows the bracket.
        const size_t close = host.find(']');
        const std::string after = close == std::string::npos ? "" : host.substr(close + 1);
        host = host.substr(1, close == std::string::npos ? std::string::npos : close - 1);
        if (after.size() > 1 && after[0] == ':') {
            const long value = std::atol(after.c_str() + 1);
            if (value > 0 && value < 65536) port = static_cast<port_t>(value);
        }
    } else if (host.find(':') != std::string::npos) {
        Parse pa2(host, ":");
        const std::string name = pa2.getword();
        const long value = pa2.getvalue();
        host = name;
        if (value > 0 && value < 65536) port = static_cast<port_t>(value);
    }
    path = "/" + pa.getrest();
    Parse pa3(path, "/");
    for (std::string segment = pa3.getword(); !segment.empty(); segment = pa3.getword()) file = segment;
}

void HTTPSocket::SendRefusal(int code) {
    const char* text = "Bad Request";
    for (const StatusText& s : kRefusals)
        if (s.code == code) text = s.text;
    Send("HTTP/1.1 " + std::to_string(code) + " " + text +
         "\r\nConnection: close\r\nContent-Length: 0\r\n\r\n");
    IgnoreInput();
    SetCloseAndDelete();
}
