// A multipart or URL-encoded form body posted to an HTTP server socket that parses it: the first
// byte picks the kind and the write size, the second the boundary's length (from the input's
// next bytes); the rest is the body, announced with its exact length.
#include <cstdint>
#include <string>

#include "fuzz/SocketPairPeer.h"
#include "sockets/protocols/HttpBaseSocket.h"

namespace {

class FormReader : public HttpBaseSocket {
public:
    explicit FormReader(ISocketHandler& handler) : HttpBaseSocket(handler) {
        HttpFormLimits limits;
        limits.max_files = 4;
        limits.max_file_size = 1 << 16;
        SetFormLimits(limits);
    }
    void OnRequest(const HttpRequest& request) override {
        std::string value;
        for (const HttpdForm::CGI& e : request.Form().Entries()) value += e.name;
        HttpResponse response("HTTP/1.1");
        response.SetHttpStatusCode(200);
        response.SetHttpStatusMsg("OK");
        response.Write(value);
        Respond(response);
    }
    void OnResponseComplete() override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2 || size > 65536) return 0;
    const bool multipart = data[0] & 1;
    const size_t step = 1 + (data[0] >> 1) * 67;
    size_t boundary_length = std::min<size_t>(data[1] % 80, size - 2);
    const std::string boundary(reinterpret_cast<const char*>(data + 2), boundary_length);
    const std::string body(reinterpret_cast<const char*>(data + 2 + boundary_length),
                           size - 2 - boundary_length);
    const std::string type = multipart ? "multipart/form-data; boundary=\"" + boundary + "\""
                                       : "application/x-www-form-urlencoded";
    const std::string request = "POST /form HTTP/1.1\r\nContent-Type: " + type +
                                "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    SocketPairPeer peer;
    if (!peer.Valid()) return 0;
    peer.Adopt(new FormReader(peer.Handler()));
    peer.Run(reinterpret_cast<const uint8_t*>(request.data()), request.size(), step);
    return 0;
}
