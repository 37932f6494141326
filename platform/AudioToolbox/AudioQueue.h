// An output audio queue: buffers of linear PCM that its owner fills and enqueues, played one
// after another on an AudioOutput, mixed with every other queue on that output. A finished
// buffer goes back to the owner through the buffer callback, on the output's audio thread.
#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/AudioToolbox/AudioFormat.h"

class AudioOutput;
class AudioQueue;

// One buffer of a queue; made by allocateBuffer and owned by its queue.
class AudioQueueBuffer {
    std::unique_ptr<std::byte[]> mStorage;  // first, so that mAudioData can point into it

public:
    AudioQueueBuffer(const AudioQueueBuffer&) = delete;
    AudioQueueBuffer& operator=(const AudioQueueBuffer&) = delete;

    const UInt32 mAudioDataBytesCapacity;
    void* const mAudioData;
    UInt32 mAudioDataByteSize{0};

private:
    friend class AudioQueue;
    explicit AudioQueueBuffer(UInt32 capacity);
    AudioQueueBuffer* mNext{nullptr};
    bool mEnqueued{false};
};

class AudioQueue {
public:
    AudioQueue(const AudioQueue&) = delete;
    AudioQueue& operator=(const AudioQueue&) = delete;

    // Called on the audio thread when a buffer has played; it may fill and enqueue it again,
    // stop the queue, and must not dispose of the queue.
    using OutputCallback = std::function<void(AudioQueue&, AudioQueueBuffer&)>;
    // Called when the queue starts or stops running, on the thread that started or stopped it
    // (the audio thread when it stops after draining), with no lock of the queue held.
    using RunningListener = std::function<void(AudioQueue&)>;
    using ListenerToken = int;

    // A queue for linear PCM (32-bit float, or 16- or 32-bit signed integers, host byte order;
    // any rate; one channel or more, the first two played) on `output`, the current output
    // when null. kAudioQueueFormatErr for other formats, kAudioQueueNoOutputErr without an output.
    static OSStatus newOutput(const AudioStreamDescription& format, OutputCallback callback,
                              std::unique_ptr<AudioQueue>& queue,
                              std::shared_ptr<AudioOutput> output = nullptr);
    // Disposes immediately: stops, drops every buffer; waits for a period in progress.
    ~AudioQueue();

    OSStatus allocateBuffer(UInt32 capacity, AudioQueueBuffer*& buffer);
    // Appends a filled buffer. Packet descriptions are accepted for linear PCM and not needed.
    // kAudioQueueBufferBusyErr when it is enqueued already. Any thread, the callback included.
    OSStatus enqueueBuffer(AudioQueueBuffer* buffer, UInt32 numPacketDescriptions = 0,
                           const AudioPacketDescription* descriptions = nullptr);
    // Starts playing now: the first sample sounds one output latency after this call. Starting
    // a running queue changes nothing. Any thread.
    OSStatus start();
    // immediate: stops at once and hands every enqueued buffer back (without callbacks); when
    // it returns, no callback of this queue is running. Otherwise the queue stops once the
    // buffers enqueued so far have played, also when that request comes before start. Any thread.
    OSStatus stop(bool immediate);

    // Volume from 0.0 to 1.0, applied from the next period. Any thread.
    OSStatus setVolume(float volume);
    float volume() const { return mVolume.load(std::memory_order_relaxed); }
    bool isRunning() const;
    OSStatus setMagicCookie(const std::vector<UInt8>& cookie);

    // At most four listeners per queue; kAudioQueueListenerErr beyond, or for an unknown token.
    OSStatus addRunningListener(RunningListener listener, ListenerToken& token);
    OSStatus removeRunningListener(ListenerToken token);

    const AudioStreamDescription& format() const { return mFormat; }
    AudioOutput& output() const { return *mOutput; }

private:
    friend class AudioOutput;
    AudioQueue(const AudioStreamDescription& format, OutputCallback callback,
               std::shared_ptr<AudioOutput> output);

    // Mixes this queue into the period of `frames` frames that starts at the output sample
    // `first`. Audio thread only.
    void render(float* out, UInt32 frames, SInt64 first, double outputRate);
    // Adds frames of the head buffer into out[from, frames); answers where it stopped.
    UInt32 mixHead(float* out, UInt32 from, UInt32 frames, double step, float volume);
    float sampleAt(const AudioQueueBuffer& buffer, UInt32 frame, UInt32 channel) const;
    void notifyRunning();

    const AudioStreamDescription mFormat;
    const OutputCallback mCallback;
    const std::shared_ptr<AudioOutput> mOutput;
    std::atomic<float> mVolume{1.0f};
    std::vector<std::unique_ptr<AudioQueueBuffer>> mBuffers;  // guarded by mLock
    std::vector<UInt8> mMagicCookie;                          // guarded by mLock

    // Held while the audio thread renders this queue and runs its callbacks; stop(true) takes
    // it so that no callback of the old play can run after it. Recursive: callbacks may stop.
    std::recursive_mutex mCallbackLock;
    // Guards the play state below; held only for short copies, never across a callback.
    mutable std::mutex mLock;
    bool mRunning{false};
    bool mStopWhenDrained{false};
    SInt64 mStartSample{0};
    double mPosition{0};  // frames into the head buffer
    AudioQueueBuffer* mHead{nullptr};
    AudioQueueBuffer* mTail{nullptr};

    std::mutex mListenerLock;
    std::array<std::shared_ptr<const RunningListener>, 4> mListeners;
    int mNextToken{1};
    std::array<ListenerToken, 4> mListenerTokens{};
};
