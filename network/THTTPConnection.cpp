#include "network/THTTPConnection.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/CTextEncoder.h"
#include "core/UStringFunctions.h"
#include "core/streams/TTemporaryFileStream.h"
#include "network/NetworkErrors.h"
#include "network/THTTPSocket.h"
#include "network/THeaderField.h"
#include "network/TTCPBuffer.h"
#include "network/UInternet.h"
#include "network/UThreadUIUpdate.h"
#include "platform/Carbon/FileReference.h"

namespace {

// Transport codes after which one fresh connection is tried.
constexpr bool IsRetryConnectErr(int code) {
    return code >= -3200 && code <= -3100;
}

const char* MethodName(EHTTPMethod method) {
    static constexpr const char* kNames[] = {"GET", "HEAD", "POST", "PUT"};
    const auto index = static_cast<int>(method);
    return index >= 0 && index < 4 ? kNames[index] : nullptr;
}

}  // namespace

THTTPConnection::THTTPConnection(TJobThread* thread) : TConnection(thread) {
    fReceiveTimeout = kHTTPReceiveTimeout;
}

TSocket* THTTPConnection::CreateSocket() {
    return new THTTPSocket(*this, this, this);
}

int THTTPConnection::Connect(const std::string& host, UInt16 port) {
    if (fHTTPConnected == 1 && !fReconnectNeeded && fSocket && fSocket->IsConnected()) return 0;
    fReconnectNeeded = false;
    int result;
    try {
        result = TConnection::Connect(host, port);
    } catch (int code) {
        if (!IsRetryConnectErr(code)) throw;
        DropConnection();
        TConnection::Connect(host, port);
        throw code;
    }
    if (IsRetryConnectErr(result)) {
        DropConnection();
        result = TConnection::Connect(host, port);
    }
    if (result != 0) return result;
    fHTTPConnected = 1;
    fConnected = true;
    return 0;
}

void THTTPConnection::DropConnection() {
    fHTTPConnected = 0;
    TConnection::DropConnection();
    fConnected = false;
}

void THTTPConnection::Disconnect() {
    if (fHTTPConnected) {
        fHTTPConnected = 0;
        try {
            TConnection::Disconnect();
        } catch (...) {
            // The connection is dropped just below whether or not this close went well.
        }
    }
    try {
        DropConnection();
    } catch (...) {
        // Dropping only forgets the connection; a failure here leaves it no less gone.
    }
}

void THTTPConnection::DisconnectQuietly() {
    try {
        Disconnect();
    } catch (...) {
        // Called on the way out of a request, whose own outcome is what the caller hears.
    }
}

void THTTPConnection::RequestResource(const std::string& host, const std::string& path, THTTPMessage& message,
                                      THTTPResponse& response, EHTTPMethod method, UInt16 port) {
    DoHTTPMethod(method, host, path, message, response, port);
}

void THTTPConnection::HGet(const std::string& host, const std::string& path, THTTPMessage& message,
                           THTTPResponse& response, UInt16 port) {
    DoHTTPMethod(EHTTPMethod::kGet, host, path, message, response, port);
}

void THTTPConnection::Head(const std::string& host, const std::string& path, THTTPMessage& message,
                           THTTPResponse& response, UInt16 port) {
    DoHTTPMethod(EHTTPMethod::kHead, host, path, message, response, port);
}

void THTTPConnection::Post(const std::string& host, const std::string& path, THTTPMessage& message,
                           THTTPResponse& response, UInt16 port) {
    DoHTTPMethod(EHTTPMethod::kPost, host, path, message, response, port);
}

void THTTPConnection::Put(const std::string& host, const std::string& path, THTTPMessage& message,
                          THTTPResponse& response, UInt16 port) {
    DoHTTPMethod(EHTTPMethod::kPut, host, path, message, response, port);
}

void THTTPConnection::DoHTTPMethod(EHTTPMethod method, const std::string& host, const std::string& path,
                                   THTTPMessage& message, THTTPResponse& response, UInt16 port) {
    const char* name = MethodName(method);
    if (!name || path.empty()) throw kAssertionErr;
    if (int error = Connect(host, port)) throw error;
    const std::string requestLine = std::string(name) + " " + path + " HTTP/1.0\r\n";
    try {
        SendHTTPCommandWithReply(requestLine, message, response);
        const SInt32 status = response.GetStatus();
        if (status < 200 || status > 299) throw THTTPResponse(response);
    } catch (...) {
        DisconnectQuietly();
        throw;
    }
    DisconnectQuietly();
}

