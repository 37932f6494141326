#include "platform/AudioToolbox/FileOutput.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

std::shared_ptr<FileOutput> FileOutput::create(const std::string& path, Clock& clock, double sampleRate,
                                               UInt32 periodFrames) {
    SF_INFO info{};
    info.samplerate = static_cast<int>(sampleRate);
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) return nullptr;
    std::shared_ptr<FileOutput> output(new FileOutput(path, file, clock, sampleRate, periodFrames));
    output->startRendering();
    return output;
}

FileOutput::FileOutput(const std::string& path, SNDFILE* file, Clock& clock, double sampleRate,
                       UInt32 periodFrames)
    : ClockedOutput(clock, sampleRate, periodFrames), mPath(path), mFile(file) {
    mPeriods.reserve(1 << 16);
}

FileOutput::~FileOutput() {
    close();
}

void FileOutput::close() {
    stopRendering();
    if (mClosed) return;
    mClosed = true;
    sf_close(mFile);
    mFile = nullptr;
    if (FILE* times = std::fopen((mPath + ".periods").c_str(), "w")) {
        for (const Period& p : periods())
            std::fprintf(times, "%lld %lld\n", static_cast<long long>(p.firstSample),
                         static_cast<long long>(p.microseconds));
        std::fclose(times);
    }
}

void FileOutput::consume(const float* samples, UInt32 frames, SInt64 microseconds) {
    sf_writef_float(mFile, samples, frames);
    std::lock_guard lock(mPeriodsLock);
    mPeriods.push_back({mWritten, microseconds});
    mWritten += frames;
}

std::vector<FileOutput::Period> FileOutput::periods() const {
    std::lock_guard lock(mPeriodsLock);
    return mPeriods;
}

SInt64 FileOutput::timeOfSample(SInt64 sample) const {
    std::lock_guard lock(mPeriodsLock);
    if (mPeriods.empty()) return 0;
    auto after = std::upper_bound(mPeriods.begin(), mPeriods.end(), sample,
                                  [](SInt64 s, const Period& p) { return s < p.firstSample; });
    const Period& p = after == mPeriods.begin() ? *after : *(after - 1);
    return p.microseconds + std::llround(static_cast<double>(sample - p.firstSample) * 1e6 / sampleRate());
}
