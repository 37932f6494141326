// A sound file opened for reading. The file is decoded once, when it is opened, into packed
// 32-bit float frames in memory, so reading packets later (on an audio thread) does no file
// input and no allocation. Every format libsndfile reads (AIFF, WAV, FLAC, Ogg...) is accepted.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/AudioToolbox/AudioFormat.h"

class AudioFile {
public:
    AudioFile(const AudioFile&) = delete;
    AudioFile& operator=(const AudioFile&) = delete;
    ~AudioFile();

    // Opens a file for reading. A missing file gives fnfErr, one that may not be read permErr,
    // one that is not a sound (or holds no frames format) kAudioFileNotAudioErr; `file` is set
    // only on success, so no caller ever sees a zero format.
    static OSStatus open(const std::string& path, std::unique_ptr<AudioFile>& file);
    // The same for a "file://" URL; paramErr for any other URL.
    static OSStatus openURL(const std::string& fileURL, std::unique_ptr<AudioFile>& file);

    // The stream description of the packets readPackets gives: constant bit rate, one frame
    // per packet, bytes per packet and frame never 0.
    OSStatus dataFormat(AudioStreamDescription& format) const;
    // The largest packet in bytes, never 0.
    OSStatus packetSizeUpperBound(UInt32& bytes) const;
    // The codec's set-up bytes; empty for the linear PCM this layer reads.
    OSStatus magicCookie(std::vector<UInt8>& cookie) const;
    SInt64 packetCount() const { return mFrames; }
    double duration() const { return mFrames / mFormat.mSampleRate; }

    // Copies up to ioNumPackets packets from startPacket into buffer; ioNumPackets and
    // outNumBytes tell how many were read, both 0 at the end of the file. Descriptions are
    // filled when given. Safe on an audio thread: no allocation, no locking.
    OSStatus readPackets(SInt64 startPacket, UInt32& ioNumPackets, UInt32& outNumBytes, void* buffer,
                         AudioPacketDescription* descriptions = nullptr) const;

private:
    AudioFile() = default;

    AudioStreamDescription mFormat;
    SInt64 mFrames{0};
    std::vector<float> mSamples;
};
