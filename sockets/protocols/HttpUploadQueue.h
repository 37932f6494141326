// What a client sends after its request head: texts and files, fed to the socket a piece at a
// time while its output queue is empty, so an upload never sits in memory whole. A file is opened
// and measured when it is queued, and exactly that many bytes of it are sent. One thread.
#pragma once

#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <string>

class TcpSocket;

class HttpUploadQueue {
public:
    static constexpr size_t kPiece = 32768;
    enum class Result { More, Done, Failed };

    void AddText(const std::string& text);
    // Goes out first and is not counted in Length(): the request head.
    void Prepend(const std::string& text);
    // False when the file cannot be opened or measured; the size is what will be sent.
    bool AddFile(const std::string& path, uint64_t& size);
    uint64_t Length() const { return m_length; }
    bool Empty() const { return m_segments.empty(); }

    // Sends until the socket queues output or all is sent. Failed when a file came up short.
    Result Pump(TcpSocket& socket);

private:
    struct FileCloser {
        void operator()(FILE* f) const { fclose(f); }
    };
    struct Segment {
        std::string text;
        std::unique_ptr<FILE, FileCloser> file;
        uint64_t left{0};
    };

    std::deque<Segment> m_segments;
    uint64_t m_length{0};
};
