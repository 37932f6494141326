#include "platform/AudioToolbox/AudioQueue.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/AudioToolbox/AudioOutput.h"

AudioQueueBuffer::AudioQueueBuffer(UInt32 capacity)
    : mStorage(std::make_unique<std::byte[]>(capacity)),
      mAudioDataBytesCapacity(capacity),
      mAudioData(mStorage.get()) {}

namespace {

bool playable(const AudioStreamDescription& f) {
    if (f.mFormatID != kAudioFormatLinearPCM || !(f.mSampleRate > 0) || f.mSampleRate > 1e6) return false;
    if (f.mChannelsPerFrame == 0 || f.mChannelsPerFrame > 64 || f.mFramesPerPacket != 1) return false;
    if (f.mFormatFlags & kAudioFormatFlagBigEndian) return false;
    const bool isFloat = f.mFormatFlags & kAudioFormatFlagFloat;
    const bool isInt = f.mFormatFlags & kAudioFormatFlagSignedInteger;
    if (isFloat == isInt) return false;
    if (isFloat ? f.mBitsPerChannel != 32 : (f.mBitsPerChannel != 16 && f.mBitsPerChannel != 32))
        return false;
    return f.mBytesPerFrame == f.mChannelsPerFrame * f.mBitsPerChannel / 8 &&
           f.mBytesPerPacket == f.mBytesPerFrame;
}

}  // namespace

OSStatus AudioQueue::newOutput(const AudioStreamDescription& format, OutputCallback callback,
                               std::unique_ptr<AudioQueue>& queue, std::shared_ptr<AudioOutput> output) {
    queue.reset();
    if (!playable(format)) return kAudioQueueFormatErr;
    if (!output) output = AudioOutput::current();
    if (!output) return kAudioQueueNoOutputErr;
    queue.reset(new (std::nothrow) AudioQueue(format, std::move(callback), std::move(output)));
    if (!queue) return memFullErr;
    queue->mOutput->attach(queue.get());
    return noErr;
}

AudioQueue::AudioQueue(const AudioStreamDescription& format, OutputCallback callback,
                       std::shared_ptr<AudioOutput> output)
    : mFormat(format), mCallback(std::move(callback)), mOutput(std::move(output)) {
    mBuffers.reserve(4);
}

AudioQueue::~AudioQueue() {
    mOutput->detach(this);
}

OSStatus AudioQueue::allocateBuffer(UInt32 capacity, AudioQueueBuffer*& buffer) {
    buffer = nullptr;
    if (capacity == 0) return paramErr;
    std::unique_ptr<AudioQueueBuffer> made;
    try {
        made.reset(new AudioQueueBuffer(capacity));
        std::lock_guard lock(mLock);
        mBuffers.push_back(std::move(made));
        buffer = mBuffers.back().get();
    } catch (const std::bad_alloc&) {
        return memFullErr;
    }
    return noErr;
}

OSStatus AudioQueue::enqueueBuffer(AudioQueueBuffer* buffer, UInt32, const AudioPacketDescription*) {
    std::lock_guard lock(mLock);
    if (!buffer || std::none_of(mBuffers.begin(), mBuffers.end(), [&](auto& b) { return b.get() == buffer; }))
        return kAudioQueueBufferErr;
    if (buffer->mEnqueued) return kAudioQueueBufferBusyErr;
    if (buffer->mAudioDataByteSize > buffer->mAudioDataBytesCapacity) return paramErr;
    if (buffer->mAudioDataByteSize < mFormat.mBytesPerFrame) return kAudioQueueBufferEmptyErr;
    buffer->mEnqueued = true;
    buffer->mNext = nullptr;
    if (mTail)
        mTail->mNext = buffer;
    else
        mHead = buffer;
    mTail = buffer;
    return noErr;
}

OSStatus AudioQueue::start() {
    {
        std::lock_guard lock(mLock);
        if (mRunning) return noErr;
        mRunning = true;
        mStartSample = mOutput->startSampleFor(mOutput->clock().now());
    }
    mOutput->queueStarted();
    notifyRunning();
    return noErr;
}

OSStatus AudioQueue::stop(bool immediate) {
    if (!immediate) {
        std::lock_guard lock(mLock);
        mStopWhenDrained = true;
        return noErr;
    }
    bool wasRunning;
    {
        std::lock_guard callbacks(mCallbackLock);
        std::lock_guard lock(mLock);
        wasRunning = mRunning;
        mRunning = false;
        mStopWhenDrained = false;
        for (AudioQueueBuffer* b = mHead; b; b = b->mNext) b->mEnqueued = false;
        mHead = mTail = nullptr;
        mPosition = 0;
    }
    if (wasRunning) notifyRunning();
    return noErr;
}

