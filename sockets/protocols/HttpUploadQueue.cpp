#include "sockets/protocols/HttpUploadQueue.h"

#include <sys/stat.h>

#include "sockets/TcpSocket.h"

void HttpUploadQueue::AddText(const std::string& text) {
    if (text.empty()) return;
    Segment s;
    s.text = text;
    m_length += text.size();
    m_segments.push_back(std::move(s));
}

void HttpUploadQueue::Prepend(const std::string& text) {
    Segment s;
    s.text = text;
    m_segments.push_front(std::move(s));
}

bool HttpUploadQueue::AddFile(const std::string& path, uint64_t& size) {
    std::unique_ptr<FILE, FileCloser> file(fopen(path.c_str(), "rb"));
    struct stat st;
    if (!file || fstat(fileno(file.get()), &st) == -1 || !S_ISREG(st.st_mode)) return false;
    size = static_cast<uint64_t>(st.st_size);
    Segment s;
    s.file = std::move(file);
    s.left = size;
    m_length += size;
    m_segments.push_back(std::move(s));
    return true;
}

HttpUploadQueue::Result HttpUploadQueue::Pump(TcpSocket& socket) {
    char buf[kPiece];
    while (socket.GetOutputLength() < 2 && !socket.CloseAndDelete()) {
        if (m_segments.empty()) return Result::Done;
        Segment& s = m_segments.front();
        if (!s.file) {
            // Texts in a row go out as one write.
            std::string text;
            while (!m_segments.empty() && !m_segments.front().file) {
                text += m_segments.front().text;
                m_segments.pop_front();
            }
            socket.Send(text);
            continue;
        }
        if (s.left == 0) {
            m_segments.pop_front();
            continue;
        }
        const size_t n =
            fread(buf, 1, static_cast<size_t>(std::min<uint64_t>(s.left, sizeof(buf))), s.file.get());
        // The announced length cannot change any more; a file that shrank leaves no right answer.
        if (n == 0) return Result::Failed;
        socket.SendBuf(buf, n);
        s.left -= n;
    }
    return m_segments.empty() ? Result::Done : Result::More;
}
