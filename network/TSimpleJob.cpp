#include "network/TSimpleJob.h"

#include "network/TTask.h"

TSimpleJob::TSimpleJob(TTask* firstTask) : TJob(kSimpleJobID) {
    AddTask(firstTask);
}

TSimpleJob::~TSimpleJob() {
    while (TLink* task = fOwnTasks.NextGet()) delete task;
}

void TSimpleJob::AddTask(TTask* task) {
    AppendTask(fOwnTasks, task);
}

TTask* TSimpleJob::DoGetTask() {
    return static_cast<TTask*>(fOwnTasks.NextGet());
}
