// The connection the network worker owns, speaking HTTP/1.0 as a client: one request per
// connection, answered by a status line and a message read until its Content-Length or the
// server's close, all within the receive time-out, and closed after every request. A status
// outside 200-299 throws the THTTPResponse.
#pragma once

#include <string>
#include <string_view>

#include "network/RunningVersion.h"
#include "network/TConnection.h"
#include "network/THTTPMessage.h"
#include "network/THTTPResponse.h"
#include "network/TServerConfig.h"

enum class EHTTPMethod : SInt16 { kGet = 0, kHead = 1, kPost = 2, kPut = 3 };

class THTTPConnection : public TConnection {
public:
    static constexpr SInt32 kHTTPReceiveTimeout = 20;
    static constexpr SInt32 kVersionReceiveTimeout = 5;
    // A status line of up to 513 bytes, with room for its NUL.
    static constexpr SInt32 kStatusLineLength = 513;
    static constexpr SInt16 kRunningVersion = ::kRunningVersion;
    static constexpr const char* kFormMailPath = "/cgi-bin/formmail2.pl";
    static constexpr size_t kVersionPageLimit = 1023;
    // The longest form text, 65,535 bytes, escaped to three bytes each, and its NUL.
    static constexpr size_t kEscapedBodySize = 3 * 65535 + 1;

    explicit THTTPConnection(TJobThread* thread = nullptr);

    int Connect(const std::string& host, UInt16 port) override;
    void DropConnection() override;
    void Disconnect() override;
    TSocket* CreateSocket() override;
    void WaitResponse(TResponse& response) override;

    virtual void RequestResource(const std::string& host, const std::string& path, THTTPMessage& message,
                                 THTTPResponse& response, EHTTPMethod method, UInt16 port);
    virtual void HGet(const std::string& host, const std::string& path, THTTPMessage& message,
                      THTTPResponse& response, UInt16 port);
    virtual void Head(const std::string& host, const std::string& path, THTTPMessage& message,
                      THTTPResponse& response, UInt16 port);
    virtual void Post(const std::string& host, const std::string& path, THTTPMessage& message,
                      THTTPResponse& response, UInt16 port);
    virtual void Put(const std::string& host, const std::string& path, THTTPMessage& message,
                     THTTPResponse& response, UInt16 port);
    // `path` is the whole request target. A connect that fails throws its code.
    virtual void DoHTTPMethod(EHTTPMethod method, const std::string& host, const std::string& path,
                              THTTPMessage& message, THTTPResponse& response, UInt16 port);
    virtual void SendHTTPCommandWithReply(const std::string& requestLine, THTTPMessage& message,
                                          THTTPResponse& response);

    // Asks the server for the latest version number and tells the user what it found: a newer
    // version as an update record, when asked the current one as alert 64. A page without a
    // usable number throws 0x10000068.
    void CheckVersion(bool userAsked, SInt16 pageKind);
    // Posts the text to the server's form-mail script for the recipient with the subject.
    void SendMessage(const char* recipient, const char* subject, const char* text, SInt32 length);

    // The number in the content attribute after the key, as a signed 16-bit value; 0 when the
    // page has no usable number.
    static SInt16 ParseVersionPage(const char* text, const char* key);
    static const char* VersionPath(SInt16 pageKind);
    static const char* VersionKey(SInt16 pageKind);

    void SetServer(const TServerConfig& server) { fServer = server; }
    const TServerConfig& GetServer() const { return fServer; }
    SInt32 GetHTTPConnectedState() const { return fHTTPConnected; }

    // The end of the header of a reply's message (after its empty line); npos while incomplete.
    static size_t HeaderEnd(std::string_view reply);
    // The header's Content-Length; -1 when it has none that reads as a length.
    static SInt64 ContentLength(const std::string& header);

private:
    void DisconnectQuietly();
    // Writes the form into a temporary file, encodes it and posts it; throws when there is no
    // whole file to send.
    void PostForm(const char* recipient, const char* subject, const char* text, SInt32 length);
    static bool StatusHasBody(SInt32 status);
    // The message after the status line, until its Content-Length is there or the server closes;
    // a reply cut short or larger than a response holds throws 0x10000068.
    void ReceiveMessage(THTTPMessage& message, UInt32 start, bool bodyExpected);

    SInt32 fHTTPConnected{0};
    // False for the reply to a HEAD request.
    bool fReplyHasBody{true};
    TServerConfig fServer;
};
