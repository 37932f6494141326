#include "network/TNetworkThread.h"

#include "network/NetworkErrors.h"
#include "network/TConnection.h"
#include "network/TJob.h"
#include "network/TTask.h"
#include "network/UThreadUIUpdate.h"

std::atomic<bool> TNetworkThread::sNotifyIfError{false};
std::atomic<bool> TNetworkThread::sNotifyWhenDone{false};

namespace {

void PostUpdate(int16_t code) {
    UIUpdateStruct update;
    UThreadUIUpdate::InitUIUpdateStruct(update);
    update.SetCode(code);
    UThreadUIUpdate::DoUIUpdate(update);
}

}  // namespace

TNetworkThread::TNetworkThread(TConnection* connection) : fConnection(connection) {
    sNotifyIfError = true;
}

void TNetworkThread::ScheduleJob(TJob* job) {
    TJobThread::ScheduleJob(job);
    sNotifyIfError = true;
}

void TNetworkThread::ScheduleJobFirst(TJob* job) {
    TJobThread::ScheduleJobFirst(job);
}

TJob* TNetworkThread::ScheduleTask(TTask* task) {
    TJob* job = TJobThread::ScheduleTask(task);
    if (!job) throw kMissingObjectErr;
    sNotifyIfError = true;
    return job;
}

void TNetworkThread::GoingIdle() {
    sNotifyWhenDone = false;
    PostUpdate(kUpdateQueueEmpty);
}

void TNetworkThread::AbortCurrentOperation() {
    if (TConnection* connection = fConnection) connection->AbortCurrentOperation();
}

void TNetworkThread::DropConnectionQuietly() {
    TConnection* connection = fConnection;
    if (!connection) return;
    try {
        connection->DropConnection();
    } catch (...) {
        // Quietly, as the name says: the jobs that used it were already told of their end.
    }
}

void TNetworkThread::NotifyOnce(int error) {
    if (!sNotifyIfError) return;
    if (error == kUserCanceledErr || error == kNetClosedErr || error == kNetReservedErr) return;
    DoNotification(false);
    sNotifyIfError = false;
}

void TNetworkThread::KillJobs(int error, bool all) {
    TJobThread::KillJobs(error, all);
    NotifyOnce(error);
    sNotifyWhenDone = false;
    DeleteProgress();
    DropConnectionQuietly();
}

void TNetworkThread::HandleErrorNotification(int error) {
    if (sNotifyIfError && IsNotifyErr(error)) {
        DoNotification(false);
        sNotifyIfError = false;
    }
}

void TNetworkThread::PreTask(TTask* task) {
    if (!task) return;
    if (TConnection* connection = fConnection) {
        task->SetConnection(connection);
        sNotifyIfError = true;
    }
}

void TNetworkThread::HandleError(int error) {
    const bool wasHandling = fHandlingError.exchange(true);
    const bool quiet = (GetStopped() || IsPaused()) && !GetKillAll();
    TJobThread::HandleError(error);
    if (quiet) {
        if (IsPaused()) {
            SetErrorWhilePaused(true);
        } else {
            SetStopped(false);
        }
    } else if (IsAKillErr(error)) {
        ReallyStopAll();
        DropConnectionQuietly();
        if (error == kDiskFullErr) PostUpdate(kUpdateDiskFull);
    } else {
        NotifyOnce(error);
    }
    fHandlingError = wasHandling;
}
