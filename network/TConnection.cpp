#include "network/TConnection.h"

#include <algorithm>
#include <cstring>

#include "core/TDynamicBuffer.h"
#include "network/NetworkErrors.h"
#include "network/THostLookup.h"
#include "network/TJobThread.h"
#include "network/TResponse.h"
#include "network/TSocket.h"
#include "platform/Carbon/Clock.h"
#include "platform/Foundation/Timer.h"
#include "sockets/SocketAddress.h"

std::mutex TConnection::sConnectionsMutex;
std::vector<TConnection*> TConnection::sConnections;
TRateTracker TConnection::sGlobalDownloadTracker;
TRateTracker TConnection::sGlobalUploadTracker;
std::shared_ptr<NSTimer> TConnection::sBandwidthTimer;

namespace {

struct UploadFlag {
    UploadFlag(TRateTracker& tracker) { tracker.SetUpload(true); }
};
const UploadFlag sGlobalUploadFlag(TConnection::GlobalUploadTracker());

}  // namespace

TConnection::TConnection(TJobThread* thread)
    : fBuffer(this),
      fErrorLog(std::make_unique<CSocketErrorLog>(this)),
      fThread(thread),
      fClock(&Clock::system()) {
    fUploadTracker.SetUpload(true);
    RegStdLog(fErrorLog.get());
    std::lock_guard lock(sConnectionsMutex);
    sConnections.push_back(this);
}

TConnection::~TConnection() {
    {
        std::lock_guard lock(sConnectionsMutex);
        std::erase(sConnections, this);
    }
    DestroySocket();
    RegStdLog(nullptr);
}

void TConnection::SetClock(Clock& clock) {
    fClock = &clock;
    SocketHandler::SetClock(clock);
}

UInt32 TConnection::Ticks() const {
    return static_cast<UInt32>(fClock->now() * 60 / 1'000'000);
}

void TConnection::WaitRound(long microseconds) {
    if (fClock == &Clock::system()) {
        Select(microseconds / 1'000'000, microseconds % 1'000'000);
        return;
    }
    // As on the wall clock, a round that found the socket ready ends at once; time passes only
    // while nothing is.
    const UInt32 before = fReadyEvents;
    Select(0, 0);
    if (fReadyEvents != before) return;
    fClock->sleepFor(microseconds);
}

void TConnection::SleepRound(long microseconds) {
    fClock->sleepFor(microseconds);
}

void TConnection::DestroySocket() {
    TSocket* socket = fSocket;
    if (!socket) return;
    fSocket = nullptr;
    fBuffer.SetSocket(nullptr);
    if (socket->GetSocket() != -1) {
        try {
            socket->Close();
        } catch (...) {
            // The socket is deleted next either way; a close that fails leaves nothing to undo.
        }
    }
    Detach(socket);
    delete socket;
}

TSocket* TConnection::CreateSocket() {
    return new TSocket(*this, this);
}

std::unique_ptr<THostLookup> TConnection::StartLookup(const std::string& host) {
    return THostLookup::Start(host);
}

int TConnection::LookUp(const std::string& host, UInt16 port, UInt32 start,
                        std::unique_ptr<SocketAddress>& address) {
    std::unique_ptr<THostLookup> lookup = StartLookup(host);
    if (!lookup) throw kMissingObjectErr;
    while (!lookup->Finished()) {
        lookup->WaitFor(kWaitRoundMicroseconds);
        // The resolver keeps the wall clock; any other clock passes the round here.
        if (fClock != &Clock::system() && !lookup->Finished()) fClock->sleepFor(kWaitRoundMicroseconds);
        fBuffer.CheckAbort();
        if (Ticks() - start > kConnectTimeoutTicks) return kNetTimeoutErr;
    }
    address = lookup->Address(port);
    return address ? 0 : kSocketOpenErr;
}

int TConnection::Connect(const std::string& host, UInt16 port) {
    if (fConnected && fSocket && fSocket->IsConnected()) return 0;
    DestroySocket();
    fConnected = false;
    int result;
    try {
        result = OpenAndWait(host, port);
    } catch (...) {
        DestroySocket();
        fConnected = false;
        throw;
    }
    if (result != 0) {
        DestroySocket();
        fConnected = false;
    }
    return result;
}

