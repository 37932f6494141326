#include "network/THTTPResponse.h"

#include <cstdlib>
#include <cstring>
#include <string>

THTTPResponse::THTTPResponse(const THTTPResponse& other)
    : TResponse(), fReturnMessage(other.fReturnMessage), fStatus(other.fStatus) {
    TResponse::SetResponse(other.fResponse);
}

THTTPResponse& THTTPResponse::operator=(const THTTPResponse& other) {
    if (this != &other) fReturnMessage.CopyHTTPFields(other.fReturnMessage);
    return *this;
}

void THTTPResponse::SetStatusLine(const char* text, size_t length) {
    const std::string line(text, length);
    if (const size_t space = line.find(' '); space != std::string::npos)
        fStatus = std::atoi(line.c_str() + space + 1);
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
