#include "network/THTTPThread.h"

#include "network/THTTPConnection.h"
#include "network/THTTPTask.h"

THTTPThread::THTTPThread()
    : TNetworkThread(nullptr), fHTTPConnection(std::make_unique<THTTPConnection>(this)) {
    SetConnection(fHTTPConnection.get());
}

THTTPThread::~THTTPThread() {
    Stop();
    SetConnection(nullptr);
}

void THTTPThread::PreTask(TTask* task) {
    if (!task) return;
    SetConnection(fHTTPConnection.get());
    if (auto* http = dynamic_cast<THTTPTask*>(task)) http->SetServerThread(this);
    task->SetConnection(fHTTPConnection.get());
    TNetworkThread::PreTask(task);
}

void THTTPThread::Disconnect() {
    try {
        fHTTPConnection->Disconnect();
    } catch (...) {
        // Letting the connection go has nothing to report; the next task connects afresh.
    }
}

void THTTPThread::DropHTTPConnection() {
    try {
        fHTTPConnection->DropConnection();
    } catch (...) {
        // As in Disconnect: the connection is forgotten either way, and the next task connects afresh.
    }
}
