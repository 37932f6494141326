// One client connection driven synchronously from a worker thread: a socket handler that holds
// at most one socket, looks the host up and connects within a 45-second time-out, sends with a
// bounded wait for the socket to take the bytes and receives through its TTCPBuffer. Every wait
// runs in rounds of at most 0.2 s and checks the abort after each. It keeps download and upload
// rate trackers of its own beside two that all connections share.
//
// Time is the handler's clock. On the wall clock a select round blocks until the socket is
// ready or the round is over; on any other clock a round polls and, when nothing was ready,
// sleeps on that clock, so time-outs pass in that clock's time.
//
// Every member runs on the owning worker except AbortCurrentOperation, which any thread may
// call. Failure is reported as an int: connect codes are returned, send and receive codes thrown.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "network/CSocketErrorLog.h"
#include "network/TRateTracker.h"
#include "network/TTCPBuffer.h"
#include "sockets/SocketHandler.h"

class Clock;
class NSTimer;
class SocketAddress;
class TDynamicBuffer;
class THostLookup;
class TJobThread;
class TResponse;
class TSocket;

class TConnection : public SocketHandler {
public:
    static constexpr SInt32 kDefaultReceiveTimeout = 90;
    static constexpr int kConnectTimeoutSeconds = 45;
    static constexpr UInt32 kConnectTimeoutTicks = 2700;
    static constexpr size_t kMaxCommandLength = 510;
    static constexpr UInt32 kSendBlock = 4096;
    // The longest a wait goes without looking at the abort.
    static constexpr long kWaitRoundMicroseconds = 200000;
    static constexpr int kConnectionRetries = 2;

    explicit TConnection(TJobThread* thread = nullptr);
    ~TConnection() override;

    virtual int AutoConnect() { return 0; }
    // 0 when connected; 'SCfa' when the host is not found or the socket cannot be opened,
    // 0x10000064 after 45 s. A connect the system refuses at once throws 0x10000064 at once;
    // an abort throws 0x10000065. A connect that fails leaves no socket behind.
    virtual int Connect(const std::string& host, UInt16 port);
    virtual int SendCmd(const char* text);
    virtual int SendCommandWithReply(const char* command, TResponse& response);
    virtual void DoSend(const char* data, UInt32 length);
    virtual void SendData(TDynamicBuffer* buffer);
    virtual void SendData(const char* text, UInt32 length);
    void SendTDynamicBuffer(TDynamicBuffer* buffer) { SendData(buffer); }
    virtual void DropConnection();
    virtual void Disconnect() { DropConnection(); }
    virtual void AbortCurrentOperation() { fBuffer.Abort(); }
    virtual void NoopServer() {}
    virtual void ClearServerState() {}
    virtual void ResetBuffer();
    virtual bool IsConnected();
    virtual TSocket* CreateSocket();
    // The lookup Connect waits for.
    virtual std::unique_ptr<THostLookup> StartLookup(const std::string& host);
    virtual void HandleIncomingData() {}
    // Reads the response line and, when the response expects data, the lines up to a lone ".",
    // without the dots added to lines that start with one. With a line callback the data lines
    // go to it instead. More than 16 lines since the last report make a progress report.
    virtual void WaitResponse(TResponse& response);
    // Reads `count` replies (at least one) into the response, one after the other.
    virtual void WaitMultiResponse(TResponse& response, int count);
    virtual void BeginMultiResponse();
    // Answers the response's error after its replies.
    virtual int GetResponses(int count, TResponse& response);
    using LineCallback = void (*)(const char* text, SInt32 length, void* user);
    void SetLineCallback(LineCallback callback, void* user) {
        fLineCallback = callback;
        fLineUser = user;
    }
    SInt32 GetLinesRead() const { return fLinesRead; }
    SInt32 GetBytesRead() const { return fBytesRead; }
    virtual void SetTickleSeconds(UInt32 seconds) { fTickleTicks = seconds * 60; }
    virtual UInt32 GetTickleSeconds() const { return fTickleTicks / 60; }

