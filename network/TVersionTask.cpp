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
