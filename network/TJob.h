// A job: a queue of tasks that the worker takes one at a time, and the result of the last one.
// A queued job belongs to its TJobQueue; a job deletes each task as it succeeds or fails.
#pragma once

#include "network/TLink.h"
#include "network/TQueue.h"
#include "platform/Carbon/MacTypes.h"

class TJobThread;
class TTask;

inline constexpr OSType kOwningJobID = fourCC("Sjob");

class TJob : public TLink {
public:
    // The 'Sjob' kind deletes the tasks still queued in it when it goes.
    explicit TJob(OSType classID = 0, TTask* firstTask = nullptr);
    ~TJob() override;

    // Null is ignored.
    void AddTask(TTask* task);
    // Takes the next task and remembers it as the current one.
    TTask* GetNextTask();
    void BroadcastInfoString(const char* text);

    virtual void TaskSucceeded(TTask* task);
    virtual void TaskFailed(TTask* task, int error);
    virtual void KillCurrentTask();
    // Completion hooks for subclasses; the base records the result.
    virtual void JobSucceeded();
    virtual void JobFailed(int error);
    virtual void HandleCompletion();
    virtual void CancelProgress() {}

    int GetResult() const { return fResult; }
    OSType GetClassID() const { return fClassID; }
    bool OwnsTasks() const { return fOwnsTasks; }
    bool IsCompletionPending() const { return fCompletionPending; }
    TTask* GetCurrentTask() const { return fCurrentTask; }
    TJobThread* GetThread() const { return fThread; }
    void SetThread(TJobThread* thread) { fThread = thread; }
    SInt32 GetTaskCount() const { return fTasks.GetSize(); }

protected:
    virtual TTask* DoGetTask();
    void AppendTask(TQueue& queue, TTask* task);

    int fResult{0};
    OSType fClassID;
    bool fOwnsTasks;
    bool fCompletionPending{true};
    TTask* fCurrentTask{nullptr};
    TJobThread* fThread{nullptr};
    void* fReserved{nullptr};
    TQueue fTasks;
};
