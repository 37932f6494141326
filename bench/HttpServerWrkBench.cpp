// Requests per second of the HTTP server sockets (HttpBaseSocket, and an ordinary HttpdSocket page
// that sends its head and then its body) on loopback, measured with wrk (keep-alive, 1 and
// 64 connections), beside nginx serving the same small response from its own configuration on a
// high loopback port, in the same run on the same machine. Our server answers HTTP/1.1 from one
// select-loop thread; nginx runs one worker. Run: build/bench/protocols_http_wrk [seconds]
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "sockets/ListenSocket.h"
#include "sockets/SocketHandler.h"
#include "sockets/protocols/HttpBaseSocket.h"
#include "sockets/protocols/HttpdSocket.h"

extern char** environ;

namespace {

const std::string kBody = "hello, world\n";

class HelloServer : public HttpBaseSocket {
public:
    using HttpBaseSocket::HttpBaseSocket;
    Socket* Create() override { return new HelloServer(Handler()); }
    void OnRequest(const HttpRequest&) override {
        HttpResponse response("HTTP/1.1");
        response.SetHttpStatusCode(200);
        response.SetHttpStatusMsg("OK");
        response.SetContentType("text/plain");
        response.Write(kBody);
        Respond(response);
    }
    void OnResponseComplete() override {}
};

// The same response as an ordinary HttpdSocket page writes it: its head, then its body.
class HelloPage : public HttpdSocket {
public:
    using HttpdSocket::HttpdSocket;
    Socket* Create() override { return new HelloPage(Handler()); }

protected:
    void OnPageRequest() override {
        SetStatus("200");
        SetStatusText("OK");
        AddResponseHeader("Content-Type", "text/plain");
        AddResponseHeader("Content-Length", std::to_string(kBody.size()));
        SendResponse();
        Send(kBody);
    }
};

template <class Server>
int Serve(SocketHandler& handler) {
    auto* listener = new ListenSocket(handler, std::make_unique<Server>(handler));
    listener->SetDeleteByHandler();
    if (listener->Bind("127.0.0.1", 0) != 0) return -1;
    handler.Add(listener);
    return listener->GetPort();
}

pid_t Spawn(const std::vector<std::string>& argv, const std::string& out) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// wrk's "Requests/sec:" figure, or a negative number when the run failed.
double Wrk(const std::string& dir, const std::string& url, int connections, int seconds) {
    const std::string out = dir + "/wrk.txt";
    const std::string threads = connections == 1 ? "1" : "2";
    const pid_t pid = Spawn({"/usr/bin/wrk", "-t" + threads, "-c" + std::to_string(connections),
                             "-d" + std::to_string(seconds) + "s", url},
                            out);
    if (pid == -1) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    std::smatch m;
    const std::string text = Slurp(out);
    if (std::regex_search(text, m, std::regex("Requests/sec:\\s+([0-9.]+)"))) {
        if (text.find("Non-2xx") != std::string::npos || text.find("Socket errors") != std::string::npos)
            fprintf(stderr, "%s", text.c_str());
        return std::stod(m[1]);
    }
    fprintf(stderr, "%s", text.c_str());
    return -1;
}

bool WaitForPort(int port) {
    for (int i = 0; i < 200; ++i) {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(static_cast<uint16_t>(port));
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof(sa)) == 0;
        close(fd);
        if (ok) return true;
        usleep(10000);
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? atoi(argv[1]) : 5;
    char pattern[] = "/tmp/beatwick-wrk-XXXXXX";
    const std::string dir = mkdtemp(pattern);

    SocketHandler handler;
    const int ours = Serve<HelloServer>(handler);
    const int page = Serve<HelloPage>(handler);
    if (ours < 0 || page < 0) return 1;
    std::atomic<bool> stop{false};
    std::thread loop([&] {
        while (!stop) handler.Select(0, 100000);
    });

    // nginx from a configuration of its own, one worker, on a high port, logs in the folder.
    const int theirs = 20000 + static_cast<int>(getpid() % 20000);
    std::ofstream(dir + "/nginx.conf")
        << "daemon off;\nmaster_process off;\nworker_processes 1;\npid " << dir << "/nginx.pid;\nerror_log "
        << dir << "/error.log;\n"
        << "events { worker_connections 1024; }\n"
        << "http {\n  access_log off;\n  server {\n    listen 127.0.0.1:" << theirs
        << ";\n    location / { default_type text/plain; return 200 \"hello, world\\n\"; }\n"
        << "  }\n  client_body_temp_path " << dir << ";\n  proxy_temp_path " << dir
        << ";\n  fastcgi_temp_path " << dir << ";\n  uwsgi_temp_path " << dir << ";\n  scgi_temp_path " << dir
        << ";\n}\n";
    const pid_t nginx = Spawn({"/usr/sbin/nginx", "-p", dir, "-c", dir + "/nginx.conf"}, dir + "/nginx.out");
    const bool nginx_up = nginx != -1 && WaitForPort(theirs);

    printf("%-28s %14s %14s\n", "requests/s (wrk, keep-alive)", "1 connection", "64 connections");
    const std::string our_url = "http://127.0.0.1:" + std::to_string(ours) + "/";
    printf("%-28s %14.0f %14.0f\n", "HttpBaseSocket", Wrk(dir, our_url, 1, seconds),
           Wrk(dir, our_url, 64, seconds));
    const std::string page_url = "http://127.0.0.1:" + std::to_string(page) + "/";
    printf("%-28s %14.0f %14.0f\n", "HttpdSocket page", Wrk(dir, page_url, 1, seconds),
           Wrk(dir, page_url, 64, seconds));
    if (nginx_up) {
        const std::string their_url = "http://127.0.0.1:" + std::to_string(theirs) + "/";
        printf("%-28s %14.0f %14.0f\n", "nginx (1 worker)", Wrk(dir, their_url, 1, seconds),
               Wrk(dir, their_url, 64, seconds));
    } else {
        printf("nginx did not start: %s\n", Slurp(dir + "/nginx.out").c_str());
    }
    if (nginx != -1) {
        kill(nginx, SIGTERM);
        waitpid(nginx, nullptr, 0);
    }
    stop = true;
    loop.join();
    std::filesystem::remove_all(dir);
    return 0;
}
