#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "sockets/SocketHandler.h"
#include "sockets/TcpSocket.h"
#include "tests/sockets/support/CapturingLog.h"

namespace {

// Feeds bytes straight into the line splitter, as reads of the given sizes would.
class LineSocket : public TcpSocket {
public:
    explicit LineSocket(ISocketHandler& handler) : TcpSocket(handler) { SetLineProtocol(); }
    void Feed(const std::string& bytes) {
        std::vector<char> buf(16401);
        memcpy(buf.data(), bytes.data(), bytes.size());
        OnRead(buf.data(), bytes.size());
    }
    void OnLine(const std::string& line) override {
        lines.push_back(line);
        if (rawAfterLines && lines.size() == rawAfterLines) SetLineProtocol(false);
    }
    void OnRawData(const char* buf, size_t len) override { raw.append(buf, len); }
    void OnLineOverflow(size_t length) override { overflows.push_back(length); }

    size_t rawAfterLines = 0;
    std::vector<std::string> lines;
    std::string raw;
    std::vector<size_t> overflows;
};

using Lines = std::vector<std::string>;

// Every way of cutting `input` into one, two or three reads.
std::vector<std::vector<std::string>> Splits(const std::string& input) {
    std::vector<std::vector<std::string>> all{{input}};
    for (size_t i = 1; i < input.size(); ++i) {
        all.push_back({input.substr(0, i), input.substr(i)});
        for (size_t j = i + 1; j < input.size(); ++j)
            all.push_back({input.substr(0, i), input.substr(i, j - i), input.substr(j)});
    }
    return all;
}

std::string Describe(const std::vector<std::string>& reads) {
    std::string text;
    for (const std::string& r : reads) {
        text += "[";
        for (char c : r) text += c == '\r' ? "\\r" : c == '\n' ? "\\n" : std::string(1, c);
        text += "]";
    }
    return text;
}

struct SplitCase {
    const char* name;
    std::string input;
    bool strict;
    size_t rawAfterLines;
    Lines lines;
    std::string rest;  // the current line afterwards, or the raw bytes once line mode was left
};

TEST(LineProtocol, EverySplitOfTheInputGivesTheSameLines) {
    const SplitCase cases[] = {
        {"CR LF and LF CR pairs", "AB\r\nCD\n\rEF", false, 0, {"AB", "CD"}, "EF"},
        {"equal delimiters end two lines", "A\n\nB\r\rC", false, 0, {"A", "", "B", ""}, "C"},
        {"lone delimiters", "A\rB\nC", false, 0, {"A", "B"}, "C"},
        {"raw after the head, CR LF kept out of the body", "GET\r\nbody\r\n", false, 1, {"GET"}, "body\r\n"},
        {"raw after a blank line", "H\r\n\r\n\nX", false, 2, {"H", ""}, "\nX"},
        {"strict mode ends lines at CR LF only", "a\nb\rc\r\nd\r", true, 0, {"a\nb\rc"}, "d"},
        {"strict mode, CR CR LF", "a\r\r\nb", true, 0, {"a\r"}, "b"},
    };
    for (const SplitCase& c : cases) {
        for (const auto& reads : Splits(c.input)) {
            CapturingLog log;
            SocketHandler handler(&log);
            LineSocket socket(handler);
            socket.SetStrictLineEnd(c.strict);
            socket.rawAfterLines = c.rawAfterLines;
            for (const std::string& r : reads) socket.Feed(r);
            const std::string rest = c.rawAfterLines ? socket.raw : socket.GetLine();
            EXPECT_EQ(socket.lines, c.lines) << c.name << " " << Describe(reads);
            EXPECT_EQ(rest, c.rest) << c.name << " " << Describe(reads);
        }
    }
}

TEST(LineProtocol, LongLinesAreDroppedWithOneOverflowEach) {
    SocketHandler handler;
    LineSocket socket(handler);
    socket.SetMaxLineLength(4);
    socket.Feed("abcd\r\nabc");
    socket.Feed("defgh");
    socket.Feed("ijk\r\nok\r\n");
    EXPECT_EQ(socket.lines, (Lines{"abcd", "ok"}));
    ASSERT_EQ(socket.overflows.size(), 1u);
    EXPECT_GT(socket.overflows[0], 4u);
}

TEST(LineProtocol, DefaultOverflowReportsAndCloses) {
    CapturingLog log;
    SocketHandler handler(&log);
    struct Plain : TcpSocket {
        using TcpSocket::OnRead;
        using TcpSocket::TcpSocket;
    } socket(handler);
    socket.SetLineProtocol();
    socket.SetMaxLineLength(2);
    char buf[16401] = "long\n";
    socket.OnRead(buf, 5);
    EXPECT_EQ(log.Count("OnLine", "line too long"), 1u);
    EXPECT_TRUE(socket.CloseAndDelete());
}

TEST(LineProtocol, LeavingLineModeKeepsTheInputBufferOff) {
    CapturingLog log;
    SocketHandler handler(&log);
    LineSocket socket(handler);
    socket.rawAfterLines = 1;
    socket.Feed("HEAD\r\n");
    for (int i = 0; i < 3; ++i) socket.Feed(std::string(16000, 'b'));
    EXPECT_EQ(socket.raw.size(), 48000u);
    EXPECT_EQ(socket.GetInputLength(), 0u);
    EXPECT_EQ(log.Count("OnRead", "ibuf overflow"), 0u);
}

}  // namespace

namespace {

// The input ring against a plain queue, over writes and reads that wrap at every offset.
TEST(CircularBuffer, HeldBytesReadBackContiguouslyAcrossTheWrap) {
    TcpSocket::CircularBuffer ring(97);
    std::string model;
    unsigned seed = 7;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    char c = 0;
    for (int step = 0; step < 5000; ++step) {
        if (next() % 2) {
            std::string bytes(next() % 60, '\0');
            for (char& b : bytes) b = ++c;
            const bool fits = model.size() + bytes.size() <= 97;
            ASSERT_EQ(ring.Write(bytes.data(), bytes.size()), fits) << step;
            if (fits) model += bytes;
        } else {
            ASSERT_EQ(std::string(ring.GetStart(), ring.GetLength()), model) << step;
            const size_t n = next() % 60;
            std::string out(n, '\0');
            ASSERT_EQ(ring.Read(out.data(), n), n <= model.size()) << step;
            if (n <= model.size()) {
                EXPECT_EQ(out, model.substr(0, n)) << step;
                model.erase(0, n);
            }
        }
        ASSERT_EQ(ring.Space(), 97 - model.size());
    }
}

}  // namespace
