// An HTTP server socket reading whatever a peer sends: the first byte sets the write size, the rest
// is the stream. Each request is answered, so pipelining and keep-alive are exercised too.
#include <cstdint>

#include "fuzz/SocketPairPeer.h"
#include "sockets/protocols/HttpBaseSocket.h"

namespace {

class Answering : public HttpBaseSocket {
public:
    using HttpBaseSocket::HttpBaseSocket;
    void OnRequest(const HttpRequest& request) override {
        HttpResponse response("HTTP/1.1");
        response.SetHttpStatusCode(200);
        response.SetHttpStatusMsg("OK");
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
    peer.Run(data + 1, size - 1, 1 + data[0] % 64 * 17);
    return 0;
}
