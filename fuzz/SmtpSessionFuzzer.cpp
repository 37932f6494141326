// An SMTP server session reading whatever a client sends: the first byte sets the write size, the
// rest is the stream of commands and message text.
#include <cstdint>
#include <string>

#include "fuzz/SocketPairPeer.h"
#include "sockets/protocols/SmtpdSocket.h"

namespace {

class Accepting : public SmtpdSocket {
public:
    using SmtpdSocket::SmtpdSocket;

protected:
    bool OnHelloCommand(const std::string&) override { return true; }
    bool OnMailFromCommand(const EmailAddress& a) override { return !a.GetDomain().empty(); }
    bool OnRecipientCommand(const EmailAddress& a) override { return !a.GetTopDomain().empty(); }
    void OnMessageHeader(const std::string&, const std::string&) override {}
    void OnMessageHeadersDone() override {}
    void OnMessageLine(const std::string&) override {}
    bool OnMessageDone() override { return true; }
    void OnResetCommand() override {}
    void OnSessionAbort(int) override {}
    void OnUnknownCommand(const std::string&, const std::string&) override {
        Reply("502 Not implemented\r\n");
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 65536) return 0;
    SocketPairPeer peer;
    if (!peer.Valid()) return 0;
    peer.Adopt(new Accepting(peer.Handler()));
    peer.Run(data + 1, size - 1, 1 + data[0] % 64 * 29);
    return 0;
}
