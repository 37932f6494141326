// An output that plays into a WAV file (stereo, 32-bit float, so that mixed sounds are kept
// exactly) on its own clock, and records the clock time at which each period was played, so
// that tests and benchmarks can tell from the samples when each sound started. The times are
// also written, at close, beside the file as "<path>.periods": one line per period with its
// first sample and its clock time in microseconds since 1970.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/AudioToolbox/ClockedOutput.h"

typedef struct sf_private_tag SNDFILE;

class FileOutput : public ClockedOutput {
public:
    struct Period {
        SInt64 firstSample;
        SInt64 microseconds;
    };

    // nullptr when the file cannot be created.
    static std::shared_ptr<FileOutput> create(const std::string& path, Clock& clock = Clock::system(),
                                              double sampleRate = kSampleRate,
                                              UInt32 periodFrames = kPeriodFrames);
    ~FileOutput() override;

    // Stops playing, completes the file and writes the period times. Later periods are lost.
    void close();
    void stopPlaying() override { close(); }
    const std::string& path() const { return mPath; }
    // The periods played so far. Any thread.
    std::vector<Period> periods() const;
    // The clock time at which the given sample was played.
    SInt64 timeOfSample(SInt64 sample) const;

protected:
    void consume(const float* samples, UInt32 frames, SInt64 microseconds) override;

private:
    FileOutput(const std::string& path, SNDFILE* file, Clock& clock, double sampleRate, UInt32 periodFrames);

    const std::string mPath;
    SNDFILE* mFile;
    SInt64 mWritten{0};
    mutable std::mutex mPeriodsLock;
    std::vector<Period> mPeriods;
    bool mClosed{false};
};
