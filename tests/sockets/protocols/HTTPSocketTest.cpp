#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sockets/protocols/HTTPSocket.h"
#include "tests/sockets/support/CapturingLog.h"
#include "tests/sockets/support/FakeSocketHandler.h"

namespace {

// Records what the framing layer reports, one event per entry.
class RecordingHttp : public HTTPSocket {
public:
    explicit RecordingHttp(ISocketHandler& handler) : HTTPSocket(handler) {}
    void Feed(const std::string& bytes) { OnRawData(bytes.data(), bytes.size()); }
    void OnFirst() override {
        events.push_back(IsRequest() ? "request " + GetMethod() + " " + GetUri() + " " + GetQueryString() +
                                           " " + GetHttpVersion()
                                     : "response " + GetStatus() + " " + GetStatusText());
    }
    void OnHeader(const std::string& key, const std::string& value) override {
        events.push_back(key + "=" + value);
    }
    void OnHeaderComplete() override { events.push_back("headers done"); }
    void OnData(const char* buf, size_t len) override { data.append(buf, len); }
    void OnDataComplete() override { events.push_back("complete[" + data + "]"), data.clear(); }
    void OnFramingError(const std::string& reason) override { events.push_back("error " + reason); }
    using HTTPSocket::HoldInput;

    std::vector<std::string> events;
    std::string data;
};

using Events = std::vector<std::string>;

Events Frame(const std::string& input, size_t split = 0) {
    FakeSocketHandler handler;
    RecordingHttp socket(handler);
    if (split == 0 || split >= input.size()) {
        socket.Feed(input);
    } else {
        socket.Feed(input.substr(0, split));
        socket.Feed(input.substr(split));
    }
    return socket.events;
}

std::string Show(const Events& events) {
    std::string text;
    for (const std::string& e : events) text += "\n  " + e;
    return text;
}

// Every message is fed whole and cut at each position; all must give the same events.
void ExpectEverySplit(const char* name, const std::string& input, const Events& expected) {
    for (size_t split = 0; split < input.size(); ++split) {
        const Events got = Frame(input, split);
        if (got != expected) {
            ADD_FAILURE() << name << " (cut at " << split << "): got" << Show(got) << "\nexpected"
                          << Show(expected);
            return;
        }
    }
}

TEST(HTTPSocket, MessagesAreFramedTheSameWhereverTheReadsAreCut) {
    struct Case {
        const char* name;
        std::string input;
        Events events;
    } cases[] = {
        {"response line", "HTTP/1.1 200 OK\r\n\r\n", {"response 200 OK", "headers done"}},
        {"request line with query and keep-alive",
         "GET /a?b=c HTTP/1.1\r\nHost: x\r\n\r\n",
         {"request GET /a b=c HTTP/1.1", "Host=x", "headers done", "complete[]"}},
        {"a four-letter HTTP word is a method",
         "HTTP / HTTP/1.0\r\n\r\n",
         {"request HTTP /  HTTP/1.0", "headers done", "complete[]"}},
        {"bare LF ends lines",
         "GET / HTTP/1.1\nA: 1\n\n",
         {"request GET /  HTTP/1.1", "A=1", "headers done", "complete[]"}},
        {"blank lines before the request line are skipped",
         "\r\n\r\nGET / HTTP/1.1\r\n\r\n",
         {"request GET /  HTTP/1.1", "headers done", "complete[]"}},
        {"chunked body with extension and trailers",
         "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n4;x=y\r\nabcd\r\n1\r\ne\r\n0\r\nT: 1\r\nU: "
         "2\r\n\r\n",
         {"request POST /  HTTP/1.1", "Transfer-Encoding=chunked", "headers done", "complete[abcde]"}},
        {"two chunked requests in a row",
         "POST /1 HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nab\r\n0\r\n\r\n"
         "POST /2 HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n1\r\nc\r\n0\r\n\r\n",
         {"request POST /1  HTTP/1.1", "Transfer-Encoding=chunked", "headers done", "complete[ab]",
          "request POST /2  HTTP/1.1", "Transfer-Encoding=chunked", "headers done", "complete[c]"}},
        {"two pipelined requests with bodies",
         "POST /1 HTTP/1.1\r\nContent-Length: 3\r\n\r\nabcPOST /2 HTTP/1.1\r\nContent-Length: 2\r\n\r\nxy",
         {"request POST /1  HTTP/1.1", "Content-Length=3", "headers done", "complete[abc]",
          "request POST /2  HTTP/1.1", "Content-Length=2", "headers done", "complete[xy]"}},
        {"a GET without length has no body; what follows is the next request",
         "GET /1 HTTP/1.0\r\n\r\nGET /2 HTTP/1.0\r\n\r\n",
         {"request GET /1  HTTP/1.0", "headers done", "complete[]", "request GET /2  HTTP/1.0",
          "headers done", "complete[]"}},
        {"response body by length; bytes beyond it are ignored",
         "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nokGET / HTTP/1.1\r\n\r\n",
         {"response 200 OK", "Content-Length=2", "headers done", "complete[ok]"}},
        {"an interim response is followed by the real one",
         "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok",
         {"response 100 Continue", "response 200 OK", "Content-Length=2", "headers done", "complete[ok]"}},
        {"304 has no body",
         "HTTP/1.1 304 Not Modified\r\nContent-Length: 5\r\n\r\n",
         {"response 304 Not Modified", "Content-Length=5", "headers done", "complete[]"}},
    };
    for (const Case& c : cases) ExpectEverySplit(c.name, c.input, c.events);
}

TEST(HTTPSocket, MalformedFramingIsRefusedAndNothingAfterItIsParsed) {
    const std::string big(HTTPSocket::kMaxLineLength + 1, 'a');
    std::string many = "GET / HTTP/1.1\r\n";
    for (size_t i = 0; i <= HTTPSocket::kMaxHeaders; ++i) many += "A: b\r\n";
    struct Case {
        const char* name;
        std::string input;
        std::string error;
    } cases[] = {
        {"negative length", "POST / HTTP/1.1\r\nContent-Length: -1\r\n\r\n", "bad Content-Length"},
        {"length with a sign", "POST / HTTP/1.1\r\nContent-Length: +5\r\n\r\n", "bad Content-Length"},
        {"length overflowing 64 bits", "POST / HTTP/1.1\r\nContent-Length: 18446744073709551616\r\n\r\n",
         "bad Content-Length"},
        {"two lengths, equal", "POST / HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 1\r\n\r\n",
         "duplicate Content-Length"},
        {"length list", "POST / HTTP/1.1\r\nContent-Length: 1, 2\r\n\r\n", "bad Content-Length"},
        {"CL.TE", "POST / HTTP/1.1\r\nContent-Length: 4\r\nTransfer-Encoding: chunked\r\n\r\n",
         "Content-Length beside Transfer-Encoding"},
        {"TE.CL", "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\nContent-Length: 4\r\n\r\n",
         "Content-Length beside Transfer-Encoding"},
        {"TE not ending in chunked", "POST / HTTP/1.1\r\nTransfer-Encoding: chunked, gzip\r\n\r\n",
         "Transfer-Encoding does not end in chunked"},
        {"TE with a coding before chunked", "POST / HTTP/1.1\r\nTransfer-Encoding: gzip, chunked\r\n\r\n",
         "Transfer-Encoding other than chunked"},
        {"TE with an unknown spelling", "POST / HTTP/1.1\r\nTransfer-Encoding: xchunked\r\n\r\n",
         "Transfer-Encoding does not end in chunked"},
        {"chunked twice",
         "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\nTransfer-Encoding: chunked\r\n\r\n",
         "Transfer-Encoding does not end in chunked"},
        {"space before colon", "GET / HTTP/1.1\r\nTransfer-Encoding : chunked\r\n\r\n", "bad header name"},
        {"folded header", "GET / HTTP/1.1\r\nA: b\r\n c\r\n\r\n", "folded header line"},
        {"bare CR in a header", "GET / HTTP/1.1\r\nA: b\rX: y\r\n\r\n", "bare CR in line"},
        {"line beyond the cap", "GET /" + big + " HTTP/1.1\r\n\r\n", "line too long"},
        {"too many headers", many + "\r\n", "too many header fields"},
        {"chunk size of 17 digits",
         "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n10000000000000000\r\n", "bad chunk size"},
        {"chunk size not hex", "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n0x4\r\n",
         "bad chunk size"},
        {"empty chunk size", "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n\r\n", "bad chunk size"},
        {"missing CRLF after chunk",
         "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nabcd\r\n0\r\n\r\n",
         "missing CRLF after chunk"},
        {"request line with a fourth word", "GET / HTTP/1.1 x\r\n\r\n", "bad request line"},
        {"request line without version", "GET /\r\n\r\n", "bad request line"},
    };
    for (const Case& c : cases) {
        const Events got = Frame(c.input + "GET /smuggled HTTP/1.1\r\n\r\n");
        ASSERT_FALSE(got.empty()) << c.name;
        EXPECT_EQ(got.back(), "error " + c.error) << c.name << Show(got);
        for (const std::string& e : got) EXPECT_EQ(e.find("smuggled"), std::string::npos) << c.name;
    }
}

TEST(HTTPSocket, ChunkStateStartsAfreshForEachMessage) {
    // A chunked message whose last chunk ended mid-trailer must not leak state into the next one.
    const Events got = Frame(
        "POST /1 HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n"
        "POST /2 HTTP/1.1\r\nContent-Length: 5\r\n\r\n0\r\n\r\n");
    EXPECT_EQ(got, (Events{"request POST /1  HTTP/1.1", "Transfer-Encoding=chunked", "headers done",
                           "complete[abc]", "request POST /2  HTTP/1.1", "Content-Length=5", "headers done",
                           "complete[0\r\n\r\n]"}));
}

TEST(HTTPSocket, HeldInputIsParsedOnlyWhenReleased) {
    FakeSocketHandler handler;
    RecordingHttp socket(handler);
    socket.Feed("GET /1 HTTP/1.1\r\n\r\n");
    socket.HoldInput(true);
    socket.Feed("GET /2 HTTP/1.1\r\n\r\n");
    EXPECT_EQ(socket.events.size(), 3u);
    socket.HoldInput(false);
    EXPECT_EQ(socket.events.size(), 6u);
    EXPECT_EQ(socket.events[3], "request GET /2  HTTP/1.1");
}

TEST(HTTPSocket, ConnectionCloseMattersOnlyForHttp11) {
    struct Case {
        const char* request;
        bool keepAlive;
    } cases[] = {
        {"GET / HTTP/1.1\r\n\r\n", true},
        {"GET / HTTP/1.1\r\nConnection: close\r\n\r\n", false},
        {"GET / HTTP/1.1\r\nConnection: CLOSE\r\n\r\n", false},
        {"GET / HTTP/1.0\r\nConnection: keep-alive\r\n\r\n", false},
    };
    for (const Case& c : cases) {
        FakeSocketHandler handler;
        RecordingHttp socket(handler);
        socket.Feed(c.request);
        EXPECT_EQ(socket.KeepAlive(), c.keepAlive) << c.request;
    }
}

TEST(HTTPSocket, ResponseHeadersKeepOneSpellingAndRefuseLineBreaks) {
    CapturingLog log;
    FakeSocketHandler handler(&log);
    RecordingHttp socket(handler);
    socket.AddResponseHeader("content-type", "text/plain");
    socket.AddResponseHeader("Content-Type", "text/html");
    socket.AddResponseHeader("X-Evil", "a\r\nSet-Cookie: b");
    socket.AddResponseHeader("Bad Name", "x");
    socket.AppendResponseHeader("Set-cookie", "a=1");
    EXPECT_TRUE(socket.ResponseHeaderIsSet("CONTENT-TYPE"));
    EXPECT_TRUE(socket.ResponseHeaderIsSet("set-cookie"));
    EXPECT_FALSE(socket.ResponseHeaderIsSet("X-Evil"));
    EXPECT_FALSE(socket.ResponseHeaderIsSet("Bad Name"));
    EXPECT_EQ(log.Count("AddResponseHeader"), 2u);
}

TEST(HTTPSocket, StrictLengthParser) {
    struct Case {
        const char* text;
        bool ok;
        uint64_t value;
    } cases[] = {
        {"0", true, 0},
        {"007", true, 7},
        {"18446744073709551615", true, UINT64_MAX},
        {"18446744073709551616", false, 0},
        {"", false, 0},
        {" 1", false, 0},
        {"1 ", false, 0},
        {"0x10", false, 0},
        {"-0", false, 0},
    };
    for (const Case& c : cases) {
        uint64_t value = 0;
        EXPECT_EQ(HTTPSocket::ParseContentLength(c.text, value), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
}

TEST(HTTPSocket, UrlIsSplitIntoItsParts) {
    FakeSocketHandler handler;
    RecordingHttp socket(handler);
    std::string protocol, host, path, file;
    port_t port = 0;
    socket.url_this("http://example.org:8080/a/b.html?x=1", protocol, host, port, path, file);
    EXPECT_EQ(protocol, "http:");
    EXPECT_EQ(host, "example.org");
    EXPECT_EQ(port, 8080);
    EXPECT_EQ(path, "/a/b.html?x=1");
    EXPECT_EQ(file, "b.html?x=1");
    socket.url_this("https://h", protocol, host, port, path, file);
    EXPECT_EQ(port, 443);
    EXPECT_EQ(path, "/");
    EXPECT_TRUE(socket.IsSSL());
}

}  // namespace