int TConnection::OpenAndWait(const std::string& host, UInt16 port) {
    fErrorLog->Reset();
    fBuffer.CheckAbort();
    const UInt32 start = Ticks();
    std::unique_ptr<SocketAddress> address;
    if (int result = LookUp(host, port, start, address)) return result;

    fSocket = CreateSocket();
    if (!fSocket) throw kMissingObjectErr;
    fSocket->SetConnectTimeout(kConnectTimeoutSeconds);
    fSocket->SetConnectionRetry(kConnectionRetries);
    fBuffer.SetSocket(fSocket);
    fReconnectNeeded = false;

    if (!fSocket->Open(*address) || fSocket->GetSocket() == -1) return kSocketOpenErr;
    // An open that connected at once calls OnConnect from the first pass.
    if (fSocket->IsConnected() && !fSocket->Connecting()) fSocket->SetCallOnConnect();
    Add(fSocket);
    // Admits the socket; a connect that completed at once is reported from here.
    Select(0, 0);
    for (;;) {
        if (fConnected) {
            fSocket->SetNonblocking(true);
            return 0;
        }
        WaitRound(kWaitRoundMicroseconds);
        fBuffer.CheckAbort();
        if (Ticks() - start > kConnectTimeoutTicks) return kNetTimeoutErr;
    }
}

int TConnection::SendCmd(const char* text) {
    if (!text) return 0;
    const size_t length = std::strlen(text);
    if (length > kMaxCommandLength) throw kAssertionErr;
    if (int result = AutoConnect()) return result;
    if (!fSocket) return kMissingObjectErr;
    std::string line(text, length);
    line += "\r\n";
    fSocket->SendBuf(line.data(), line.size());
    fLastSend = Ticks();
    return 0;
}

int TConnection::SendCommandWithReply(const char* command, TResponse& response) {
    if (!command) return 0;
    ResetBuffer();
    if (*command) {
        if (int result = SendCmd(command)) return result;
    }
    fWaitingForReply = true;
    try {
        WaitResponse(response);
    } catch (...) {
        fWaitingForReply = false;
        throw;
    }
    fWaitingForReply = false;
    return response.GetError();
}

void TConnection::DoSend(const char* data, UInt32 length) {
    if (!fSocket) throw kNetNoSocketErr;
    if (!data) return;
    fSocket->SendBuf(data, length);
    fLastSend = Ticks();
    DataUploaded(length);
    if (fThread) fThread->DoSpeed(0);
}

void TConnection::SendData(const char* text, UInt32 length) {
    if (!fSocket) throw kNetNoSocketErr;
    if (!text) return;
    for (UInt32 sent = 0; sent < length;) {
        const UInt32 piece = std::min(kSendBlock, length - sent);
        DoSend(text + sent, piece);
        sent += piece;
    }
}

void TConnection::SendData(TDynamicBuffer* buffer) {
    if (!fSocket) throw kNetNoSocketErr;
    if (!buffer) return;
    TStream* stream = buffer->GetBufferStream();
    if (!stream || stream->GetLength() == 0) return;
    stream->SetMarker(0, kStreamFromStart);
    char block[kSendBlock];
    for (;;) {
        const SInt32 got = stream->ReadData(block, static_cast<SInt32>(kSendBlock));
        if (got > 0) DoSend(block, static_cast<UInt32>(got));
        if (got < static_cast<SInt32>(kSendBlock)) break;
    }
}

void TConnection::DropConnection() {
    fConnected = false;
    fWaitingForReply = false;
    fReconnectNeeded = false;
    ClearServerState();
    fBuffer.SetSocket(nullptr);
    ResetRate();
    DestroySocket();
}

void TConnection::ResetBuffer() {
    // A stale abort must not end the next operation.
    try {
        fBuffer.CheckAbort();
    } catch (int) {
    }
    fBuffer.Reset();
}

bool TConnection::IsConnected() {
    return fConnected && !fReconnectNeeded && fSocket && fSocket->IsConnected();
}

void TConnection::WaitResponse(TResponse& response) {
    if (fThread && fThread->AbortNow()) throw kNetClosedErr;
    char line[2048];
    SInt32 length = 2047;
    fBuffer.ReceiveLine(line, length, fReceiveTimeout);
    std::string first(line, static_cast<size_t>(length));
    if (const size_t cr = first.find("\r\n"); cr != std::string::npos) first.resize(cr);
    response.SetResponse(first.c_str());
    if (!response.ExpectData()) return;
    for (;;) {
        if (fThread && fThread->AbortNow()) throw kNetClosedErr;
        length = 2047;
        fBuffer.ReceiveLine(line, length, fReceiveTimeout);
        std::string_view text(line, static_cast<size_t>(length));
        if (text == ".\r\n" || text == ".\n") break;
        if (text.starts_with("..")) text.remove_prefix(1);
        ++fLinesRead;
        fBytesRead += length;
        if (++fLinesSinceReport > 16 && fThread) {
            fThread->DoProgress(fLinesRead, fBytesRead);
            fThread->DoSpeed(0);
            fLinesSinceReport = 0;
        }
        if (fLineCallback)
            fLineCallback(text.data(), static_cast<SInt32>(text.size()), fLineUser);
        else
            response.WriteData(text.data(), static_cast<SInt32>(text.size()));
    }
    response.ResponseComplete();
}

