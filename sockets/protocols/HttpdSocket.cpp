#include "sockets/protocols/HttpdSocket.h"

#include <strings.h>

#include <ctime>

#include "sockets/Base64.h"
#include "sockets/Utility.h"

std::atomic<int> HttpdSocket::m_request_count{0};
std::mutex HttpdSocket::m_start_mutex;
std::string HttpdSocket::m_start;

namespace {

constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool Digits(const std::string& text, size_t from, size_t count, int& value) {
    value = 0;
    for (size_t i = from; i < from + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

}  // namespace

HttpdSocket::HttpdSocket(ISocketHandler& handler)
    : HTTPSocket(handler), m_request_id(++m_request_count), m_http_date(datetime2httpdate(GetDate())) {
    std::lock_guard<std::mutex> guard(m_start_mutex);
    if (m_start.empty()) m_start = m_http_date;
}

HttpdSocket::~HttpdSocket() = default;

std::string HttpdSocket::Start() {
    std::lock_guard<std::mutex> guard(m_start_mutex);
    return m_start;
}

std::string HttpdSocket::GetDate() {
    const time_t t = time(nullptr);
    struct tm tp;
    localtime_r(&t, &tp);
    char buf[40];
    snprintf(buf, sizeof(buf), "%d-%02d-%02d %02d:%02d:%02d", tp.tm_year + 1900, tp.tm_mon + 1, tp.tm_mday,
             tp.tm_hour, tp.tm_min, tp.tm_sec);
    return buf;
}

std::string HttpdSocket::datetime2httpdate(const std::string& text) {
    if (text.size() != 19) return "";
    struct tm tp {};
    int year, month, day, hour, minute, second;
    if (!Digits(text, 0, 4, year) || !Digits(text, 5, 2, month) || !Digits(text, 8, 2, day) ||
        !Digits(text, 11, 2, hour) || !Digits(text, 14, 2, minute) || !Digits(text, 17, 2, second))
        return "";
    tp.tm_year = year - 1900;
    tp.tm_mon = month > 0 ? month - 1 : 0;
    tp.tm_mday = day;
    tp.tm_hour = hour;
    tp.tm_min = minute;
    tp.tm_sec = second;
    tp.tm_isdst = -1;
    const time_t t = mktime(&tp);
    if (t == static_cast<time_t>(-1)) {
        Handler().LogError(this, "datetime2httpdate", 0, "mktime() failed", LOG_LEVEL_WARNING);
    } else {
        // The text is local time; an HTTP date is UTC.
        gmtime_r(&t, &tp);
    }
    char buf[64];
    snprintf(buf, sizeof(buf), "%s, %02d %s %d %02d:%02d:%02d GMT", kDays[(tp.tm_wday % 7 + 7) % 7],
             tp.tm_mday, kMonths[(tp.tm_mon % 12 + 12) % 12], tp.tm_year + 1900, tp.tm_hour, tp.tm_min,
             tp.tm_sec);
    return buf;
}

const std::string& HttpdSocket::Env(const std::string& name) const {
    static const std::string empty;
    auto it = m_env.find(name);
    return it == m_env.end() ? empty : it->second;
}

void HttpdSocket::OnHeader(const std::string& key, const std::string& value) {
    const std::string lower = Utility::ToLower(key);
    if (lower == "content-length") {
        m_content_length = static_cast<size_t>(GetContentLengthValue());
        m_content_length_str = value;
    } else if (lower == "cookie") {
        m_http_cookie = value;
    } else if (lower == "content-type") {
        m_content_type = value;
    } else if (lower == "if-modified-since") {
        m_if_modified_since = value;
    }
}

void HttpdSocket::OnHeaderComplete() {
    m_cookies = std::make_unique<HttpdCookies>(m_http_cookie);
    if (GetMethod() == "GET") m_env["QUERY_STRING"] = GetQueryString();
    m_env["REQUEST_METHOD"] = GetMethod();
    m_env["HTTP_COOKIE"] = m_http_cookie;
    m_env["CONTENT_TYPE"] = m_content_type;
    m_env["CONTENT_LENGTH"] = m_content_length_str;
    if (GetContentLengthValue() > m_max_body) {
        m_refusal = 413;
        Fail("request body too large");
        return;
    }
    // Every body is read to its end before the answer, whatever the method, so none is taken
    // for the next request.
    m_file = std::make_unique<MemFile>();
}

void HttpdSocket::OnData(const char* buf, size_t len) {
    if (m_received + len > m_max_body) {
        m_refusal = 413;
        Fail("request body too large");
        return;
    }
    m_file->fwrite(buf, 1, len);
    m_received += len;
}

void HttpdSocket::OnDataComplete() {
    if (GetMethod() == "GET") {
        m_form = std::make_unique<HttpdForm>(GetQueryString(), GetQueryString().size());
    } else if (GetMethod() == "POST") {
        m_form = std::make_unique<HttpdForm>(m_file.get(), m_content_type, m_received);
    } else {
        AddResponseHeader("Date", m_http_date);
        AddResponseHeader("Connection", "close");
        AddResponseHeader("Content-Length", "0");
        SetStatus("405");
        SetStatusText("Method not allowed");
        SendResponse();
        IgnoreInput();
        SetCloseAndDelete();
        return;
    }
    AddResponseHeader("Date", datetime2httpdate(GetDate()));
    Answer();
    const bool close = !KeepAlive();
    Reset();
    if (close) {
        IgnoreInput();
        SetCloseAndDelete();
        return;
    }
    // A peer that sends requests and does not read the answers is not read from either.
    if (GetOutputLength() > kMaxQueuedOutput) {
        m_output_held = true;
        HoldInput(true);
    }
}

void HttpdSocket::OnWriteComplete() {
    if (!m_output_held) return;
    m_output_held = false;
    HoldInput(false);
}

void HttpdSocket::OnTimeout() {
    // Between requests the connection just closes; a request left half-sent gets 408.
    m_refusal = 408;
    HTTPSocket::OnTimeout();
}

void HttpdSocket::Answer() {
    m_answering = true;
    if (GetUri() == "/image")
        Send64(Utility::Logo, "image/png");
    else
        OnPageRequest();
    m_answering = false;
    // A page without a body (or one that sends it later) still gets its head now.
    if (!m_held_head.empty()) {
        std::string head;
        head.swap(m_held_head);
        Send(head);
    }
}

void HttpdSocket::SendResponse() {
    if (!m_answering) return HTTPSocket::SendResponse();
    m_held_head += ResponseHead();
}

void HttpdSocket::SendBuf(const char* buf, size_t len, int flags) {
    if (m_held_head.empty() || len == 0) return HTTPSocket::SendBuf(buf, len, flags);
    std::string out;
    out.swap(m_held_head);
    out.append(buf, len);
    HTTPSocket::SendBuf(out.data(), out.size(), flags);
}

void HttpdSocket::Send64(const std::string& str64, const std::string& type) {
    const std::string start = Start();
    if (!m_if_modified_since.empty() && strcasecmp(start.c_str(), m_if_modified_since.c_str()) == 0) {
        SetStatus("304");
        SetStatusText("Not Modified");
        SendResponse();
        return;
    }
    std::string bytes;
    Base64::decode(str64, bytes);
    SetStatus("200");
    SetStatusText("OK");
    AddResponseHeader("Content-length", std::to_string(bytes.size()));
    AddResponseHeader("Content-type", type);
    AddResponseHeader("Last-modified", start);
    // One write: a body sent apart from its head would wait for the peer's delayed acknowledgement.
    Send(ResponseHead() + bytes);
}

void HttpdSocket::OnFramingError(const std::string& reason) {
    Handler().LogError(this, "HttpdSocket", m_refusal, reason, LOG_LEVEL_WARNING);
    SendRefusal(m_refusal);
}

void HttpdSocket::Reset() {
    HTTPSocket::Reset();
    m_content_length = 0;
    m_content_length_str.clear();
    m_http_cookie.clear();
    m_content_type.clear();
    m_if_modified_since.clear();
    m_file.reset();
    m_received = 0;
    m_request_id = ++m_request_count;
    m_cookies.reset();
    m_form.reset();
    m_env.clear();
}
