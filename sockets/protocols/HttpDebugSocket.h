// Echoes each request back as an HTML page: the request line, the headers and the body, all
// HTML-escaped, with two test forms. One request per connection. The echo is capped, and a peer
// that lets the output queue grow past the cap is closed. Runs on the handler's loop thread.
#pragma once

#include "sockets/protocols/HTTPSocket.h"

class HttpDebugSocket : public HTTPSocket {
public:
    static constexpr size_t kMaxEcho = 1 << 20;

    explicit HttpDebugSocket(ISocketHandler& handler) : HTTPSocket(handler) {}
    Socket* Create() override { return new HttpDebugSocket(Handler()); }

    void Init() override;

    static std::string Escape(const char* buf, size_t len);
    static std::string Escape(const std::string& text) { return Escape(text.data(), text.size()); }

protected:
    void OnFirst() override;
    void OnHeader(const std::string& key, const std::string& value) override;
    void OnHeaderComplete() override;
    void OnData(const char* buf, size_t len) override;
    void OnDataComplete() override;

private:
    void End();

    size_t m_content_length{0};
    size_t m_echoed{0};
    bool m_ended{false};
};
