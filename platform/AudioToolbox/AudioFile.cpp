#include "platform/AudioToolbox/AudioFile.h"

#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <new>

#include "platform/Carbon/Errors.h"
#include "platform/Carbon/FileReference.h"

namespace {

// Decoded sounds above this many samples (about 12 minutes of stereo at 48 kHz) are refused
// rather than held in memory.
constexpr sf_count_t kMaxSamples = sf_count_t{1} << 26;

struct SndfileCloser {
    void operator()(SNDFILE* f) const { sf_close(f); }
};

}  // namespace

AudioFile::~AudioFile() = default;

OSStatus AudioFile::open(const std::string& path, std::unique_ptr<AudioFile>& file) {
    file.reset();
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return path.empty() ? fnfErr : OSStatusFromErrno(errno);
    if (!S_ISREG(st.st_mode)) return kAudioFileNotAudioErr;
    if (::access(path.c_str(), R_OK) != 0) return OSStatusFromErrno(errno);

    SF_INFO info{};
    std::unique_ptr<SNDFILE, SndfileCloser> sf(sf_open(path.c_str(), SFM_READ, &info));
    if (!sf) return kAudioFileNotAudioErr;
    if (info.channels <= 0 || info.samplerate <= 0 || info.frames < 0 ||
        info.frames > kMaxSamples / info.channels)
        return kAudioFileNotAudioErr;

    std::unique_ptr<AudioFile> opened(new (std::nothrow) AudioFile);
    if (!opened) return memFullErr;
    try {
        opened->mSamples.resize(static_cast<size_t>(info.frames * info.channels));
    } catch (const std::bad_alloc&) {
        return memFullErr;
    }
    // The header's frame count can promise more than the data holds; keep what was read.
    sf_count_t got = info.frames > 0 ? sf_readf_float(sf.get(), opened->mSamples.data(), info.frames) : 0;
    if (got < 0) got = 0;
    opened->mSamples.resize(static_cast<size_t>(got * info.channels));
    opened->mFrames = got;
    opened->mFormat = FloatStreamDescription(info.samplerate, static_cast<UInt32>(info.channels));
    file = std::move(opened);
    return noErr;
}

OSStatus AudioFile::openURL(const std::string& fileURL, std::unique_ptr<AudioFile>& file) {
    file.reset();
    std::optional<std::string> path = PathFromFileURL(fileURL);
    if (!path) return paramErr;
    return open(*path, file);
}

OSStatus AudioFile::dataFormat(AudioStreamDescription& format) const {
    format = mFormat;
    return noErr;
}

OSStatus AudioFile::packetSizeUpperBound(UInt32& bytes) const {
    bytes = mFormat.mBytesPerPacket;
    return noErr;
}

OSStatus AudioFile::magicCookie(std::vector<UInt8>& cookie) const {
    cookie.clear();
    return noErr;
}

OSStatus AudioFile::readPackets(SInt64 startPacket, UInt32& ioNumPackets, UInt32& outNumBytes, void* buffer,
                                AudioPacketDescription* descriptions) const {
    outNumBytes = 0;
    if (startPacket < 0 || (!buffer && ioNumPackets > 0)) {
        ioNumPackets = 0;
        return paramErr;
    }
    const SInt64 available = std::max<SInt64>(0, mFrames - startPacket);
    const UInt32 count = static_cast<UInt32>(std::min<SInt64>(ioNumPackets, available));
    const UInt32 channels = mFormat.mChannelsPerFrame;
    if (count > 0)
        std::memcpy(buffer, mSamples.data() + startPacket * channels, size_t{count} * mFormat.mBytesPerFrame);
    if (descriptions) {
        for (UInt32 i = 0; i < count; ++i)
            descriptions[i] = {SInt64{i} * mFormat.mBytesPerPacket, 0, mFormat.mBytesPerPacket};
    }
    ioNumPackets = count;
    outNumBytes = count * mFormat.mBytesPerPacket;
    return noErr;
}
