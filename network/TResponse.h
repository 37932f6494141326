// The reply record a command fills: the response line and, for replies that carry data, the
// data that followed it.
#pragma once

#include <memory>

#include "core/TDynamicBuffer.h"

class TResponse {
public:
    static constexpr size_t kResponseSize = 1024;
    static constexpr SInt32 kDataLimit = 0x90000;

    TResponse() = default;
    virtual ~TResponse() = default;
    TResponse(const TResponse&) = delete;
    TResponse& operator=(const TResponse&) = delete;

    // Keeps at most 1023 characters; null is ignored.
    virtual void SetResponse(const char* text);
    virtual void Reset();
    virtual bool ExpectData() { return false; }
    virtual void FailIfError() = 0;
    virtual int GetError() = 0;

    void WriteData(const char* data, SInt32 length);
    void EndData();
    void ResponseComplete();

    const char* GetResponseLine() const { return fResponse; }
    TDynamicBuffer* GetData() const { return fData.get(); }
    void SetExpectData(bool expect) { fExpectData = expect; }

protected:
    char fResponse[kResponseSize]{};
    std::unique_ptr<TDynamicBuffer> fData;
    bool fExpectData{false};
};
