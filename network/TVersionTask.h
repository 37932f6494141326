// Asks the server for the latest version number on the network worker. Failures are silent
// unless the user asked, who then sees "CantCheckVersion".
#pragma once

#include "network/THTTPTask.h"

class TVersionTask : public THTTPTask {
public:
    TVersionTask(bool userAsked = false, SInt16 pageKind = 2) : fUserAsked(userAsked), fPageKind(pageKind) {}

    // Main thread: schedules a check on the network worker; nothing is thrown.
    static void CheckVersion(bool userAsked, SInt16 pageKind);

    int PerformTask() override;
    void WorkerUnavailable() override { ReportFailure(); }

private:
    void ReportFailure();

    bool fUserAsked;
    SInt16 fPageKind;
};
