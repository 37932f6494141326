// Asks the server for the latest version number on the network worker. Failures are silent
// unless the user asked, who then sees "CantCheckVersion".
#pragma once

#include "network/THTTPTask.h"

class TVersionTask : public THTTPTask {
public:
    // The server's version page of this program; kinds 0 and 1 are its sister products'.
    static constexpr SInt16 kBeatwickVersionPage = 2;

    TVersionTask(bool userAsked = false, SInt16 pageKind = kBeatwickVersionPage)
        : fUserAsked(userAsked), fPageKind(pageKind) {}

    // Main thread: schedules a check on the network worker; nothing is thrown.
    static void CheckVersion(bool userAsked, SInt16 pageKind);

    int PerformTask() override;
    void WorkerUnavailable() override { ReportFailure(); }

private:
    void ReportFailure();

    bool fUserAsked;
    SInt16 fPageKind;
};
