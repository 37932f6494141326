// The network worker of the application: a network thread that owns one HTTP connection and
// lends it to every task it runs.
#pragma once

#include <memory>

#include "network/TNetworkThread.h"

class THTTPConnection;

class THTTPThread : public TNetworkThread {
public:
    THTTPThread();
    // Joins the worker before its connection goes.
    ~THTTPThread() override;

    void PreTask(TTask* task) override;
    void Disconnect() override;
    void DropHTTPConnection();

private:
    std::unique_ptr<THTTPConnection> fHTTPConnection;
};
