// Stream and packet descriptions of audio data, and the status codes of the audio layer.
#pragma once

#include "platform/Carbon/MacTypes.h"

using AudioFormatID = UInt32;
using AudioFormatFlags = UInt32;

// How samples are laid out: the rate, the coding, and the sizes of packets and frames.
struct AudioStreamDescription {
    double mSampleRate{0};
    AudioFormatID mFormatID{0};
    AudioFormatFlags mFormatFlags{0};
    UInt32 mBytesPerPacket{0};
    UInt32 mFramesPerPacket{0};
    UInt32 mBytesPerFrame{0};
    UInt32 mChannelsPerFrame{0};
    UInt32 mBitsPerChannel{0};
    UInt32 mReserved{0};
};
static_assert(sizeof(AudioStreamDescription) == 40);

// Where one packet of variable size lies in a block of packets.
struct AudioPacketDescription {
    SInt64 mStartOffset{0};
    UInt32 mVariableFramesInPacket{0};
    UInt32 mDataByteSize{0};
};
static_assert(sizeof(AudioPacketDescription) == 16);

constexpr AudioFormatID kAudioFormatLinearPCM = fourCC("lpcm");

// Linear PCM flags. Samples are in host byte order unless kAudioFormatFlagBigEndian is set.
enum : AudioFormatFlags {
    kAudioFormatFlagFloat = 1u << 0,
    kAudioFormatFlagBigEndian = 1u << 1,
    kAudioFormatFlagSignedInteger = 1u << 2,
    kAudioFormatFlagPacked = 1u << 3,
};

// Packed interleaved 32-bit float, the format files are read in.
constexpr AudioStreamDescription FloatStreamDescription(double sampleRate, UInt32 channels) {
    AudioStreamDescription d;
    d.mSampleRate = sampleRate;
    d.mFormatID = kAudioFormatLinearPCM;
    d.mFormatFlags = kAudioFormatFlagFloat | kAudioFormatFlagPacked;
    d.mBytesPerFrame = 4 * channels;
    d.mBytesPerPacket = 4 * channels;
    d.mFramesPerPacket = 1;
    d.mChannelsPerFrame = channels;
    d.mBitsPerChannel = 32;
    return d;
}

constexpr OSStatus audioStatus(const char (&code)[5]) {
    return static_cast<OSStatus>(fourCC(code));
}

// Status codes of the audio layer, beside the platform's file errors (fnfErr, permErr, ioErr).
inline constexpr OSStatus kAudioFileNotAudioErr = audioStatus("!aud");         // not a sound file
inline constexpr OSStatus kAudioFileUnknownPropertyErr = audioStatus("!prp");  // the file lacks it
inline constexpr OSStatus kAudioQueueFormatErr = audioStatus("!fmt");          // unplayable format
inline constexpr OSStatus kAudioQueueBufferErr = audioStatus("!buf");          // not this queue's buffer
inline constexpr OSStatus kAudioQueueBufferBusyErr = audioStatus("!bsy");      // already enqueued
inline constexpr OSStatus kAudioQueueBufferEmptyErr = audioStatus("!emp");     // nothing in it
inline constexpr OSStatus kAudioQueueNoOutputErr = audioStatus("!out");        // no output to play on
inline constexpr OSStatus kAudioQueueListenerErr = audioStatus("!lsn");  // listener table full or unknown
