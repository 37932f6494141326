// The server side of HTTP for applications: each request on a connection becomes an HttpRequest
// for OnRequest, and the HttpResponse given to Respond is sent with its body streamed a piece at
// a time, so a peer that does not read holds at most one piece in the output queue. The next
// pipelined request is read only once the response before it is out. Bodies beyond their limit get
// 413, broken framing 400; both close the connection. Runs on the handler's loop thread.
#pragma once

#include <cstdint>

#include "sockets/protocols/HTTPSocket.h"
#include "sockets/protocols/HttpRequest.h"
#include "sockets/protocols/HttpResponse.h"
#include "sockets/protocols/IHttpServer.h"

class HttpBaseSocket : public HTTPSocket, public IHttpServer {
public:
    static constexpr uint64_t kDefaultMaxBody = 1 << 20;
    static constexpr uint64_t kDefaultMaxUpload = 256ull << 20;
    static constexpr size_t kPiece = 32768;

    explicit HttpBaseSocket(ISocketHandler& handler);
    ~HttpBaseSocket() override;

    void Respond(const HttpResponse& response) override;
    void OnTransferLimit() override;
    void OnTimeout() override;

    // A body beyond the limit is refused with 413; multipart forms have the upload limit instead.
    void SetMaxBodySize(uint64_t x) { m_max_body = x; }
    void SetMaxUploadSize(uint64_t x) { m_max_upload = x; }
    void SetFormLimits(const HttpFormLimits& x) { m_form_limits = x; }

protected:
    void OnFirst() override;
    void OnHeader(const std::string& key, const std::string& value) override;
    void OnHeaderComplete() override;
    void OnData(const char* buf, size_t len) override;
    void OnDataComplete() override;
    void Reset() override;
    void OnFramingError(const std::string& reason) override;
    // Answers with the status, no body, and closes.
    void Refuse(int status, const std::string& reason);

private:
    void Execute();
    void Finish();

    HttpRequest m_req;
    HttpResponse m_res;
    std::string m_head;
    uint64_t m_body_limit{0};
    uint64_t m_body_left{0};
    bool m_b_keepalive{false};
    bool m_has_body{false};
    bool m_head_only{false};
    bool m_responding{false};
    bool m_response_started{false};
    bool m_request_head{false};
    int m_refusal{400};
    uint64_t m_max_body{kDefaultMaxBody};
    uint64_t m_max_upload{kDefaultMaxUpload};
    HttpFormLimits m_form_limits;
};
