// Reads a reply of a response line and, when data is expected, the lines after it up to a line
// that is a single "." as the bytes arrive. Dot-stuffed lines lose their added "."; the ".\r\n"
// terminator is not part of the data. A connection feeds it what it receives.
//
// Not thread-safe.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "core/TDynamicBuffer.h"

class TDotReader {
public:
    // The response line is kept to this many characters, as a response record holds it.
    static constexpr size_t kMaxResponseLine = 1023;
    static constexpr int kLinesPerProgress = 16;

    using LineCallback = std::function<void(std::string_view line)>;
    using ProgressCallback = std::function<void(int linesRead)>;

    explicit TDotReader(bool expectData);
    TDotReader(const TDotReader&) = delete;
    TDotReader& operator=(const TDotReader&) = delete;

    // Data lines go to the callback instead of the data; a "." line still ends the reply.
    void SetLineCallback(LineCallback callback) { fLineCallback = std::move(callback); }
    // Called whenever more than 16 lines have been read since the last call.
    void SetProgressCallback(ProgressCallback callback) { fProgressCallback = std::move(callback); }

    // True once the reply is complete; bytes after it are left alone.
    bool Receive(const char* bytes, size_t length);
    bool IsComplete() const { return fComplete; }
    bool HasResponseLine() const { return fHaveResponseLine; }
    const std::string& GetResponseLine() const { return fResponseLine; }
    TDynamicBuffer& GetData() { return fData; }
    int GetLinesRead() const { return fLinesRead; }

    // The first CR that an LF follows, or null; null text throws 'nilP'.
    static const char* FindCRLF(const char* text, size_t length);

private:
    void HandleLine(std::string_view line);

    bool fExpectData;
    bool fHaveResponseLine{false};
    bool fComplete{false};
    std::string fResponseLine;
    std::string fPartialLine;
    TDynamicBuffer fData;
    int fLinesRead{0};
    int fLinesSinceReport{0};
    LineCallback fLineCallback;
    ProgressCallback fProgressCallback;
};
