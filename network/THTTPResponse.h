// The reply to an HTTP request: the status line, its status code and the reply message (from
// the first part of the reply that arrived). It is also what a request throws when the status
// is not a success, so it copies.
#pragma once

#include "core/TDynamicBuffer.h"
#include "network/THTTPMessage.h"
#include "network/TResponse.h"

class THTTPResponse : public TResponse {
public:
    THTTPResponse() = default;
    THTTPResponse(const THTTPResponse& other);
    // Copies only the reply message's HTTP text fields.
    THTTPResponse& operator=(const THTTPResponse& other);
    ~THTTPResponse() override = default;

    void SetResponse(const char* text) override;
    void Reset() override;
    bool ExpectData() override { return true; }
    void FailIfError() override {}
    int GetError() override { return 0; }

    // The text up to the first CR or LF is the status line; what follows it becomes the message.
    void SetResponse(const char* text, size_t length);
    void SetResponse(const char* text, TDynamicBuffer& buffer);
    THTTPMessage& GetReturnMessage() { return fReturnMessage; }
    SInt32 GetStatus() const { return fStatus; }

private:
    void SetStatusLine(const char* text, size_t length);

    THTTPMessage fReturnMessage;
    SInt32 fStatus{0};
};
