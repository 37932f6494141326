// The receive side of a connection: a fixed 32 KB window the worker reads its socket into, in
// which it finds lines and from which it hands out what has arrived. Time-outs are whole
// seconds on the connection's clock; a download limit makes it read small chunks and wait.
//
// Everything runs on the worker thread except Abort, which only raises a flag: the worker
// consumes it at its next check, resets the window and throws 0x10000065.
#pragma once

#include <atomic>

#include "platform/Carbon/MacTypes.h"

class TConnection;
class TSocket;

class TTCPBuffer {
public:
    static constexpr SInt32 kSize = 32768;
    static constexpr SInt32 kChunk = 16384;
    static constexpr SInt32 kLimitedChunk = 1024;
    // The sleep while the download limit holds.
    static constexpr UInt32 kLimitWaitTicks = 20;

    explicit TTCPBuffer(TConnection* connection = nullptr) : fConnection(connection) {}
    virtual ~TTCPBuffer() = default;
    TTCPBuffer(const TTCPBuffer&) = delete;
    TTCPBuffer& operator=(const TTCPBuffer&) = delete;

    void SetConnection(TConnection* connection) { fConnection = connection; }
    void SetSocket(TSocket* socket);
    TSocket* GetSocket() const { return fSocket; }
    void Reset();
    // Safe from any thread.
    void Abort() { fAbort = true; }
    bool IsAborted() const { return fAbort; }
    // A raised abort is consumed here: 0x10000065.
    void CheckAbort();

    // Reads one chunk; answers the bytes read, 0 for none.
    SInt32 FillBuffer();
    // The index of the first LF at or after the read position, or -1.
    SInt32 FindEndOfLine() const;
    // The index just past LF "." and two CR or LF characters, or -2.
    SInt32 FindEndOfData() const;
    void CopyLine(SInt32 endIndex, char* destination, SInt32 length);

    // Copies one line with its LF, at most `length` bytes, into `destination` (which holds
    // length + 1) and NUL-terminates it; `length` becomes the count copied. A line that fills
    // the whole window without its LF throws 0x10000068.
    void ReceiveLine(char* destination, SInt32& length, SInt32 timeoutSeconds);
    // Hands out every unread byte; they stay valid until the next fill.
    void ReceiveAvailableData(const char*& data, SInt32& length, SInt32 timeoutSeconds);

    // The readers of a reply that ends with the peer's close, its time-out counted from
    // `startTicks` for the whole of it. The line: as ReceiveLine, and a close before its LF
    // throws 0x10000068. The data: as ReceiveAvailableData, and `length` 0 once the peer has
    // closed and every byte was handed out.
    void ReceiveReplyLine(char* destination, SInt32& length, UInt32 startTicks, SInt32 timeoutSeconds);
    void ReceiveReplyData(const char*& data, SInt32& length, UInt32 startTicks, SInt32 timeoutSeconds);
    // Dot-terminated data: the bytes through the end mark, or all unread bytes before it came.
    void ReceiveData(const char*& data, SInt32& length, SInt32& newBytes, SInt32 timeoutSeconds);
    void SkipBytes(SInt32 count);

    SInt32 GetUnreadCount() const { return fEnd - fReadPos; }
    SInt32 GetLastResult() const { return fLastResult; }

private:
    [[noreturn]] void ThrowClosed();
    bool Interrupted() const { return fAbort || !fSocket; }
    void CheckInterrupted();
    bool TimedOut(UInt32 start, SInt32 timeoutSeconds) const;
    bool CopyBufferedLine(char* destination, SInt32& length);
    // With `closeEnds` the peer's close ends the wait instead of the time-out.
    void ReceiveLine(char* destination, SInt32& length, UInt32 start, SInt32 timeoutSeconds, bool closeEnds);
    void ReceiveAvailableData(const char*& data, SInt32& length, UInt32 start, SInt32 timeoutSeconds,
                              bool closeEnds);
    // The rate-limit wait; true when bytes are unread after it.
    void WaitWhileLimited(UInt32 start, SInt32 timeoutSeconds);

    TConnection* fConnection;
    TSocket* fSocket{nullptr};
    char fData[kSize]{};
    std::atomic<bool> fAbort{false};
    SInt32 fReadPos{0};
    SInt32 fEnd{0};
    SInt32 fSavedReadPos{0};
    SInt32 fSavedEnd{0};
    SInt32 fLastResult{0};
    SInt16 fLastError{0};
    bool fNoData{true};
    // The peer closed: select keeps reporting it readable, so the next fill sleeps a round.
    bool fPeerClosed{false};
};
