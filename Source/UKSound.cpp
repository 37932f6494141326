#include "Source/UKSound.h"

#include <cstdio>

#include "platform/AudioToolbox/AudioOutput.h"

namespace {

const std::string kAudioQueueNotWorking = "AudioQueueNotWorking";

}  // namespace

UKSound::UKSound(const std::string& fileURL, Context context) : mContext(std::move(context)) {
    mSetUpStatus = AudioFile::openURL(fileURL, mAudioFile);
    if (mSetUpStatus != noErr) {
        log("Couldn't open AudioFile.");
        return;
    }
    mSetUpStatus = mAudioFile->dataFormat(mDataFormat);
    if (mSetUpStatus != noErr) {
        log("Couldn't determine audio file format.");
        return;
    }
    mSetUpStatus = AudioQueue::newOutput(
        mDataFormat, [this](AudioQueue& queue, AudioQueueBuffer& buffer) { audioQueue(queue, buffer); },
        mQueue, mContext.output);
    if (mSetUpStatus != noErr) {
        log("Couldn't create new output for queue.");
        queueNotWorking();
        return;
    }
    if (mQueue->setVolume(0.0f) != noErr) log("Couldn't set volume to zero for new audio queue.");

    if (mDataFormat.mBytesPerPacket != 0 && mDataFormat.mFramesPerPacket != 0) {
        if (mDataFormat.mBytesPerPacket > static_cast<UInt32>(maxBufferSizeBytes))
            maxBufferSizeBytes = static_cast<SInt32>(mDataFormat.mBytesPerPacket);
        mNumPacketsToRead = static_cast<UInt32>(maxBufferSizeBytes) / mDataFormat.mBytesPerPacket;
    } else {
        UInt32 bound = 0;
        if (mAudioFile->packetSizeUpperBound(bound) != noErr || bound == 0) {
            log("Couldn't get max packet size of audio file.");
            mSetUpStatus = kAudioFileNotAudioErr;
            mQueue.reset();
            return;
        }
        if (bound > static_cast<UInt32>(maxBufferSizeBytes)) maxBufferSizeBytes = static_cast<SInt32>(bound);
        mNumPacketsToRead = static_cast<UInt32>(maxBufferSizeBytes) / bound;
        mPacketDescs.resize(mNumPacketsToRead);
    }

    std::vector<UInt8> cookie;
    if (mAudioFile->magicCookie(cookie) != noErr) {
        log("Couldn't get magic cookie of audio file.");
    } else if (!cookie.empty() && mQueue->setMagicCookie(cookie) != noErr) {
        log("Couldn't transfer magic cookie of audio file to qudio queue.");
    }

    if (mQueue->addRunningListener([this](AudioQueue& queue) { runningChanged(queue); }, mListener) != noErr)
        log("Couldn't register for playback state changes.");

    mDone = false;
    mPacketIndex = 0;
    for (int i = 0; i < 2; ++i) {
        if (mQueue->allocateBuffer(static_cast<UInt32>(maxBufferSizeBytes), mBuffers[i]) != noErr) {
            log("Couldn't allocate buffer " + std::to_string(i) + ".");
            mSetUpStatus = memFullErr;
            mQueue.reset();
            queueNotWorking();
            return;
        }
        audioQueue(*mQueue, *mBuffers[i]);
        if (mDone) break;
    }

    if (play() != noErr) queueNotWorking();
}

// The file is good but queues fail: the owner falls back to another way of playing it.
void UKSound::queueNotWorking() {
    if (mContext.post) mContext.post(kAudioQueueNotWorking);
}

UKSound::~UKSound() {
    mQueue.reset();  // immediately: waits for a period in progress
    mAudioFile.reset();
}

void UKSound::log(const std::string& message) const {
    if (mContext.log)
        mContext.log(message);
    else
        std::fprintf(stderr, "UKSound: %s\n", message.c_str());
}

// The warm-up play has ended: every later play is heard.
void UKSound::runningChanged(AudioQueue& queue) {
    if (queue.isRunning()) return;
    if (queue.removeRunningListener(mListener) != noErr) log("Couldn't remove listener callback.");
    if (queue.setVolume(1.0f) != noErr) log("Couldn't turn the volume back up.");
}

OSStatus UKSound::play() {
    std::lock_guard lock(mPlayLock);
    if (!mQueue) return mSetUpStatus != noErr ? mSetUpStatus : kAudioQueueNoOutputErr;
    // A click still sounding is cut off; the buffers come back and are filled from the start.
    mQueue->stop(true);
    prepNextPlay();
    const OSStatus status = mQueue->start();
    if (status != noErr) log("Couldn't start audio queue.");
    return status;
}

void UKSound::prepNextPlay() {
    if (!mQueue) return;
    mDone = false;
    mPacketIndex = 0;
    for (AudioQueueBuffer* buffer : mBuffers) {
        if (!buffer) break;
        audioQueue(*mQueue, *buffer);
        if (mDone) break;
    }
}

bool UKSound::isPlaying() const {
    if (!mQueue) {
        log("Couldn't get play state of queue.");
        return false;
    }
    return mQueue->isRunning();
}

void UKSound::audioQueue(AudioQueue& queue, AudioQueueBuffer& buffer) {
    if (mDone) return;
    UInt32 packets = mNumPacketsToRead;
    UInt32 bytes = 0;
    AudioPacketDescription* descriptions = mPacketDescs.empty() ? nullptr : mPacketDescs.data();
    if (mAudioFile->readPackets(static_cast<SInt64>(mPacketIndex), packets, bytes, buffer.mAudioData,
                                descriptions) != noErr)
        log("Couldn't read into buffer.");
    if (packets > 0) {
        buffer.mAudioDataByteSize = bytes;
        if (queue.enqueueBuffer(&buffer, descriptions ? packets : 0, descriptions) != noErr)
            log("Couldn't enqueue buffer.");
        mPacketIndex += packets;
    } else {
        if (queue.stop(false) != noErr) log("Couldn't stop queue.");
        mDone = true;
    }
}

void UKSound::notifyDelegatePlaybackStateChanged() {
    if (!mQueue || mQueue->isRunning()) return;
    if (mDelegate) mDelegate->sound(*this, true);
    mQueue->stop(false);
}