void THTTPConnection::SendHTTPCommandWithReply(const std::string& requestLine, THTTPMessage& message,
                                               THTTPResponse& response) {
    response.Reset();
    fReplyHasBody = !requestLine.starts_with("HEAD ");
    TDynamicBuffer buffer;
    message.GetMessage(buffer);
    if (!requestLine.empty())
        buffer.PrependBuffer(requestLine.data(), static_cast<SInt32>(requestLine.size()));
    buffer.ConcatenateBuffer("\r\n", 2);
    ResetBuffer();
    SendTDynamicBuffer(&buffer);
    WaitResponse(response);
}

void THTTPConnection::WaitResponse(TResponse& response) {
    auto& http = static_cast<THTTPResponse&>(response);
    try {
        const UInt32 start = Ticks();
        char line[kStatusLineLength + 1];
        SInt32 length = kStatusLineLength;
        fBuffer.ReceiveReplyLine(line, length, start, fReceiveTimeout);
        line[length] = '\0';
        http.SetResponse(line);
        http.GetReturnMessage().ResetMembers();
        if (length == 0) return;
        ReceiveMessage(http.GetReturnMessage(), start, fReplyHasBody && StatusHasBody(http.GetStatus()));
    } catch (int code) {
        if (code != kNetNoSocketErr && code != kNetReservedErr) throw;
    } catch (...) {
        // Whatever is not a network error code ends the wait; the caller judges what arrived.
    }
}

bool THTTPConnection::StatusHasBody(SInt32 status) {
    return status >= 200 && status != 204 && status != 304;
}

size_t THTTPConnection::HeaderEnd(std::string_view reply) {
    if (reply.starts_with("\r\n")) return 2;
    if (reply.starts_with("\n")) return 1;
    for (size_t lf = reply.find('\n'); lf != std::string_view::npos; lf = reply.find('\n', lf + 1)) {
        size_t next = lf + 1;
        if (next < reply.size() && reply[next] == '\r') ++next;
        if (next < reply.size() && reply[next] == '\n') return next + 1;
    }
    return std::string_view::npos;
}

