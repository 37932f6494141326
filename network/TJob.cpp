#include "network/TJob.h"

#include "network/TJobThread.h"
#include "network/TTask.h"

TJob::TJob(OSType classID, TTask* firstTask) : fClassID(classID), fOwnsTasks(classID == kOwningJobID) {
    AddTask(firstTask);
}

TJob::~TJob() {
    if (!fOwnsTasks) return;
    while (TLink* task = fTasks.NextGet()) delete task;
}

void TJob::AppendTask(TQueue& queue, TTask* task) {
    if (!task) return;
    task->SetJob(this);
    queue.NextPut(task);
}

void TJob::AddTask(TTask* task) {
    AppendTask(fTasks, task);
}

TTask* TJob::DoGetTask() {
    return static_cast<TTask*>(fTasks.NextGet());
}

TTask* TJob::GetNextTask() {
    fCurrentTask = DoGetTask();
    return fCurrentTask;
}

void TJob::BroadcastInfoString(const char* text) {
    if (fThread) fThread->DoDescription(text);
}

void TJob::TaskSucceeded(TTask* task) {
    if (!task) return;
    fResult = 0;
    if (fThread) fThread->TaskGoingAway(task);
    // Forgotten here too, so KillCurrentTask never meets a deleted task.
    if (fCurrentTask == task) fCurrentTask = nullptr;
    delete task;
}

void TJob::TaskFailed(TTask* task, int error) {
    if (!task) return;
    fResult = error;
    if (fThread) fThread->TaskGoingAway(task);
    if (fCurrentTask == task) fCurrentTask = nullptr;
    delete task;
}

void TJob::KillCurrentTask() {
    if (!fCurrentTask) return;
    if (fThread) fThread->TaskGoingAway(fCurrentTask);
    delete fCurrentTask;
    fCurrentTask = nullptr;
}

void TJob::JobSucceeded() {
    fResult = 0;
}

void TJob::JobFailed(int error) {
    fResult = error;
}

void TJob::HandleCompletion() {
    if (fResult != 0) {
        JobFailed(fResult);
    } else {
        JobSucceeded();
    }
    fCompletionPending = false;
}
