// Real client programs against servers in the test's own handler: finds the program (a test that
// cannot find one fails when CI is set, else skips), starts it with its output in a private file,
// and runs the handler until the program ends. Bounded: a program still running after the given
// number of handler passes is killed and reported.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "sockets/ISocketHandler.h"

extern char** environ;

namespace external {

// The program's path: Debian's own folders first, then PATH. Empty when it is not installed.
inline std::string Find(const std::string& name) {
    std::vector<std::string> dirs = {"/usr/bin", "/usr/sbin", "/bin", "/sbin"};
    if (const char* path = getenv("PATH")) {
        std::stringstream ss(path);
        for (std::string dir; std::getline(ss, dir, ':');) dirs.push_back(dir);
    }
    for (const std::string& dir : dirs) {
        const std::string candidate = dir + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return "";
}

// In CI a missing program is a failure: the install script should have put it there.
#define REQUIRE_PROGRAM(var, name)                                                             \
    const std::string var = external::Find(name);                                              \
    if (var.empty()) {                                                                         \
        if (getenv("CI")) FAIL() << name << " is not installed (scripts/install-packages.sh)"; \
        GTEST_SKIP() << name << " is not installed";                                           \
    }

struct Result {
    int status = -1;  // the exit status, or -1 when killed or not started
    std::string out;
};

class Scratch {
public:
    Scratch() {
        char pattern[] = "/tmp/beatwick-client-XXXXXX";
        dir = mkdtemp(pattern);
    }
    ~Scratch() { std::filesystem::remove_all(dir); }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    std::string Write(const std::string& name, const std::string& data) const {
        std::ofstream(dir + "/" + name, std::ios::binary) << data;
        return dir + "/" + name;
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(dir + "/" + name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::string dir;
};

// Runs argv with stdout and stderr in one file, driving the handler meanwhile.
inline Result Run(ISocketHandler& handler, const std::vector<std::string>& argv, int passes = 20000) {
    Scratch scratch;
    const std::string out = scratch.dir + "/out";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    Result result;
    const int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return result;
    int status = 0;
    bool ended = false;
    for (int i = 0; i < passes && !ended; ++i) {
        handler.Select(0, 5000);
        ended = waitpid(pid, &status, WNOHANG) == pid;
    }
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        ADD_FAILURE() << argv[0] << " did not finish";
    } else if (WIFEXITED(status)) {
        result.status = WEXITSTATUS(status);
    }
    result.out = scratch.Read("out");
    return result;
}

}  // namespace external