SInt64 THTTPConnection::ContentLength(const std::string& header) {
    THeaderField field;
    if (!UInternet::FindField("Content-Length", header, field)) return -1;
    std::string_view digits = field.GetBody();
    while (!digits.empty() && (digits.back() == ' ' || digits.back() == '\t')) digits.remove_suffix(1);
    if (digits.empty() || digits.size() > 9) return -1;
    SInt64 value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

void THTTPConnection::ReceiveMessage(THTTPMessage& message, UInt32 start, bool bodyExpected) {
    std::string reply;
    TDynamicBuffer pending;
    size_t bodyStart = std::string::npos;
    SInt64 contentLength = -1;
    auto complete = [&] {
        if (bodyStart == std::string::npos) return false;
        if (!bodyExpected) return true;
        return contentLength >= 0 && static_cast<SInt64>(reply.size() - bodyStart) >= contentLength;
    };
    while (!complete()) {
        const char* data = nullptr;
        SInt32 count = 0;
        fBuffer.ReceiveReplyData(data, count, start, fReceiveTimeout);
        if (count == 0) {
            // Closed: the end of a reply without a length, or one cut short of it.
            if (bodyStart != std::string::npos && contentLength >= 0 && bodyExpected) throw kNetBadReplyErr;
            return;
        }
        if (reply.size() + static_cast<size_t>(count) > static_cast<size_t>(TResponse::kDataLimit))
            throw kNetBadReplyErr;
        reply.append(data, static_cast<size_t>(count));
        pending.ConcatenateBuffer(data, count);
        message.SetPartialMessage(pending);
        if (bodyStart == std::string::npos) {
            bodyStart = HeaderEnd(reply);
            if (bodyStart != std::string::npos) contentLength = ContentLength(reply.substr(0, bodyStart));
        }
    }
}

const char* THTTPConnection::VersionPath(SInt16 pageKind) {
    switch (pageKind) {
        case 2:
            return "/BEATWICKV.html";
        case 1:
            return "/VLXV.html";
        default:
            return "/PimV.html";
    }
}

const char* THTTPConnection::VersionKey(SInt16 pageKind) {
    switch (pageKind) {
        case 2:
            return "BEATWICKVersion";
        case 1:
            return "VLXVersion";
        default:
            return "QKVersion";
    }
}

SInt16 THTTPConnection::ParseVersionPage(const char* text, const char* key) {
    if (!text || !key) return 0;
    const char* at = std::strstr(text, key);
    if (!at) return 0;
    at += std::strlen(key);
    // The closing quote and the blank after the key; a page that ends there has no number.
    for (int skip = 0; skip < 2; ++skip) {
        if (!*at) return 0;
        ++at;
    }
    if (*at == ' ') ++at;
    if (*at == '"') ++at;
    static constexpr char kContent[] = "content=";
    if (std::strncmp(at, kContent, sizeof kContent - 1) != 0) return 0;
    at += sizeof kContent - 1;
    if (*at == ' ') ++at;
    if (*at == '"') ++at;
    return static_cast<SInt16>(std::atoi(at));
}

void THTTPConnection::CheckVersion(bool userAsked, SInt16 pageKind) {
    fReceiveTimeout = kVersionReceiveTimeout;
    THTTPMessage message;
    THTTPResponse response;
    DoHTTPMethod(EHTTPMethod::kGet, fServer.host, fServer.Target(VersionPath(pageKind)), message, response,
                 fServer.port);

    char page[kVersionPageLimit + 1] = {};
    std::unique_ptr<TDynamicBuffer> body = response.GetReturnMessage().GetMessageBody();
    if (TStream* stream = body ? body->GetBufferStream() : nullptr) {
        stream->SetMarker(0, kStreamFromStart);
        const SInt32 got = stream->ReadData(page, static_cast<SInt32>(kVersionPageLimit));
        page[got > 0 ? got : 0] = '\0';
    }
    const SInt16 version = ParseVersionPage(page, VersionKey(pageKind));
    // An asked check always answers: a page without a usable number fails.
    if (version < 1 || version > 999) throw kNetBadReplyErr;
    if (version > kRunningVersion) {
        UIUpdateStruct update;
        UThreadUIUpdate::InitUIUpdateStruct(update);
        update.SetCode(version >= 200 ? kUpdateMajorVersion : kUpdateNewerVersion);
        update.SetFlag(userAsked ? 1 : 0);
        UThreadUIUpdate::DoUIUpdate(update);
    } else if (userAsked) {
        UIAlertStruct alert;
        InitUIAlertStruct(alert);
        alert.alertNumber = kVersionIsCurrentAlert;
        alert.style = kUIAlertInformational;
        UThreadUIUpdate::DoUIAlert(alert);
    }
}

void THTTPConnection::SendMessage(const char* recipient, const char* subject, const char* text,
                                  SInt32 length) {
    // The version check leaves its short time-out behind.
    fReceiveTimeout = kHTTPReceiveTimeout;
    try {
        PostForm(recipient, subject, text, length);
    } catch (...) {
        // A form that could not go out leaves no idle connection behind.
        DisconnectQuietly();
        throw;
    }
}

void THTTPConnection::PostForm(const char* recipient, const char* subject, const char* text, SInt32 length) {
    auto cString = [](const char* value) { return std::string(value ? value : "").substr(0, 255); };
    std::string form = "Referer: Mirthvane\rConnection: Keep-Alive\rHost: " + fServer.host + "\r";
    form += "&recipient=" + cString(recipient) + "\r&subject=" + cString(subject) + "\r";
    form += "&=";
    const std::string body(text ? text : "", text && length > 0 ? static_cast<size_t>(length) : 0);
    // Every byte may become a three-byte escape: the block holds the longest text whole.
    const size_t escapedSize = std::max(kEscapedBodySize, 3 * body.size() + 1);
    auto escaped = std::make_unique<char[]>(escapedSize);
    URIEscapeStr(body.c_str(), escaped.get(), escapedSize, " #-@.;\\/:\r");
    form += escaped.get();

    std::string url;
    {
        TTemporaryFileStream stream;
        SInt32 count = static_cast<SInt32>(form.size());
        if (OSStatus error = stream.PutBytes(form.data(), count)) throw static_cast<int>(error);
        stream.CloseFile();
        FSRef file;
        char path[4096];
        if (stream.GetFile(file) &&
            FSRefMakePath(&file, reinterpret_cast<UInt8*>(path), sizeof path) == noErr)
            url = FileURLFromPath(path);
        if (url.empty()) throw kMissingObjectErr;

        CTextEncoder encoder(url);
        encoder.SetTextEncoding(0);
        encoder.PreEncode();
        const SInt32 size = encoder.GetEncodedSize();
        std::vector<char> encoded(static_cast<size_t>(std::max<SInt32>(size, 1)));
        SInt32 written = 0;
        while (encoder.GetBytesLeft() > 0 && written < size) {
            const SInt32 n = encoder.Encode(encoded.data() + written, size - written);
            if (n <= 0) break;
            written += n;
        }
        // A cut body is never posted as if it were the whole form.
        if (encoder.GetBytesLeft() > 0) throw kMissingObjectErr;
        encoder.PostEncode();

        THTTPMessage message;
        message.SetMessageBody(encoded.data(), static_cast<size_t>(written));
        THTTPResponse response;
        DoHTTPMethod(EHTTPMethod::kPost, fServer.host, fServer.Target(kFormMailPath), message, response,
                     fServer.port);
    }
}
