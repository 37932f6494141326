#include "network/TTCPBuffer.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "network/NetworkErrors.h"
#include "network/TConnection.h"
#include "network/TSocket.h"

void TTCPBuffer::SetSocket(TSocket* socket) {
    fSocket = socket;
    fPeerClosed = false;
    Reset();
}

void TTCPBuffer::Reset() {
    fReadPos = fEnd = 0;
    fSavedReadPos = fSavedEnd = 0;
    fNoData = true;
}

void TTCPBuffer::ThrowClosed() {
    fAbort = false;
    Reset();
    throw kNetClosedErr;
}

void TTCPBuffer::CheckAbort() {
    if (fAbort) ThrowClosed();
}

void TTCPBuffer::CheckInterrupted() {
    if (Interrupted()) ThrowClosed();
}

bool TTCPBuffer::TimedOut(UInt32 start, SInt32 timeoutSeconds) const {
    return fConnection->Ticks() - start >= static_cast<UInt32>(timeoutSeconds) * 60;
}

SInt32 TTCPBuffer::FillBuffer() {
    CheckInterrupted();
    if (fPeerClosed) {
        // A closed peer stays readable: sleep the round instead of spinning on it.
        fConnection->SleepRound(TSocket::kReadWaitMicroseconds);
        CheckInterrupted();
    }
    const bool readable = fSocket->CanReadBytes(fNoData);
    CheckInterrupted();
    SSL* ssl = nullptr;
    if (fSocket->IsSSL()) {
        ssl = fSocket->GetSsl();
        if (!ssl) throw kTLSNoConnectionErr;
    } else if (!readable && fNoData) {
        return 0;
    }

    if (fReadPos > 0) {
        std::memmove(fData, fData + fReadPos, static_cast<size_t>(fEnd - fReadPos));
        fEnd -= fReadPos;
        fReadPos = 0;
    }
    const SInt32 chunk = std::min(fConnection->RestrictData() ? kLimitedChunk : kChunk, kSize - fEnd);
    if (chunk <= 0) return 0;

    long result;
    int error = 0;
    if (ssl) {
        ERR_clear_error();
        result = SSL_read(ssl, fData + fEnd, chunk);
    } else {
        result = recvfrom(fSocket->GetSocket(), fData + fEnd, static_cast<size_t>(chunk), MSG_NOSIGNAL,
                          nullptr, nullptr);
        error = errno;
    }
    fLastResult = static_cast<SInt32>(result);
    fNoData = result < 1;

    if (ssl && result < 1) {
        switch (SSL_get_error(ssl, static_cast<int>(result))) {
            case SSL_ERROR_SSL:
            case SSL_ERROR_ZERO_RETURN:
                throw kTLSClosedErr;
            case SSL_ERROR_SYSCALL: {
                if (const unsigned long queued = ERR_get_error()) throw static_cast<int>(queued);
                const int sysError = errno;
                if (sysError == 0) throw kTLSSyscallErr;
                if (sysError == EINTR || sysError == EAGAIN) return 0;
                throw sysError;
            }
            default:
                return 0;
        }
    }
    CheckInterrupted();
    if (result < 0) {
        if (error == EAGAIN || error == EWOULDBLOCK || error == EINTR) {
            fNoData = true;
            return 0;
        }
        fLastError = static_cast<SInt16>(error);
        throw error;
    }
    fSocket->ResetDataFlags(true, false);
    if (result == 0) {
        fPeerClosed = true;
        return 0;
    }
    fPeerClosed = false;
    fEnd += static_cast<SInt32>(result);
    fConnection->DataDownloaded(static_cast<UInt32>(result));
    return static_cast<SInt32>(result);
}

SInt32 TTCPBuffer::FindEndOfLine() const {
    const void* lf = std::memchr(fData + fReadPos, '\n', static_cast<size_t>(fEnd - fReadPos));
    return lf ? static_cast<SInt32>(static_cast<const char*>(lf) - fData) : -1;
}

SInt32 TTCPBuffer::FindEndOfData() const {
    auto isEnd = [](char c) { return c == '\r' || c == '\n'; };
    for (SInt32 i = fReadPos; i + 3 < fEnd; ++i) {
        if (fData[i] == '\n' && fData[i + 1] == '.' && isEnd(fData[i + 2]) && isEnd(fData[i + 3]))
            return i + 4;
    }
    return -2;
}

void TTCPBuffer::CopyLine(SInt32 endIndex, char* destination, SInt32 length) {
    const SInt32 count = std::max<SInt32>(0, std::min(endIndex - fReadPos + 1, length));
    std::memcpy(destination, fData + fReadPos, static_cast<size_t>(count));
    destination[count] = '\0';
    fReadPos += count;
}

