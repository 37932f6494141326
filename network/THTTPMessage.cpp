#include "network/THTTPMessage.h"

#include <cstdio>
#include <ctime>

#include "network/THeaderField.h"
#include "network/UInternet.h"

THTTPMessage::THTTPMessage() {
    SetIsMIME(true, kDefaultMIMEVersion);
    SetContentType(nullptr);
    SetMessageBody(nullptr, 0);
    // Requests go out without "MIME-Version"; the type and version texts stay.
    InitMembers();
}

THTTPMessage::THTTPMessage(const THTTPMessage& other) : TMIMEMessage(other) {
    CopyHTTPFields(other);
}

void THTTPMessage::CopyHTTPFields(const THTTPMessage& other) {
    fServer = other.fServer;
    fUserAgent = other.fUserAgent;
    fAllow = other.fAllow;
    fWWWAuth = other.fWWWAuth;
    fUserName = other.fUserName;
    fPassword = other.fPassword;
    fContentEnc = other.fContentEnc;
    fExtra = other.fExtra;
}

void THTTPMessage::ResetMembers() {
    fServer.clear();
    fUserAgent.clear();
    fAllow.clear();
    fWWWAuth.clear();
    fUserName.clear();
    fPassword.clear();
    fContentEnc.clear();
    TMIMEMessage::ResetMembers();
}

void THTTPMessage::GetDefaultsFromHeader() {
    TMIMEMessage::GetDefaultsFromHeader();
    struct Field {
        const char* name;
        std::string THTTPMessage::*member;
    };
    static constexpr Field kFields[] = {{"Server", &THTTPMessage::fServer},
                                        {"User-Agent", &THTTPMessage::fUserAgent},
                                        {"Allow", &THTTPMessage::fAllow},
                                        {"WWW-Authenticate", &THTTPMessage::fWWWAuth},
                                        {"Content-Encoding", &THTTPMessage::fContentEnc}};
    const std::string& header = GetInternalHeaderString();
    for (const Field& field : kFields) {
        THeaderField found;
        if (UInternet::FindField(field.name, header, found)) this->*field.member = found.GetBody();
    }
}

void THTTPMessage::BuildHeader(TDynamicBuffer& buffer) {
    TMIMEMessage::BuildHeader(buffer);
    if (HasCustomHeader()) return;
    AddFieldToBuffer("User-Agent", fUserAgent.c_str(), buffer);
    const SInt64 length = GetMessageBodySize();
    if (length > 0)
        AddFieldToBuffer("Content-Length", std::to_string(static_cast<UInt64>(length)).c_str(), buffer);
}

std::string THTTPMessage::BuildDate(const struct tm& date) {
    static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char text[64];
    std::snprintf(text, sizeof text, "%s, %u %s %u %02u:%02u:%02u GMT", kDays[(date.tm_wday % 7 + 7) % 7],
                  static_cast<unsigned>(date.tm_mday), kMonths[(date.tm_mon % 12 + 12) % 12],
                  static_cast<unsigned>(date.tm_year + 1900), static_cast<unsigned>(date.tm_hour),
                  static_cast<unsigned>(date.tm_min), static_cast<unsigned>(date.tm_sec));
    return text;
}
