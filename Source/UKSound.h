// Plays one short sound file with little latency, restartable for every click: the file is
// decoded once, its queue primed and played once silently at creation, so that the first
// audible click is not delayed by the queue's start-up.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/AudioToolbox/AudioFile.h"
#include "platform/AudioToolbox/AudioQueue.h"

class AudioOutput;
class UKSound;

class UKSoundDelegate {
public:
    virtual ~UKSoundDelegate() = default;
    virtual void sound(UKSound& sound, bool didFinishPlaying) = 0;
};

class UKSound {
public:
    UKSound(const UKSound&) = delete;
    UKSound& operator=(const UKSound&) = delete;

    // Where a sound plays, and where it posts and logs. Empty members take the defaults: the
    // current output, no notifications, the standard error stream.
    struct Context {
        std::shared_ptr<AudioOutput> output;
        std::function<void(const std::string& notification)> post;
        std::function<void(const std::string& message)> log;
    };

    // Opens the file of the "file://" URL, primes the queue and plays it once at volume 0. Each
    // failing step is logged. A file that cannot be opened, or read as sound, ends the set-up:
    // the sound stays silent, play() answers the failure, nothing is posted. A queue that cannot
    // be made or a failing warm-up play posts "AudioQueueNotWorking".
    explicit UKSound(const std::string& fileURL, Context context = {});
    ~UKSound();

    // Restarts the sound from its first packet. 0 when the queue started; else the error, after
    // logging "Couldn't start audio queue.", or the set-up's failure. Main and driver threads.
    OSStatus play();
    // Rewinds to packet 0 and refills both buffers.
    void prepNextPlay();
    // The queue is running. Any thread.
    bool isPlaying() const;
    // The set-up succeeded: the file opened and the queue was made.
    bool isLoaded() const { return mQueue != nullptr; }
    // Fills one buffer from the file. The queue's audio thread, and play().
    void audioQueue(AudioQueue& queue, AudioQueueBuffer& buffer);
    // When the queue has stopped: tells the delegate and stops the queue after draining.
    void notifyDelegatePlaybackStateChanged();

    UKSoundDelegate* delegate() const { return mDelegate; }
    // Not owned.
    void setDelegate(UKSoundDelegate* delegate) { mDelegate = delegate; }

private:
    void log(const std::string& message) const;
    void runningChanged(AudioQueue& queue);
    void queueNotWorking();

    Context mContext;
    std::unique_ptr<AudioFile> mAudioFile;
    AudioStreamDescription mDataFormat;
    std::unique_ptr<AudioQueue> mQueue;
    AudioQueueBuffer* mBuffers[2]{nullptr, nullptr};
    // Touched by the audio thread's refills only while the queue runs, and by play() only once
    // it has stopped the queue at once (which waits for a refill in progress): never both.
    UInt64 mPacketIndex{0};
    UInt32 mNumPacketsToRead{0};
    std::vector<AudioPacketDescription> mPacketDescs;
    bool mDone{false};
    UKSoundDelegate* mDelegate{nullptr};
    SInt32 maxBufferSizeBytes{65536};

    OSStatus mSetUpStatus{noErr};
    AudioQueue::ListenerToken mListener{0};
    // One play at a time: the main thread's taps and the driver thread's clicks.
    std::mutex mPlayLock;
};
