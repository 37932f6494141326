// A small application on HttpBaseSocket for tests: answers each request with its method, URI and
// form entries as the body, or with a body of a given size; can hold its answer back; records the
// requests it saw and the largest output queue it met while streaming.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "sockets/IFile.h"
#include "sockets/protocols/HttpBaseSocket.h"

class HttpBaseSocket;

class SparseFile;

struct HttpTestApp {
    std::vector<std::string> requests;
    std::vector<std::string> cookies;
    std::pair<std::string, std::string> extraHeader;
    int status = 200;
    size_t bodySize = 0;
    bool defer = false;
    bool respondTwice = false;  // a second, different response right after the first
    HttpBaseSocket* pending = nullptr;
    HttpBaseSocket* lastSocket = nullptr;
    size_t maxOutput = 0;
    int connections = 0;
    // Per request: its cookies and form entries, uploads with their stored path and size.
    std::vector<std::string> details;
    std::shared_ptr<SparseFile> bodyFile;
};

// A sparse file of the given size in a private folder of its own: large bodies cost no memory.
class SparseFile {
public:
    explicit SparseFile(size_t size) {
        char pattern[] = "/tmp/beatwick-http-XXXXXX";
        m_dir = mkdtemp(pattern);
        path = m_dir + "/body";
        const int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_EXCL, 0600);
        if (fd != -1) {
            if (ftruncate(fd, static_cast<off_t>(size)) != 0) path.clear();
            close(fd);
        }
    }
    ~SparseFile() {
        unlink((m_dir + "/body").c_str());
        rmdir(m_dir.c_str());
    }
    SparseFile(const SparseFile&) = delete;
    SparseFile& operator=(const SparseFile&) = delete;
    std::string path;

private:
    std::string m_dir;
};

class HttpTestServer : public HttpBaseSocket {
public:
    HttpTestServer(ISocketHandler& handler, HttpTestApp* app) : HttpBaseSocket(handler), m_app(app) {}
    Socket* Create() override {
        ++m_app->connections;
        return new HttpTestServer(Handler(), m_app);
    }

    void OnRequest(const HttpRequest& request) override {
        m_app->requests.push_back(request.HttpMethod() + " " + request.Uri());
        m_app->lastSocket = this;
        std::string detail;
        for (const auto& [name, text] : request.CookieMap()) detail += "cookie " + text + ";";
        for (const HttpdForm::CGI& e : request.Form().Entries()) {
            detail += "entry " + e.name + "=" + (e.path.empty() ? e.value : e.filename) + ";";
            if (!e.path.empty()) {
                struct stat st;
                detail += "stored " + e.path + " " +
                          std::to_string(stat(e.path.c_str(), &st) == 0 ? st.st_size : -1) + ";";
            }
        }
        m_app->details.push_back(detail);
        if (m_app->defer) {
            m_app->pending = this;
            return;
        }
        HttpResponse response("HTTP/1.1");
        response.SetHttpStatusCode(m_app->status);
        response.SetHttpStatusMsg(m_app->status == 200 ? "OK" : "No Content");
        for (const std::string& c : m_app->cookies) response.SetCookie(c);
        if (!m_app->extraHeader.first.empty())
            response.SetHeader(m_app->extraHeader.first, m_app->extraHeader.second);
        if (m_app->bodySize) {
            if (!m_app->bodyFile) m_app->bodyFile = std::make_unique<SparseFile>(m_app->bodySize);
            response.SetFile(m_app->bodyFile->path);
        } else {
            std::string text = request.HttpMethod() + " " + request.Uri() + " ";
            for (const HttpdForm::CGI& e : request.Form().Entries()) text += e.name + "=" + e.value + ";";
            response.Write(text);
        }
        Respond(response);
        if (m_app->respondTwice) {
            HttpResponse other("HTTP/1.1");
            other.SetHttpStatusCode(500);
            other.SetHttpStatusMsg("Second");
            other.Write("second");
            Respond(other);
        }
    }
    void OnResponseComplete() override {}
    void OnTransferLimit() override {
        HttpBaseSocket::OnTransferLimit();
        m_app->maxOutput = std::max(m_app->maxOutput, GetOutputLength());
    }

private:
    HttpTestApp* m_app;
};