    void SetClock(Clock& clock);
    Clock& GetClock() const { return *fClock; }
    // Ticks (1/60 s) on the connection's clock.
    UInt32 Ticks() const;
    // One round of the select loop of at most the given time; it ends early when the socket
    // turns out ready.
    void WaitRound(long microseconds);
    // The socket's callbacks count each readiness they are told of.
    void NoteReady() { ++fReadyEvents; }
    // Sleeps without looking at the socket.
    void SleepRound(long microseconds);

    TTCPBuffer& GetReceiveBuffer() { return fBuffer; }
    TSocket* GetSocketObject() const { return fSocket; }
    CSocketErrorLog& GetErrorLog() const { return *fErrorLog; }
    TJobThread* GetThread() const { return fThread; }
    void SetReceiveTimeout(SInt32 seconds) { fReceiveTimeout = seconds; }
    SInt32 GetReceiveTimeout() const { return fReceiveTimeout; }
    void SetConnected(bool connected) { fConnected = connected; }
    bool GetConnectedFlag() const { return fConnected; }
    void SetReconnectNeeded(bool needed) { fReconnectNeeded = needed; }
    UInt32 GetLastSendTicks() const { return fLastSend; }

    void DataUploaded(UInt32 bytes);
    void DataDownloaded(UInt32 bytes);
    void SetLimit(SInt16 kilobytesPerSecond) { fDownloadTracker.SetLimit(kilobytesPerSecond); }
    bool AllowData();
    bool RestrictData() const;
    float GetAverageDownloadRate();
    float GetAverageUploadRate();
    float GetCurrentDownloadRate();
    float GetCurrentUploadRate();
    void ResetRate();
    void HideSpeed();
    void ResetSpeed(bool hide);
    TRateTracker& GetDownloadTracker() { return fDownloadTracker; }
    TRateTracker& GetUploadTracker() { return fUploadTracker; }

    static bool GlobalAllowData() { return sGlobalDownloadTracker.AllowData(); }
    static bool GlobalRestrictData() { return sGlobalDownloadTracker.GetLimit() != TRateTracker::kNoLimit; }
    static float GlobalGetRate() {
        return sGlobalDownloadTracker.GetCurrentRate(TRateTracker::kCurrentWindow);
    }
    static void UpdateTracking(SInt16 globalLimit, SInt16 connectionLimit);
    static void DropAllConnections();
    static size_t GetConnectionCount();
    static TRateTracker& GlobalDownloadTracker() { return sGlobalDownloadTracker; }
    static TRateTracker& GlobalUploadTracker() { return sGlobalUploadTracker; }
    // A timer on the main thread, first after 0.5 s and then every 2 s, for the bandwidth
    // display; main thread only.
    static void StartBandwidthTimer();
    static void StopBandwidthTimer();
    static bool BandwidthTimerRunning() { return sBandwidthTimer != nullptr; }
    static void BandwidthTimer() {}
    void UpdateBandwidthIndicators() {}

protected:
    // Closes the socket, takes it out of the handler and deletes it.
    void DestroySocket();
    // The host's address, waited for in rounds within the connect time-out counted from `start`.
    int LookUp(const std::string& host, UInt16 port, UInt32 start, std::unique_ptr<SocketAddress>& address);
    int OpenAndWait(const std::string& host, UInt16 port);

    TSocket* fSocket{nullptr};
    TTCPBuffer fBuffer;
    std::unique_ptr<CSocketErrorLog> fErrorLog;
    bool fWaitingForReply{false};
    SInt32 fLinesRead{0};
    SInt32 fBytesRead{0};
    SInt32 fLinesSinceReport{0};
    LineCallback fLineCallback{nullptr};
    void* fLineUser{nullptr};
    UInt32 fLastSend{0};
    UInt32 fTickleTicks{0};
    SInt32 fReceiveTimeout{kDefaultReceiveTimeout};
    TRateTracker fDownloadTracker;
    TRateTracker fUploadTracker;
    bool fConnected{false};
    bool fReconnectNeeded{false};
    TJobThread* fThread;
    Clock* fClock;
    UInt32 fReadyEvents{0};

private:
    static std::mutex sConnectionsMutex;
    static std::vector<TConnection*> sConnections;
    static TRateTracker sGlobalDownloadTracker;
    static TRateTracker sGlobalUploadTracker;
    static std::shared_ptr<NSTimer> sBandwidthTimer;
};
