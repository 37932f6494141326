#include "sockets/protocols/HttpPutSocket.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

void HttpPutSocket::SetFile(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) == -1) {
        Handler().LogError(this, "SetFile", errno, strerror(errno), LOG_LEVEL_FATAL);
        SetCloseAndDelete();
        return;
    }
    put_file = path;
    put_length = static_cast<uint64_t>(st.st_size);
}

void HttpPutSocket::OnConnect() {
    if (!m_upload.AddFile(put_file, put_length))
        return Abort("OnConnect", errno, strerror(errno), LOG_LEVEL_FATAL);
    SetMethod("PUT");
    SetHttpVersion("HTTP/1.1");
    AddResponseHeader("Host", HostHeader());
    AddResponseHeader("Content-type", put_content_type);
    AddResponseHeader("Content-length", std::to_string(put_length));
    AddResponseHeader("User-agent", MyUseragent());
    SendRequest();
    OnTransferLimit();
}

void HttpPutSocket::OnTransferLimit() {
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