void TConnection::BeginMultiResponse() {
    fLinesRead = fBytesRead = fLinesSinceReport = 0;
}

void TConnection::WaitMultiResponse(TResponse& response, int count) {
    for (int i = 0; i < std::max(count, 1); ++i) WaitResponse(response);
}

int TConnection::GetResponses(int count, TResponse& response) {
    fWaitingForReply = true;
    try {
        WaitMultiResponse(response, count);
    } catch (...) {
        fWaitingForReply = false;
        throw;
    }
    fWaitingForReply = false;
    return response.GetError();
}

void TConnection::DataUploaded(UInt32 bytes) {
    fUploadTracker.Transferred(bytes);
    sGlobalUploadTracker.Transferred(bytes);
}

void TConnection::DataDownloaded(UInt32 bytes) {
    fDownloadTracker.Transferred(bytes);
    sGlobalDownloadTracker.Transferred(bytes);
}

bool TConnection::AllowData() {
    return fDownloadTracker.AllowData() && sGlobalDownloadTracker.AllowData();
}

bool TConnection::RestrictData() const {
    return fDownloadTracker.GetLimit() != TRateTracker::kNoLimit || GlobalRestrictData();
}

float TConnection::GetAverageDownloadRate() {
    return fConnected ? fDownloadTracker.GetRateAverage() : 0;
}

float TConnection::GetAverageUploadRate() {
    return fConnected ? fUploadTracker.GetRateAverage() : 0;
}

float TConnection::GetCurrentDownloadRate() {
    return fConnected ? fDownloadTracker.GetCurrentRate(TRateTracker::kCurrentWindow) : 0;
}

float TConnection::GetCurrentUploadRate() {
    return fConnected ? fUploadTracker.GetCurrentRate(TRateTracker::kCurrentWindow) : 0;
}

void TConnection::ResetRate() {
    fDownloadTracker.Reset();
    fUploadTracker.Reset();
}

void TConnection::HideSpeed() {
    if (fThread) fThread->DoHideSpeed();
    ResetRate();
}

void TConnection::ResetSpeed(bool hide) {
    if (hide) {
        HideSpeed();
    } else {
        ResetRate();
    }
}

void TConnection::UpdateTracking(SInt16 globalLimit, SInt16 connectionLimit) {
    sGlobalDownloadTracker.SetLimit(globalLimit);
    std::lock_guard lock(sConnectionsMutex);
    for (TConnection* connection : sConnections) connection->SetLimit(connectionLimit);
}

void TConnection::DropAllConnections() {
    std::vector<TConnection*> copy;
    {
        std::lock_guard lock(sConnectionsMutex);
        copy = sConnections;
    }
    for (TConnection* connection : copy) connection->DropConnection();
}

size_t TConnection::GetConnectionCount() {
    std::lock_guard lock(sConnectionsMutex);
    return sConnections.size();
}

namespace {

// One-shot timers in a chain; each firing arms the next one.
std::shared_ptr<NSTimer> ArmBandwidthTimer(double seconds) {
    return NSTimer::scheduledTimerWithTimeInterval(seconds, [](NSTimer&) {
        TConnection::BandwidthTimer();
        if (TConnection::BandwidthTimerRunning()) TConnection::StartBandwidthTimer();
    });
}

}  // namespace

void TConnection::StartBandwidthTimer() {
    const bool first = !sBandwidthTimer;
    if (!first && sBandwidthTimer->isValid()) return;
    sBandwidthTimer = ArmBandwidthTimer(first ? 0.5 : 2.0);
    if (!sBandwidthTimer) throw kMissingObjectErr;
}

void TConnection::StopBandwidthTimer() {
    if (!sBandwidthTimer) return;
    sBandwidthTimer->invalidate();
    sBandwidthTimer.reset();
}
