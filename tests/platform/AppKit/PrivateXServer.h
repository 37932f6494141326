// A private X server (Xvfb) that a test starts and ends; its display name comes back once it
// accepts clients, and is empty when no server could be started.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

class PrivateXServer {
public:
    PrivateXServer() {
        if (access("/usr/bin/Xvfb", X_OK) != 0) return;
        int fds[2];
        if (pipe(fds) != 0) return;
        // Made before the fork: the child may only exec.
        const std::string fd = std::to_string(fds[1]);
        mPid = fork();
        if (mPid == 0) {
            close(fds[0]);
            // The server ends with the test process, however that ends, and holds none of its
            // output: a test runner waits for every holder of its output to close it.
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            const int null = open("/dev/null", O_RDWR);
            dup2(null, STDIN_FILENO);
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
            execl("/usr/bin/Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0",
                  "320x240x24", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        char c;
        while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        if (!number.empty()) mDisplay = ":" + number;
    }
    ~PrivateXServer() {
        if (mPid > 0) {
            kill(mPid, SIGTERM);
            waitpid(mPid, nullptr, 0);
        }
    }
    const std::string& display() const { return mDisplay; }

private:
    pid_t mPid{-1};
    std::string mDisplay;
};
