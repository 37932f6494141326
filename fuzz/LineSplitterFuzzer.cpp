// The first byte sets the line mode (bit 0 strict CR LF, bits 1-2 a maximum line length, bits 3-4
// how many lines before raw mode) and the second the read sizes; the rest is the received data.
// However the data are cut into reads, the lines, the overflows, the raw bytes and the pending
// line must come out the same as from one read.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "sockets/SocketHandler.h"
#include "sockets/TcpSocket.h"

namespace {

class SplitterSocket : public TcpSocket {
public:
    SplitterSocket(ISocketHandler& handler, uint8_t mode) : TcpSocket(handler) {
        SetLineProtocol();
        SetStrictLineEnd(mode & 1);
        static constexpr size_t kMax[] = {0, 1, 8, 100};
        SetMaxLineLength(kMax[(mode >> 1) & 3]);
        m_rawAfter = (mode >> 3) & 3;
    }
    void Feed(const uint8_t* data, size_t size) {
        std::vector<char> buf(16401);
        memcpy(buf.data(), data, size);
        OnRead(buf.data(), size);
    }
    void OnLine(const std::string& line) override {
        record += "L" + std::to_string(line.size()) + ":" + line;
        if (m_rawAfter && ++m_lines == m_rawAfter) SetLineProtocol(false);
    }
    void OnRawData(const char* buf, size_t len) override { raw.append(buf, len); }
    void OnLineOverflow(size_t) override { record += "O"; }
    std::string Result() const { return record + "|" + raw + "|" + GetLine(); }

    std::string record;
    std::string raw;

private:
    size_t m_rawAfter = 0;
    size_t m_lines = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2 || size > 16402) return 0;
    const uint8_t mode = data[0];
    const size_t step = 1 + data[1] % 7;
    data += 2;
    size -= 2;
    SocketHandler handler;
    SplitterSocket whole(handler, mode);
    if (size) whole.Feed(data, size);
    SplitterSocket pieces(handler, mode);
    for (size_t at = 0, n = step; at < size; at += n, n = n % 5 + step) pieces.Feed(data + at, std::min(n, size - at));
    if (whole.Result() != pieces.Result()) __builtin_trap();
    return 0;
}
