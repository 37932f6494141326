#include "network/THTTPTask.h"

#include "network/NetworkErrors.h"
#include "network/THTTPConnection.h"
#include "network/THTTPThread.h"

THTTPTask::THTTPTask() : TTask(nullptr, &fHTTPResponse, kHTTPTaskID) {}

THTTPTask::THTTPTask(const char* recipient, const char* subject, const char* text, SInt32 length)
    : TTask(nullptr, &fHTTPResponse, kHTTPTaskID),
      fRecipient(recipient ? recipient : ""),
      fSubject(subject ? subject : ""),
      fText(text),
      fTextLength(length) {}

void THTTPTask::DropConnection() {
    if (fServerThread) fServerThread->DropHTTPConnection();
}

THTTPConnection& THTTPTask::HTTPConnection() {
    auto* connection = dynamic_cast<THTTPConnection*>(GetConnection());
    if (!connection) throw kNetNoSocketErr;
    connection->SetServer(fServer);
    return *connection;
}

int THTTPTask::PerformTask() {
    try {
        HTTPConnection().SendMessage(fRecipient.c_str(), fSubject.c_str(), fText, fTextLength);
        fSucceeded = true;
    } catch (...) {
        fSucceeded = false;
    }
    fFinished = true;
    return 0;
}
