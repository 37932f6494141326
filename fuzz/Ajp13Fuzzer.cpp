// The AJP13 connector reading whatever a web server sends: the first byte sets the write size, the
// rest is the packet stream. Requests are answered with headers and a body, so the writers run too.
#include <cstdint>

#include "fuzz/SocketPairPeer.h"
#include "sockets/protocols/Ajp13Socket.h"

namespace {

class Answering : public Ajp13Socket {
public:
    using Ajp13Socket::Ajp13Socket;
    void OnRequest(const HttpRequest& request) override {
        HttpResponse response("HTTP/1.1");
        response.SetHttpStatusCode(200);
        response.SetHttpStatusMsg(request.HttpMethod());
        for (const auto& [name, value] : request.Headers()) response.SetHeader(name, value);
        response.Write(request.Uri());
        Respond(response);
    }
    void OnResponseComplete() override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 65536) return 0;
    SocketPairPeer peer;
    if (!peer.Valid()) return 0;
    peer.Adopt(new Answering(peer.Handler()));
    peer.Run(data + 1, size - 1, 1 + data[0] % 64 * 37);
    return 0;
}
