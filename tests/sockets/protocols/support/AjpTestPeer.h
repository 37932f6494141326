// The web-server side of AJP13, byte by byte, for tests: builds forward requests and body chunks,
// and splits what the container sends into packets. Plus a container that records each request
// and answers with a response the test prepares.
#pragma once

#include <string>
#include <vector>

#include "sockets/IFile.h"
#include "sockets/protocols/Ajp13Socket.h"

namespace ajp {

class Payload {
public:
    Payload& byte(int x) {
        m_bytes += static_cast<char>(x);
        return *this;
    }
    Payload& integer(int x) { return byte((x >> 8) & 0xff).byte(x & 0xff); }
    Payload& string(const std::string& s) {
        integer(static_cast<int>(s.size()));
        m_bytes += s;
        return byte(0);
    }
    Payload& raw(const std::string& s) {
        m_bytes += s;
        return *this;
    }
    // With the web server's header: 0x12 0x34 and the payload length.
    std::string Packet() const {
        return std::string("\x12\x34", 2) + static_cast<char>(m_bytes.size() >> 8) +
               static_cast<char>(m_bytes.size() & 0xff) + m_bytes;
    }

private:
    std::string m_bytes;
};

struct Header {
    int code;  // 0 when the name is sent as a string
    std::string name;
    std::string value;
};

inline std::string ForwardRequest(int method, const std::string& uri, const std::vector<Header>& headers,
                                  const std::vector<std::pair<int, std::string>>& attributes = {}) {
    Payload p;
    p.byte(2)
        .byte(method)
        .string("HTTP/1.1")
        .string(uri)
        .string("127.0.0.1")
        .string("client")
        .string("server");
    p.integer(80).byte(0).integer(static_cast<int>(headers.size()));
    for (const Header& h : headers) {
        if (h.code)
            p.integer(h.code);
        else
            p.string(h.name);
        p.string(h.value);
    }
    for (const auto& [code, value] : attributes) p.byte(code).string(value);
    p.byte(0xFF);
    return p.Packet();
}

inline std::string BodyChunk(const std::string& data) {
    return Payload().integer(static_cast<int>(data.size())).raw(data).Packet();
}

// The payload of a body chunk the container sends: type 3, the data length, the data, a zero byte.
inline std::string SentChunk(const std::string& data) {
    return Payload().byte(3).string(data).Packet().substr(4);
}

// The payloads of the container's "AB" packets; stops at the first malformed one.
inline std::vector<std::string> Packets(const std::string& bytes) {
    std::vector<std::string> packets;
    size_t pos = 0;
    while (pos + 4 <= bytes.size() && bytes[pos] == 'A' && bytes[pos + 1] == 'B') {
        const size_t n =
            static_cast<unsigned char>(bytes[pos + 2]) << 8 | static_cast<unsigned char>(bytes[pos + 3]);
        if (pos + 4 + n > bytes.size()) break;
        packets.push_back(bytes.substr(pos + 4, n));
        pos += 4 + n;
    }
    return packets;
}

struct Log {
    std::vector<std::string> requests;
    std::vector<std::string> bodies;  // the raw body of each request
    HttpResponse response{"HTTP/1.1"};
    bool respond = true;
    bool respondTwice = false;  // a second, different response right after the first
    uint64_t maxBody = Ajp13Socket::kDefaultMaxBody;
    int completed = 0;
    std::vector<std::string> failed;  // what OnResponseFailed was told
};

// The payloads of a bodiless answer with the status, as the container sends it before closing.
inline std::vector<std::string> Refusal(int status, const std::string& text) {
    return {
        Payload().byte(4).integer(status).string(text).integer(1).integer(0xA003).string("0").Packet().substr(
            4),
        Payload().byte(5).byte(0).Packet().substr(4)};
}

class Container : public Ajp13Socket {
public:
    Container(ISocketHandler& handler, Log* log) : Ajp13Socket(handler), m_log(log) {
        SetMaxBodySize(log->maxBody);
    }
    Socket* Create() override { return new Container(Handler(), m_log); }
    void OnRequest(const HttpRequest& request) override {
        std::string text = request.HttpMethod() + " " + request.Uri();
        for (const HttpdForm::CGI& e : request.Form().Entries()) text += " [" + e.name + "=" + e.value + "]";
        m_log->requests.push_back(text);
        std::string body;
        if (IFile* file = request.Body()) {
            file->reset_read();
            char buf[8192];
            for (size_t n; (n = file->fread(buf, 1, sizeof(buf))) > 0;) body.append(buf, n);
        }
        m_log->bodies.push_back(body);
        if (m_log->respond) {
            HttpResponse copy(m_log->response.HttpVersion());
            copy = m_log->response;
            Respond(copy);
        }
        if (m_log->respondTwice) {
            HttpResponse other("HTTP/1.1");
            other.SetHttpStatusCode(500);
            other.SetHttpStatusMsg("Second");
            other.Write("second");
            Respond(other);
        }
    }
    void OnResponseComplete() override { ++m_log->completed; }

protected:
    void OnResponseFailed(const std::string& reason) override { m_log->failed.push_back(reason); }

private:
    Log* m_log;
};

}  // namespace ajp
