// AJP13 packet framing for the servlet-container side: collects each packet (a 4-byte header and
// a payload of at most one 8192-byte buffer) from the raw stream, and reads and writes the
// protocol's data types. Every read is checked against the received payload and every write
// against the buffer, so a short or lying packet is noticed instead of read past. Runs on the
// handler's loop thread; the code tables are built before first use and then only read. A packet
// must be complete within kPacketTimeout of its first byte, and a connection with nothing to do is
// closed after kIdleTimeout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "sockets/TcpSocket.h"
#include "sockets/Utility.h"

class AjpBaseSocket : public TcpSocket {
public:
    static constexpr size_t kBufferSize = 8192;
    static constexpr size_t kMaxPayload = kBufferSize - 4;
    static constexpr time_t kPacketTimeout = 30;
    static constexpr time_t kIdleTimeout = 120;

    class Initializer {
    public:
        Initializer();
        std::map<int, std::string> Method;
        std::map<int, std::string> Header;
        std::map<int, std::string> Attribute;
        std::map<std::string, int, Utility::ncmap_compare> ResponseHeader;
    };
    static const Initializer& Tables();

    // Reads the data types of one payload; past its end every read gives 0 or "" and marks it.
    class PacketReader {
    public:
        PacketReader(const char* buf, size_t length) : m_buf(buf), m_length(length) {}
        int get_byte();
        bool get_boolean() { return get_byte() & 1; }
        int get_integer();
        std::string get_string();
        int peek_byte() const { return m_pos < m_length ? static_cast<unsigned char>(m_buf[m_pos]) : -1; }
        bool Overrun() const { return m_overrun; }
        size_t Position() const { return m_pos; }

    private:
        const char* m_buf;
        size_t m_length;
        size_t m_pos{0};
        bool m_overrun{false};
    };

    // Writes one outgoing packet into a buffer of kBufferSize bytes; what does not fit marks it.
    class PacketWriter {
    public:
        PacketWriter();
        void put_byte(int x);
        void put_boolean(bool x) { put_byte(x ? 1 : 0); }
        void put_integer(int x);
        void put_string(const std::string& x);
        void put_bytes(const char* buf, size_t len);
        bool Overflow() const { return m_overflow; }
        // Fills in the payload length; the whole packet as it goes on the wire.
        const char* Finish(size_t& length);

    private:
        char m_buf[kBufferSize];
        size_t m_pos{4};
        bool m_overflow{false};
    };

    explicit AjpBaseSocket(ISocketHandler& handler);

    void OnRawData(const char* buf, size_t len) override;
    void OnAccept() override;
    void OnTimeout() override;

protected:
    virtual void OnHeader(short id, short length) = 0;
    virtual void OnPacket(const char* buf, size_t length) = 0;
    // Restarts the time-out; nothing for a socket without a descriptor.
    void ArmTimeout(time_t seconds);

private:
    bool InPacket() const { return m_state != 0 || m_ptr != 0; }

    int m_state{0};
    size_t m_length{4};
    size_t m_ptr{0};
    char m_message[kBufferSize];
};
