// The first byte picks the text encoding (its low two bits) and the room of a second, piecewise
// encoding; the rest is the file. One Encode into GetEncodedSize bytes must take everything,
// lines must stay within 80 characters and CR LF, and piecewise encoding must give the same text;
// encoding in the least room a line needs must end too.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/CTextEncoder.h"
#include "platform/Carbon/FileReference.h"

namespace {

const std::string& scratchPath() {
    static const std::string path = [] {
        std::string pattern = "/tmp/core_text_encoder-XXXXXX";
        int fd = ::mkstemp(pattern.data());
        if (fd >= 0) ::close(fd);
        std::atexit([] { ::unlink(scratchPath().c_str()); });
        return pattern;
    }();
    return path;
}

std::string encode(const std::string& url, SInt16 setting, SInt32 room, bool once) {
    CTextEncoder encoder(url);
    encoder.SetTextEncoding(setting);
    encoder.PreEncode();
    if (once) room = encoder.GetEncodedSize();
    std::vector<char> out(static_cast<size_t>(room));
    std::string text;
    do {
        SInt32 written = encoder.Encode(out.data(), room);
        if (written < 0 || written > room) __builtin_trap();
        if (written == 0) break;
        text.append(out.data(), static_cast<size_t>(written));
    } while (!once);
    if (encoder.GetBytesLeft() != 0) __builtin_trap();
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const SInt16 setting = static_cast<SInt16>(data[0] & 0x3);
    const SInt32 room = CTextEncoder::kLongestLine + (data[0] >> 2);
    FILE* file = std::fopen(scratchPath().c_str(), "wb");
    if (!file) return 0;
    std::fwrite(data + 1, 1, size - 1, file);
    std::fclose(file);
    const std::string url = FileURLFromPath(scratchPath());
    try {
        std::string whole = encode(url, setting, 0, true);
        if (encode(url, setting, room, false) != whole) __builtin_trap();
        encode(url, setting, 81, false);
        size_t start = 0;
        for (size_t end; (end = whole.find("\r\n", start)) != std::string::npos; start = end + 2)
            if (end - start > 80) __builtin_trap();
        if (start != whole.size()) __builtin_trap();
    } catch (int) {
    }
    return 0;
}
