// A session bus of the test process's own: a private dbus-daemon whose address goes into
// DBUS_SESSION_BUS_ADDRESS, ended when this object is. Start it before the application object.
#pragma once

#include <signal.h>
#include <stdlib.h>

#include <cstdio>
#include <string>

class PrivateSessionBus {
public:
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    PrivateSessionBus() = default;
    ~PrivateSessionBus() {
        if (mDaemon > 0) kill(mDaemon, SIGTERM);
    }

    bool start() {
        FILE* out = popen("dbus-daemon --session --fork --nopidfile --print-address=1 --print-pid=1", "r");
        if (!out) return false;
        char address[512] = {};
        char pid[32] = {};
        const bool read = std::fgets(address, sizeof address, out) && std::fgets(pid, sizeof pid, out);
        pclose(out);
        if (!read) return false;
        std::string text(address);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        mDaemon = static_cast<pid_t>(std::atol(pid));
        setenv("DBUS_SESSION_BUS_ADDRESS", text.c_str(), 1);
        return mDaemon > 0;
    }

private:
    pid_t mDaemon{0};
};
