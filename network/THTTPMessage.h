// An HTTP message: a MIME message with the HTTP text fields. Its header carries the arbitrary
// fields, "MIME-Version" when the MIME flag is set, "Content-Type", "User-Agent" when set and
// "Content-Length" when the body is not empty; a field with an empty value is left out.
#pragma once

#include <string>

#include "network/TMIMEMessage.h"

class THTTPMessage : public TMIMEMessage {
public:
    THTTPMessage();
    THTTPMessage(const THTTPMessage& other);
    ~THTTPMessage() override = default;

    void ResetMembers() override;
    void GetDefaultsFromHeader() override;
    void BuildHeader(TDynamicBuffer& buffer) override;

    SInt64 GetContentLength() { return GetMessageBodySize(); }
    // Copies the HTTP text fields and the extra value, not the header or body.
    void CopyHTTPFields(const THTTPMessage& other);

    const std::string& GetServer() const { return fServer; }
    void SetServer(const char* value) { fServer = value ? value : ""; }
    const std::string& GetUserAgent() const { return fUserAgent; }
    void SetUserAgent(const char* value) { fUserAgent = value ? value : ""; }
    const std::string& GetAllow() const { return fAllow; }
    void SetAllow(const char* value) { fAllow = value ? value : ""; }
    const std::string& GetWWWAuth() const { return fWWWAuth; }
    void SetWWWAuth(const char* value) { fWWWAuth = value ? value : ""; }
    const std::string& GetUserName() const { return fUserName; }
    void SetUserName(const char* value) { fUserName = value ? value : ""; }
    const std::string& GetPassword() const { return fPassword; }
    void SetPassword(const char* value) { fPassword = value ? value : ""; }
    const std::string& GetContentEnc() const { return fContentEnc; }
    void SetContentEnc(const char* value) { fContentEnc = value ? value : ""; }

    // "Sun, 6 Nov 1994 08:49:37 GMT" from a date-time record in UTC.
    static std::string BuildDate(const struct tm& date);

private:
    std::string fServer;
    std::string fUserAgent;
    std::string fAllow;
    std::string fWWWAuth;
    std::string fUserName;
    std::string fPassword;
    std::string fContentEnc;
    SInt16 fExtra{0};
};
