#include "sockets/protocols/HttpPostSocket.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iterator>
#include <memory>
#include <random>

#include "sockets/Utility.h"

namespace {

constexpr char kBoundaryChars[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr size_t kBoundaryLength = 24;

// A part head's values: a quote would end the quoted text, CR and LF the header line.
struct HeadEscape {
    char c;
    const char* text;
    bool quoted_only;
};

constexpr HeadEscape kHeadEscapes[] = {
    {'"', "%22", true},
    {'\r', "%0D", false},
    {'\n', "%0A", false},
};

std::string HeadText(const std::string& text, bool quoted) {
    std::string out;
    for (char c : text) {
        const HeadEscape* e =
            std::find_if(std::begin(kHeadEscapes), std::end(kHeadEscapes),
                         [&](const HeadEscape& x) { return x.c == c && (quoted || !x.quoted_only); });
        if (e != std::end(kHeadEscapes))
            out += e->text;
        else
            out += c;
    }
    return out;
}

// Whether the file holds `text`. One that cannot be read holds nothing; queueing it fails later.
bool FileContains(const std::string& path, const std::string& text) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(fopen(path.c_str(), "rb"), fclose);
    if (!file) return false;
    // Skips by the last character, so content of many near-matches ("----") is not slow.
    const std::boyer_moore_horspool_searcher searcher(text.begin(), text.end());
    std::string window;
    char buf[65536];
    for (size_t n; (n = fread(buf, 1, sizeof(buf), file.get())) > 0;) {
        window.append(buf, n);
        if (std::search(window.begin(), window.end(), searcher) != window.end()) return true;
        // The tail that a match across the next block would start in.
        window.erase(0, window.size() - std::min(window.size(), text.size() - 1));
    }
    return false;
}

}  // namespace

HttpPostSocket::HttpPostSocket(ISocketHandler& handler)
    : HttpClientSocket(handler), boundary(NextBoundary()) {}

HttpPostSocket::HttpPostSocket(ISocketHandler& handler, const std::string& url)
    : HttpClientSocket(handler, url), boundary(NextBoundary()) {}

std::string HttpPostSocket::NextBoundary() {
    // Unpredictable, so that no content can be made to hold it ahead of time.
    std::random_device random;
    std::uniform_int_distribution<size_t> pick(0, sizeof(kBoundaryChars) - 2);
    std::string text = "----";
    for (size_t i = 0; i < kBoundaryLength; ++i) text += kBoundaryChars[pick(random)];
    return text;
}

bool HttpPostSocket::Occurs(const std::string& text) const {
    for (const auto& [name, values] : fields) {
        if (name.find(text) != std::string::npos) return true;
        for (const std::string& value : values)
            if (value.find(text) != std::string::npos) return true;
    }
    for (const auto& [name, path] : files)
        if (name.find(text) != std::string::npos || path.find(text) != std::string::npos ||
            FileContains(path, text))
            return true;
    return false;
}

void HttpPostSocket::AddField(const std::string& name, const std::string& value) {
    AddMultilineField(name, {value});
}

void HttpPostSocket::AddMultilineField(const std::string& name, const std::list<std::string>& values) {
    fields[name] = values;
}

void HttpPostSocket::AddFile(const std::string& name, const std::string& path,
                             const std::string& content_type) {
    struct stat st;
    if (stat(path.c_str(), &st) == -1) {
        Handler().LogError(this, "AddFile", errno, strerror(errno), LOG_LEVEL_FATAL);
        SetCloseAndDelete();
        return;
    }
    files[name] = path;
    file_sizes[path] = static_cast<uint64_t>(st.st_size);
    file_types[path] = content_type;
    multipart = true;
}

void HttpPostSocket::Headers(const std::string& type, uint64_t length) {
    SetMethod("POST");
    SetHttpVersion("HTTP/1.1");
    AddResponseHeader("Host", HostHeader());
    AddResponseHeader("User-agent", MyUseragent());
    AddResponseHeader("Accept", "text/html, text/plain, */*;q=0.01");
    AddResponseHeader("Connection", "close");
    AddResponseHeader("Content-type", type);
    AddResponseHeader("Content-length", std::to_string(length));
}

void HttpPostSocket::OnConnect() {
    if (!multipart) {
        std::string body;
        for (const auto& [name, values] : fields) {
            if (!body.empty()) body += "&";
            body += name + "=";
            bool first = true;
            for (const std::string& value : values) {
                if (!first) body += "%0d%0a";
                body += Utility::rfc1738_encode(value);
                first = false;
            }
        }
        Headers("application/x-www-form-urlencoded", body.size());
        // One write for head and body, so a small POST does not wait on a delayed ack.
        if (GetSocket() != -1) SetTimeout(kIdleTimeout);
        Send(RequestHead() + body);
        return;
    }
    while (Occurs(boundary)) boundary = NextBoundary();
    for (const auto& [name, values] : fields) {
        std::string part = "--" + boundary + "\r\ncontent-disposition: form-data; name=\"" +
                           HeadText(name, true) + "\"\r\n\r\n";
        for (const std::string& value : values) part += value + "\r\n";
        m_upload.AddText(part);
    }
    for (const auto& [name, path] : files) {
        m_upload.AddText("--" + boundary + "\r\ncontent-disposition: form-data; name=\"" +
                         HeadText(name, true) + "\"; filename=\"" + HeadText(path, true) +
                         "\"\r\ncontent-type: " + HeadText(file_types[path], false) + "\r\n\r\n");
        // Measured now, not when it was added: the length sent is the length announced.
        if (!m_upload.AddFile(path, file_sizes[path]))
            return Abort("OnConnect", errno, strerror(errno), LOG_LEVEL_FATAL);
        m_upload.AddText("\r\n");
    }
    m_upload.AddText("--" + boundary + "--\r\n");
    Headers("multipart/form-data; boundary=" + boundary, m_upload.Length());
    if (GetSocket() != -1) SetTimeout(kIdleTimeout);
    m_upload.Prepend(RequestHead());
    OnTransferLimit();
}

void HttpPostSocket::OnTransferLimit() {
    switch (m_upload.Pump(*this)) {
        case HttpUploadQueue::Result::More:
            SetTransferLimit(1);
            return;
        case HttpUploadQueue::Result::Done:
            SetTransferLimit(0);
            return;
        case HttpUploadQueue::Result::Failed:
            return Abort("OnTransferLimit", 0, "file shrank during upload", LOG_LEVEL_FATAL);
    }
}
