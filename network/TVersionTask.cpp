#include "network/TVersionTask.h"

#include "network/NetworkManager.h"
#include "network/THTTPConnection.h"
#include "network/UThreadUIUpdate.h"

void TVersionTask::CheckVersion(bool userAsked, SInt16 pageKind) {
    try {
        auto* task = new TVersionTask(userAsked, pageKind);
        task->SetServer(TServerConfig::Current());
        NetworkManager::sharedNetworkManager().scheduleHTTPTask(task);
    } catch (...) {
        // Called from a menu or a timer, which must not throw: a check that could not be queued is skipped.
    }
}

void TVersionTask::ReportFailure() {
    if (!fUserAsked) return;
    try {
        UIAlertStruct alert;
        InitUIAlertStruct(alert);
        alert.alertNumber = kCantCheckVersionAlert;
        alert.style = 0;
        UThreadUIUpdate::DoUIAlert(alert);
    } catch (...) {
        // The alert is the only way to tell the user; the worker goes on to its next task.
    }
}

int TVersionTask::PerformTask() {
    try {
        HTTPConnection().CheckVersion(fUserAsked, fPageKind);
        fSucceeded = true;
    } catch (...) {
        fSucceeded = false;
    }
    if (!fSucceeded) ReportFailure();
    fFinished = true;
    return 0;
}
