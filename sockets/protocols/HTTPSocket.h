// The HTTP/1.x message layer that every HTTP socket derives from: reads the first line and the
// header lines, then the body by Content-Length or chunked coding, and hands it on in pieces. Every
// byte comes from a peer, so the reader is strict: capped lines and header count, one length
// parser, no folded or smuggling-prone headers; a fault reaches OnFramingError once and the rest
// of the input is ignored. Lines are split here, not by the TcpSocket line mode, so that a bare CR
// can be refused and pipelined input is parsed in a loop. Runs on the handler's loop thread.
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <string>
#include <utility>

#include "sockets/TcpSocket.h"
#include "sockets/Utility.h"

class HTTPSocket : public TcpSocket {
public:
    using string_m = std::map<std::string, std::string, Utility::ncmap_compare>;

    static constexpr size_t kMaxLineLength = 8192;
    static constexpr size_t kMaxHeaders = 100;
    static constexpr time_t kHeaderTimeout = 30;
    static constexpr time_t kIdleTimeout = 120;
    // A request body has kBodyTimeout from its start, and a second more for each kBodyMinRate
    // bytes that arrive: a slow upload completes, a dribbled one gets 408.
    static constexpr time_t kBodyTimeout = 30;
    static constexpr uint64_t kBodyMinRate = 500;

    explicit HTTPSocket(ISocketHandler& handler);
    ~HTTPSocket() override;

    // Digits only, at most 64 bits; anything else (sign, blank, overflow, empty) is false.
    static bool ParseContentLength(const std::string& text, uint64_t& length);
    // 1 to 16 hexadecimal digits, optionally followed by ";ext".
    static bool ParseChunkSize(const std::string& line, uint64_t& size);

    virtual void OnFirst() = 0;
    virtual void OnHeader(const std::string& key, const std::string& value) = 0;
    virtual void OnHeaderComplete() = 0;
    virtual void OnData(const char* buf, size_t len) = 0;
    virtual void OnDataComplete() {}
    virtual std::string MyUseragent();
    virtual void Reset();
    // The peer broke the framing; the default logs it and closes.
    virtual void OnFramingError(const std::string& reason);
    // A response to this request has no body whatever its headers say (HEAD, 1xx, 204, 304).
    virtual bool ResponseHasNoBody();

    void OnRawData(const char* buf, size_t len) override;
    void OnTimeout() override;
    // Arms the idle time-out: a peer that connects and sends nothing is closed in time.
    void OnAccept() override;

    const std::string& GetMethod() const { return method; }
    const std::string& GetUrl() const { return url; }
    const std::string& GetUri() const { return uri; }
    const std::string& GetQueryString() const { return query_string; }
    const std::string& GetHttpVersion() const { return http_version; }
    const std::string& GetStatus() const { return status; }
    const std::string& GetStatusText() const { return status_text; }
    bool IsRequest() const { return is_request; }
    bool IsResponse() const { return is_response; }
    bool IsChunked() const { return chunked; }
    bool KeepAlive() const { return keep_alive; }
    bool Http11() const { return http11; }
    uint64_t GetContentLengthValue() const { return content_length; }
    bool HasContentLength() const { return has_content_length; }
    bool Failed() const { return failed; }

    void SetMethod(const std::string& x) { method = x; }
    void SetUrl(const std::string& x) { url = x; }
    void SetUri(const std::string& x) { uri = x; }
    void SetHttpVersion(const std::string& x) { http_version = x; }
    void SetStatus(const std::string& x) { status = x; }
    void SetStatusText(const std::string& x) { status_text = x; }
    void SetKeepAlive(bool x) { keep_alive = x; }

    // Names must be tokens and values free of CR and LF; others are refused with a log report.
    void AddResponseHeader(const std::string& name, const std::string& value);
    void AddResponseHeader(const std::string& name, const char* format, ...)
        __attribute__((format(printf, 3, 4)));
    void AppendResponseHeader(const std::string& name, const std::string& value);
    bool ResponseHeaderIsSet(const std::string& name);
    const string_m& ResponseHeaders() const { return headers_out; }
    void SendRequest();
    // The request line and headers that SendRequest sends.
    std::string RequestHead() const;
    virtual void SendResponse();
    // The status line and headers that SendResponse sends.
    std::string ResponseHead() const;

    void url_this(const std::string& url_in, std::string& protocol, std::string& host, port_t& port,
                  std::string& path, std::string& file);

protected:
    // While held, input is kept unparsed and the socket reads nothing more; releasing parses it.
    void HoldInput(bool hold);
    // Further input is dropped: the connection carries no more messages.
    void IgnoreInput() { ignore_input = true; }
    void Fail(const std::string& reason);
    // A bodiless answer with the status and "Connection: close"; the socket then closes.
    void SendRefusal(int status);

private:
    enum class Body { None, Length, Chunked, UntilClose };
    enum class Chunk { Size, Data, DataEnd, Trailer };

    size_t Consume(const char* buf, size_t len);
    size_t ConsumeLine(const char* buf, size_t len, bool& complete);
    size_t ConsumeBody(const char* buf, size_t len);
    void OnHttpLine(const std::string& line);
    void ParseFirst(const std::string& line);
    void ParseHeader(const std::string& line);
    void HeadersDone();
    void ChunkLine(const std::string& line);
    void MessageComplete();
    void ArmBodyDeadline();
    bool ValidHeader(const std::string& name, const std::string& value);

    bool expect_first{true};
    bool in_headers{true};
    std::string method;
    std::string url;
    std::string uri;
    std::string query_string;
    std::string http_version{"HTTP/1.0"};
    std::string status;
    std::string status_text;
    bool is_request{false};
    bool is_response{false};
    string_m headers_out;
    uint64_t body_left{0};
    bool http11{false};
    bool keep_alive{false};
    std::list<std::pair<std::string, std::string>> appended_headers;
    bool chunked{false};
    uint64_t chunk_left{0};
    Chunk chunk_state{Chunk::Size};
    std::string chunk_line;

    Body body{Body::None};
    std::string line;
    size_t header_count{0};
    uint64_t content_length{0};
    bool has_content_length{false};
    bool has_transfer_encoding{false};
    bool expect_continue{false};
    std::string transfer_encoding;
    bool header_timer{false};
    time_t body_start{0};
    uint64_t body_received{0};
    bool failed{false};
    bool ignore_input{false};
    bool hold{false};
    bool in_consume{false};
    std::string held;
};
