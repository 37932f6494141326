// The AJP13 message exchange: decodes forward requests (and their body chunks) into an
// HttpRequest for OnRequest, and encodes the HttpResponse given to Respond as send-headers,
// body-chunk and end-response packets, the body a chunk at a time as the output queue drains.
// A body of unknown length (a chunked request, without Content-Length) is asked for packet by
// packet until an empty one ends it. CPing is answered with CPong. Protocol faults go to standard
// error and close the connection. Handler's loop thread only.
#pragma once

#include <cstdint>
#include <string>

#include "sockets/protocols/AjpBaseSocket.h"
#include "sockets/protocols/HttpRequest.h"
#include "sockets/protocols/HttpResponse.h"
#include "sockets/protocols/IHttpServer.h"

class Ajp13Socket : public AjpBaseSocket, public IHttpServer {
public:
    static constexpr uint64_t kDefaultMaxBody = 1 << 20;
    static constexpr size_t kBodyPiece = 8100;

    explicit Ajp13Socket(ISocketHandler& handler);

    void Respond(const HttpResponse& response) override;
    void OnTransferLimit() override;
    void SetMaxBodySize(uint64_t x) { m_max_body = x; }

protected:
    // The response given to Respond could not be sent (its headers do not fit one packet): the
    // front end has been answered 500 instead, and the connection closes.
    virtual void OnResponseFailed(const std::string& reason) { (void)reason; }

    void OnHeader(short id, short length) override;
    void OnPacket(const char* buf, size_t length) override;

private:
    void ReceiveForwardRequest(const char* buf, size_t length);
    void ReceiveBody(const char* buf, size_t length);
    void AskForBody();
    void Execute();
    void SendPacket(PacketWriter& out);
    // Logs the diagnostic through the handler and closes.
    void Abort(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Answers with the status and no body, and closes.
    void Refuse(int status, const char* text);
    void RefuseBody();

    uint64_t m_body_size_left{0};
    bool m_in_body{false};
    bool m_body_length_known{false};
    bool m_responding{false};
    bool m_response_started{false};
    HttpRequest m_req;
    HttpResponse m_res;
    uint64_t m_max_body{kDefaultMaxBody};
};
