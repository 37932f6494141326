// A POST of form fields, URL-encoded, or as a multipart body with file parts. Files are measured
// and opened when the connection is made, so the announced length is the length sent; the
// boundary is then drawn anew until it occurs in no field and no file.
#pragma once

#include <list>
#include <map>
#include <string>

#include "sockets/protocols/HttpClientSocket.h"
#include "sockets/protocols/HttpUploadQueue.h"

class HttpPostSocket : public HttpClientSocket {
public:
    explicit HttpPostSocket(ISocketHandler& handler);
    HttpPostSocket(ISocketHandler& handler, const std::string& url);

    void AddField(const std::string& name, const std::string& value);
    void AddMultilineField(const std::string& name, const std::list<std::string>& values);
    void AddFile(const std::string& name, const std::string& path, const std::string& content_type);
    void SetMultipart() { multipart = true; }
    // False also when the socket is already marked to close: a file could not be measured.
    bool Open() { return !CloseAndDelete() && TcpSocket::Open(GetUrlHost(), GetUrlPort()); }
    // The boundary planned, and once connected the one sent: it occurs in no field and no file.
    const std::string& GetBoundary() const { return boundary; }

    // A new boundary of random characters. May be called from any thread.
    static std::string NextBoundary();

protected:
    void OnConnect() override;
    void OnTransferLimit() override;

private:
    void Headers(const std::string& type, uint64_t length);
    bool Occurs(const std::string& text) const;

    std::map<std::string, std::list<std::string>> fields;
    std::map<std::string, std::string> files;
    std::string boundary;
    std::map<std::string, uint64_t> file_sizes;
    std::map<std::string, std::string> file_types;
    bool multipart{false};
    HttpUploadQueue m_upload;
};
