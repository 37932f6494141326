// An HTTP reply as the version check and the feedback post read it: the status line, the end of
// the header after it, its Content-Length and the version page. A status is 0 or its three digits,
// the header never ends past the bytes there are, and a length is -1 or what its digits say.
#include <cstdint>
#include <string>
#include <string_view>

#include "network/THTTPConnection.h"
#include "network/THTTPResponse.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const size_t lineEnd = text.find('\n');
    const std::string line = text.substr(0, lineEnd);
    const std::string rest = lineEnd == std::string::npos ? std::string() : text.substr(lineEnd + 1);

    THTTPResponse response;
    response.SetResponse(line.c_str());
    const SInt32 status = response.GetStatus();
    Check(status >= 0 && status <= 999);

    const size_t headerEnd = THTTPConnection::HeaderEnd(rest);
    if (headerEnd != std::string_view::npos) {
        Check(headerEnd <= rest.size());
        Check(THTTPConnection::ContentLength(rest.substr(0, headerEnd)) >= -1);
    }
    THTTPConnection::ParseVersionPage(rest.c_str(), THTTPConnection::VersionKey(2));
    return 0;
}
