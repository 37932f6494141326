// Sound files come from the user's and the desktop's folders: any bytes must open with a status
// or read back within the format the file reports.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/AudioToolbox/AudioFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = [] {
        char pattern[] = "/tmp/beatwick-audiofile-fuzz-XXXXXX";
        const int fd = mkstemp(pattern);
        if (fd >= 0) close(fd);
        return std::string(pattern);
    }();
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    std::unique_ptr<AudioFile> file;
    if (AudioFile::open(path, file) != noErr) {
        if (file) std::abort();
        return 0;
    }
    AudioStreamDescription format;
    UInt32 bound = 0;
    if (file->dataFormat(format) != noErr || file->packetSizeUpperBound(bound) != noErr || bound == 0 ||
        format.mBytesPerPacket == 0)
        std::abort();
    std::vector<uint8_t> buffer(bound * 64);
    for (SInt64 packet = 0;; packet += 64) {
        UInt32 packets = 64, bytes = 0;
        if (file->readPackets(packet, packets, bytes, buffer.data()) != noErr || bytes != packets * bound)
            std::abort();
        if (packets == 0) break;
    }
    return 0;
}
