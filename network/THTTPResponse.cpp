#include "network/THTTPResponse.h"

#include <cstring>
#include <string>
#include <string_view>

THTTPResponse::THTTPResponse(const THTTPResponse& other)
    : TResponse(), fReturnMessage(other.fReturnMessage), fStatus(other.fStatus) {
    TResponse::SetResponse(other.fResponse);
}

THTTPResponse& THTTPResponse::operator=(const THTTPResponse& other) {
    if (this != &other) fReturnMessage.CopyHTTPFields(other.fReturnMessage);
    return *this;
}

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Exactly three digits, ended by a blank or the line's end; -1 for anything else.
SInt32 ReadStatusCode(std::string_view text) {
    if (text.size() < 3 || !IsDigit(text[0]) || !IsDigit(text[1]) || !IsDigit(text[2])) return -1;
    if (text.size() > 3 && text[3] != ' ') return -1;
    return (text[0] - '0') * 100 + (text[1] - '0') * 10 + (text[2] - '0');
}

}  // namespace

void THTTPResponse::SetStatusLine(const char* text, size_t length) {
    const std::string line(text, length);
    if (const size_t space = line.find(' '); space != std::string::npos) {
        // A status that is no status is no success either.
        const SInt32 code = ReadStatusCode(std::string_view(line).substr(space + 1));
        fStatus = code < 0 ? 0 : code;
    }
    TResponse::SetResponse(line.c_str());
}

void THTTPResponse::SetResponse(const char* text) {
    if (!text) return;
    SetResponse(text, std::strlen(text));
}

void THTTPResponse::SetResponse(const char* text, size_t length) {
    if (!text) return;
    size_t end = 0;
    while (end < length && text[end] != '\r' && text[end] != '\n') ++end;
    SetStatusLine(text, end);
    size_t rest = end;
    if (rest < length && text[rest] == '\r') ++rest;
    if (rest < length && text[rest] == '\n') ++rest;
    if (rest < length) fReturnMessage.SetMessage(text + rest, length - rest);
}

void THTTPResponse::SetResponse(const char* text, TDynamicBuffer& buffer) {
    if (!text) return;
    size_t end = 0;
    while (text[end] && text[end] != '\r' && text[end] != '\n') ++end;
    SetStatusLine(text, end);
    fReturnMessage.SetMessage(buffer);
}

void THTTPResponse::Reset() {
    TResponse::Reset();
    fReturnMessage.ResetMembers();
}