OSStatus AudioQueue::setVolume(float volume) {
    if (!(volume >= 0.0f && volume <= 1.0f)) return paramErr;
    mVolume.store(volume, std::memory_order_relaxed);
    return noErr;
}

bool AudioQueue::isRunning() const {
    std::lock_guard lock(mLock);
    return mRunning;
}

OSStatus AudioQueue::setMagicCookie(const std::vector<UInt8>& cookie) {
    std::lock_guard lock(mLock);
    mMagicCookie = cookie;
    return noErr;
}

OSStatus AudioQueue::addRunningListener(RunningListener listener, ListenerToken& token) {
    token = 0;
    if (!listener) return paramErr;
    std::lock_guard lock(mListenerLock);
    for (size_t i = 0; i < mListeners.size(); ++i) {
        if (!mListeners[i]) {
            mListeners[i] = std::make_shared<const RunningListener>(std::move(listener));
            token = mListenerTokens[i] = mNextToken++;
            return noErr;
        }
    }
    return kAudioQueueListenerErr;
}

OSStatus AudioQueue::removeRunningListener(ListenerToken token) {
    std::lock_guard lock(mListenerLock);
    for (size_t i = 0; i < mListeners.size(); ++i) {
        if (mListeners[i] && mListenerTokens[i] == token) {
            mListeners[i].reset();
            return noErr;
        }
    }
    return kAudioQueueListenerErr;
}

// Copies the listeners (reference counts only, no allocation) so that one may remove itself.
void AudioQueue::notifyRunning() {
    std::array<std::shared_ptr<const RunningListener>, 4> listeners;
    {
        std::lock_guard lock(mListenerLock);
        listeners = mListeners;
    }
    for (const auto& listener : listeners)
        if (listener) (*listener)(*this);
}

float AudioQueue::sampleAt(const AudioQueueBuffer& buffer, UInt32 frame, UInt32 channel) const {
    const auto* bytes =
        static_cast<const std::byte*>(buffer.mAudioData) + size_t{frame} * mFormat.mBytesPerFrame;
    if (mFormat.mFormatFlags & kAudioFormatFlagFloat) {
        float v;
        std::memcpy(&v, bytes + channel * 4, 4);
        return v;
    }
    if (mFormat.mBitsPerChannel == 16) {
        SInt16 v;
        std::memcpy(&v, bytes + channel * 2, 2);
        return static_cast<float>(v) / 32768.0f;
    }
    SInt32 v;
    std::memcpy(&v, bytes + channel * 4, 4);
    return static_cast<float>(static_cast<double>(v) / 2147483648.0);
}

UInt32 AudioQueue::mixHead(float* out, UInt32 at, UInt32 frames, double step, float volume) {
    const AudioQueueBuffer& head = *mHead;
    const UInt32 count = head.mAudioDataByteSize / mFormat.mBytesPerFrame;
    const UInt32 last = mFormat.mChannelsPerFrame - 1;
    while (at < frames && mPosition < count) {
        const UInt32 index = static_cast<UInt32>(mPosition);
        const float fraction = static_cast<float>(mPosition - index);
        for (UInt32 ch = 0; ch < 2; ++ch) {
            const UInt32 c = std::min(ch, last);
            float v = sampleAt(head, index, c);
            if (fraction > 0 && index + 1 < count) v += (sampleAt(head, index + 1, c) - v) * fraction;
            out[size_t{at} * 2 + ch] += v * volume;
        }
        ++at;
        mPosition += step;
    }
    return at;
}

void AudioQueue::render(float* out, UInt32 frames, SInt64 first, double outputRate) {
    std::lock_guard callbacks(mCallbackLock);
    const double step = mFormat.mSampleRate / outputRate;
    const float volume = mVolume.load(std::memory_order_relaxed);
    UInt32 at = 0;
    bool stopped = false;
    for (;;) {
        AudioQueueBuffer* finished = nullptr;
        {
            std::lock_guard lock(mLock);
            if (!mRunning || mStartSample >= first + frames) break;
            if (mStartSample > first) at = std::max(at, static_cast<UInt32>(mStartSample - first));
            if (mHead) {
                at = mixHead(out, at, frames, step, volume);
                const UInt32 count = mHead->mAudioDataByteSize / mFormat.mBytesPerFrame;
                if (mPosition >= count) {
                    finished = mHead;
                    mHead = mHead->mNext;
                    if (!mHead) mTail = nullptr;
                    finished->mEnqueued = false;
                    finished->mNext = nullptr;
                    mPosition = mHead ? mPosition - count : 0;
                }
            } else if (mStopWhenDrained) {
                mRunning = false;
                mStopWhenDrained = false;
                stopped = true;
            }
        }
        if (!finished) break;
        // The owner refills and enqueues here; a new head plays on from the same sample.
        if (mCallback) mCallback(*this, *finished);
    }
    if (stopped) notifyRunning();
}
