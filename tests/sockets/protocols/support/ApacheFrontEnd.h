// Apache httpd in front of an AJP13 container of the test's own: started from a configuration of its
// own in a private folder (its ServerRoot, PidFile, ErrorLog and runtime files), on a free loopback
// port, proxying "/plain/" and "/pinged/" (the second with CPing before each request) to the
// container's port. As root its children run as nobody. Stopped and its folder removed when the
// object goes, also when the test fails.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/sockets/protocols/support/ExternalClient.h"
#include "tests/sockets/support/LoopbackPeers.h"

extern char** environ;

class ApacheFrontEnd {
public:
    ApacheFrontEnd(const std::string& apache, int ajp_port) {
        // A free port can be taken by another process before apache binds it: try a few.
        for (int attempt = 0; attempt < 3 && !Running(); ++attempt) Start(apache, ajp_port);
    }
    ~ApacheFrontEnd() { Stop(); }
    ApacheFrontEnd(const ApacheFrontEnd&) = delete;
    ApacheFrontEnd& operator=(const ApacheFrontEnd&) = delete;

    bool Running() const { return m_pid != -1; }
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(m_port) + path;
    }
    std::string ErrorLog() const { return m_scratch.Read("error.log") + m_scratch.Read("apache.out"); }

private:
    static int FreePort() {
        loopback::Fd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_in sa = loopback::Address(0);
        if (bind(fd.get(), reinterpret_cast<sockaddr*>(&sa), sizeof(sa)) != 0) return -1;
        return loopback::PortOf(fd.get());
    }

    static bool Answers(int port) {
        loopback::Fd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        const sockaddr_in sa = loopback::Address(static_cast<uint16_t>(port));
        return connect(fd.get(), reinterpret_cast<const sockaddr*>(&sa), sizeof(sa)) == 0;
    }

    void Start(const std::string& apache, int ajp_port) {
        m_port = FreePort();
        if (m_port <= 0) return;
        const std::string& dir = m_scratch.dir;
        // Its children read nothing from the folder, but as nobody they must be able to enter it.
        chmod(dir.c_str(), 0755);
        const std::string modules = "/usr/lib/apache2/modules/";
        const std::string backend = "ajp://127.0.0.1:" + std::to_string(ajp_port);
        std::string conf = "ServerRoot " + dir +
                           "\nServerName 127.0.0.1\nListen 127.0.0.1:" + std::to_string(m_port) +
                           "\nPidFile " + dir + "/apache.pid\nErrorLog " + dir +
                           "/error.log\nLogLevel warn\nDefaultRuntimeDir " + dir + "\n";
        if (geteuid() == 0) conf += "User nobody\nGroup nogroup\n";
        for (const char* module : {"mpm_event", "authz_core", "proxy", "proxy_ajp"})
            conf += std::string("LoadModule ") + module + "_module " + modules + "mod_" + module + ".so\n";
        conf +=
            "StartServers 1\nServerLimit 1\nThreadsPerChild 8\nMaxRequestWorkers 8\nProxyTimeout 20\n"
            "ProxyPass \"/plain/\" \"" +
            backend + "/plain/\"\nProxyPass \"/pinged/\" \"" + backend + "/pinged/\" ping=5\n";
        const std::string path = m_scratch.Write("apache.conf", conf);
        const std::string out = dir + "/apache.out";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        std::vector<std::string> argv = {apache, "-f", path, "-D", "FOREGROUND"};
        std::vector<char*> args;
        for (std::string& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        pid_t pid = -1;
        const int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) return;
        // Up to 10 s for it to listen; it ends at once when the port was taken.
        for (int i = 0; i < 1000; ++i) {
            if (waitpid(pid, nullptr, WNOHANG) == pid) return;
            if (Answers(m_port)) {
                m_pid = pid;
                return;
            }
            usleep(10000);
        }
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }

    void Stop() {
        if (m_pid == -1) return;
        // SIGTERM stops the children and then the parent; a stuck one is killed after 10 s.
        kill(m_pid, SIGTERM);
        for (int i = 0; i < 1000; ++i) {
            if (waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
                m_pid = -1;
                return;
            }
            usleep(10000);
        }
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

    external::Scratch m_scratch;
    int m_port{-1};
    pid_t m_pid{-1};
};
