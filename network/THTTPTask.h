// The task that carries a form-mail request on the network worker; the version check and the
// feedback form derive from it. It always answers 0, so the worker counts it as done; what
// happened is in its succeeded flag and in what it posted.
#pragma once

#include <string>

#include "network/THTTPResponse.h"
#include "network/TServerConfig.h"
#include "network/TTask.h"

class THTTPConnection;
class THTTPThread;

inline constexpr OSType kHTTPTaskID = fourCC("orvH");

class THTTPTask : public TTask {
public:
    THTTPTask();
    THTTPTask(const char* recipient, const char* subject, const char* text, SInt32 length);

    int PerformTask() override;
    void ProcessResponse() override {}
    // The worker could not be started: the task will never run, so it answers now.
    virtual void WorkerUnavailable() {}

    void SetServerThread(THTTPThread* thread) { fServerThread = thread; }
    void DropConnection();
    void SetServer(const TServerConfig& server) { fServer = server; }
    const TServerConfig& GetServer() const { return fServer; }
    bool Succeeded() const { return fSucceeded; }
    bool Finished() const { return fFinished; }
    THTTPResponse& GetHTTPResponse() { return fHTTPResponse; }

protected:
    // The lent connection, aimed at this task's server; throws 0x10000066 without one.
    THTTPConnection& HTTPConnection();

    THTTPResponse fHTTPResponse;
    THTTPThread* fServerThread{nullptr};
    std::string fRecipient;
    std::string fSubject;
    const char* fText{nullptr};
    SInt32 fTextLength{0};
    bool fSucceeded{false};
    bool fFinished{false};
    // Taken on the main thread when the task is made.
    TServerConfig fServer;
};