bool TTCPBuffer::CopyBufferedLine(char* destination, SInt32& length) {
    const SInt32 lf = FindEndOfLine();
    if (lf < 0) return false;
    const SInt32 count = std::min(lf - fReadPos + 1, length);
    std::memcpy(destination, fData + fReadPos, static_cast<size_t>(count));
    destination[count] = '\0';
    fReadPos += count;
    length = count;
    return true;
}

void TTCPBuffer::ReceiveLine(char* destination, SInt32& length, SInt32 timeoutSeconds) {
    ReceiveLine(destination, length, fConnection->Ticks(), timeoutSeconds, false);
}

void TTCPBuffer::ReceiveReplyLine(char* destination, SInt32& length, UInt32 startTicks,
                                  SInt32 timeoutSeconds) {
    ReceiveLine(destination, length, startTicks, timeoutSeconds, true);
}

void TTCPBuffer::ReceiveLine(char* destination, SInt32& length, UInt32 start, SInt32 timeoutSeconds,
                             bool closeEnds) {
    if (CopyBufferedLine(destination, length)) return;
    while (!Interrupted()) {
        if (TimedOut(start, timeoutSeconds)) throw kNetTimeoutErr;
        // Nothing more fits: the line can never end.
        if (GetUnreadCount() == kSize) throw kNetBadReplyErr;
        if (closeEnds && fPeerClosed) throw kNetBadReplyErr;
        if (FillBuffer() > 0 && CopyBufferedLine(destination, length)) return;
    }
    length = 0;
    ThrowClosed();
}

void TTCPBuffer::WaitWhileLimited(UInt32 start, SInt32 timeoutSeconds) {
    while (!fConnection->AllowData()) {
        if (GetUnreadCount() > 0) return;
        // The limit's sleep, in rounds short enough for an abort.
        for (long left = static_cast<long>(kLimitWaitTicks) * 1'000'000 / 60; left > 0;) {
            const long round = std::min(left, TConnection::kWaitRoundMicroseconds);
            fConnection->SleepRound(round);
            left -= round;
            if (Interrupted()) ThrowClosed();
        }
        if (TimedOut(start, timeoutSeconds)) throw kNetTimeoutErr;
    }
}

void TTCPBuffer::ReceiveAvailableData(const char*& data, SInt32& length, SInt32 timeoutSeconds) {
    ReceiveAvailableData(data, length, fConnection->Ticks(), timeoutSeconds, false);
}

void TTCPBuffer::ReceiveReplyData(const char*& data, SInt32& length, UInt32 startTicks,
                                  SInt32 timeoutSeconds) {
    ReceiveAvailableData(data, length, startTicks, timeoutSeconds, true);
}

void TTCPBuffer::ReceiveAvailableData(const char*& data, SInt32& length, UInt32 start, SInt32 timeoutSeconds,
                                      bool closeEnds) {
    length = 0;
    data = fData;
    CheckInterrupted();
    while (GetUnreadCount() == 0) {
        if (closeEnds && fPeerClosed) return;
        WaitWhileLimited(start, timeoutSeconds);
        if (GetUnreadCount() > 0) break;
        if (FillBuffer() > 0 || fEnd == kSize) break;
        if (closeEnds && fPeerClosed) return;
        if (TimedOut(start, timeoutSeconds)) throw kNetTimeoutErr;
        CheckInterrupted();
    }
    data = fData + fReadPos;
    length = GetUnreadCount();
    fReadPos = fEnd = 0;
}

void TTCPBuffer::ReceiveData(const char*& data, SInt32& length, SInt32& newBytes, SInt32 timeoutSeconds) {
    length = 0;
    newBytes = 0;
    CheckInterrupted();
    fSavedReadPos = fReadPos;
    fSavedEnd = fEnd;
    SInt32 mark = FindEndOfData();
    const UInt32 start = fConnection->Ticks();
    while (mark < 0 && GetUnreadCount() == 0) {
        WaitWhileLimited(start, timeoutSeconds);
        const SInt32 got = GetUnreadCount() > 0 ? 0 : FillBuffer();
        newBytes += got;
        if (got > 0 || fEnd == kSize || GetUnreadCount() > 0) break;
        if (TimedOut(start, timeoutSeconds)) throw kNetTimeoutErr;
        CheckInterrupted();
    }
    fSavedReadPos = fReadPos;
    fSavedEnd = fEnd;
    mark = FindEndOfData();
    data = fData + fReadPos;
    length = (mark >= 0 ? mark : fEnd) - fReadPos;
}

void TTCPBuffer::SkipBytes(SInt32 count) {
    fReadPos = std::min(fSavedReadPos + count, kSize);
    fEnd = std::max(fEnd, fReadPos);
}
