// Drives a raw loopback peer against servers in the test's own handler: writes the bytes without
// blocking while the handler runs, and collects what comes back until `done` holds or the server
// closes. Bounded by the pump's pass count.
#pragma once

#include <sys/socket.h>

#include <functional>
#include <string>

#include "tests/sockets/support/LoopbackPeers.h"

namespace loopback {

inline std::string Converse(ISocketHandler& handler, int fd, const std::string& bytes,
                            const std::function<bool(const std::string&)>& done, bool* closed = nullptr,
                            int passes = 2000) {
    size_t sent = 0;
    std::string got;
    bool eof = false;
    Pump(
        handler,
        [&] {
            while (sent < bytes.size()) {
                const ssize_t n =
                    send(fd, bytes.data() + sent, bytes.size() - sent, MSG_DONTWAIT | MSG_NOSIGNAL);
                if (n <= 0) break;
                sent += static_cast<size_t>(n);
            }
            char buf[65536];
            ssize_t n;
            while ((n = recv(fd, buf, sizeof(buf), MSG_DONTWAIT)) > 0)
                got.append(buf, static_cast<size_t>(n));
            if (n == 0) eof = true;
            return eof || (sent == bytes.size() && done(got));
        },
        passes);
    if (closed) *closed = eof;
    return got;
}

}  // namespace loopback
