// The client side of one HTTP exchange: parses a URL, keeps the response's status and header
// lines as text, and stores the body in a file or a memory buffer while every byte also passes
// through OnData. OnContent tells the owner once that the exchange is over. It is a success only
// when the whole response arrived: its body complete by length or chunks, or, with neither, ended
// by the peer's close. Anything else (no connection, no answer in time, a cut head or body, a
// coding it cannot decode, a body it could not store, a file to upload that is gone) is a
// failure, and Failed() says so. Runs on the handler's loop thread.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "sockets/protocols/HTTPSocket.h"

class HttpClientSocket : public HTTPSocket {
public:
    // Larger bodies are not buffered in memory; they still reach OnData, but without a file or a
    // buffer of the caller's to keep them the exchange ends as failed.
    static constexpr size_t kMaxBuffer = 16 << 20;

    explicit HttpClientSocket(ISocketHandler& handler);
    HttpClientSocket(ISocketHandler& handler, const std::string& url);
    HttpClientSocket(ISocketHandler& handler, const std::string& host, port_t port, const std::string& url);
    ~HttpClientSocket() override;

    virtual void OnContent() {}

    void Url(const std::string& url, std::string& host, port_t& port);
    void SetFilename(const std::string& x) { filename = x; }
    void SetDataPtr(unsigned char* buf, size_t len);
    void SetCloseOnComplete(bool x = true) { close_on_complete = x; }

    const std::string& GetContent() const { return content; }
    size_t GetContentLength() const { return content_length; }
    size_t GetContentPtr() const { return content_pos; }
    size_t GetPos() const { return content_pos; }
    bool Complete() const { return complete; }
    const unsigned char* GetDataPtr() const { return data_ptr; }
    const std::string& GetUrlProtocol() const { return url_protocol; }
    const std::string& GetUrlHost() const { return url_host; }
    port_t GetUrlPort() const { return url_port; }
    const std::string& GetUrlFilename() const { return url_filename; }
    const std::string& GetContentType() const { return content_type; }

protected:
    void OnFirst() override;
    void OnHeader(const std::string& key, const std::string& value) override;
    void OnHeaderComplete() override;
    void OnData(const char* buf, size_t len) override;
    void OnDataComplete() override;
    void OnDelete() override;
    void OnTimeout() override;
    void OnFramingError(const std::string& reason) override;
    bool ResponseHasNoBody() override;
    // The Host header's value: the port is left out where it is the scheme's own.
    std::string HostHeader() const;

    // Ends the exchange as failed with one report: the connection closes and OnContent follows
    // (unless the exchange had already ended; then the connection only closes).
    void Abort(const std::string& operation, int err, const std::string& text, loglevel_t level);

private:
    void EndContent();

    std::string filename;
    unsigned char* data_ptr{nullptr};
    size_t data_size{0};
    size_t content_length{0};
    std::string content;
    bool user_buffer{false};
    FILE* file{nullptr};
    size_t content_pos{0};
    bool complete{false};
    bool close_on_complete{false};
    std::string url_protocol;
    std::string url_host;
    port_t url_port{0};
    std::string url_filename;
    std::string content_type;
    std::unique_ptr<unsigned char[]> own_buffer;
    bool head_complete{false};
    bool abort_reported{false};
    bool body_unkept{false};
};
