// The unit of work a job holds. The worker calls PerformTask, which returns 0 or an error code
// (or throws an int). The base one sends the command line through the lent connection and
// hands the reply to ProcessResponse; every task of the application replaces it.
#pragma once

#include "network/TLink.h"
#include "platform/Carbon/MacTypes.h"

class TConnection;
class TJob;
class TResponse;

class TTask : public TLink {
public:
    static constexpr size_t kInfoStringSize = 256;
    static constexpr size_t kCommandSize = 512;
    // Longer command lines cannot take their CR LF within the command text.
    static constexpr size_t kMaxCommandLength = 510;

    explicit TTask(TJob* job = nullptr, TResponse* response = nullptr, OSType classID = 0);
    ~TTask() override = default;

    // Broadcasts the information string; then, with a command, sends it through the lent
    // connection and, when the reply reports no error, calls ProcessResponse. 0 on success and
    // without a command; 0x10000066 without a connection, 'nilP' without a response.
    virtual int PerformTask();
    virtual OSType GetClassID() const { return fClassID; }
    virtual void CheckForCancel() {}
    virtual void CancelProgress() {}
    virtual void DoProgress(int) {}
    virtual void TaskFinished(bool) {}
    virtual void ProcessResponse() {}

    TJob* GetJob() const { return fJob; }
    void SetJob(TJob* job) { fJob = job; }
    TConnection* GetConnection() const { return fConnection; }
    void SetConnection(TConnection* connection) { fConnection = connection; }
    TResponse* GetResponse() const { return fResponse; }
    // Keeps at most 255 characters; null gives an empty string.
    void SetInfoString(const char* text);
    const char* GetInfoString() const { return fInfoString; }
    // Throws 'asrt' for a line longer than kMaxCommandLength; null empties it.
    void SetCommand(const char* command);
    const char* GetCommand() const { return fCommand; }

protected:
    bool fFlag{false};
    TJob* fJob;
    OSType fClassID;
    char fInfoString[kInfoStringSize]{};
    TConnection* fConnection{nullptr};
    TResponse* fResponse;
    char fCommand[kCommandSize]{};
};
