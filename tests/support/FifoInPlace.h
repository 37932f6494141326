// A named pipe where a file is expected. A reader that opens it without O_NONBLOCK waits for a
// writer for ever; should one still be waiting after a generous bound, this opens the pipe for
// writing once, so the reader comes back and the test fails instead of hanging.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

class FifoInPlace {
public:
    FifoInPlace(const FifoInPlace&) = delete;
    FifoInPlace& operator=(const FifoInPlace&) = delete;

    explicit FifoInPlace(std::string path) : mPath(std::move(path)) {
        mMade = ::mkfifo(mPath.c_str(), 0600) == 0;
        if (mMade) mWatchdog = std::thread([this] { watch(); });
    }
    ~FifoInPlace() {
        {
            std::lock_guard lock(mMutex);
            mDone = true;
        }
        mWake.notify_all();
        if (mWatchdog.joinable()) mWatchdog.join();
    }

    bool made() const { return mMade; }
    // Whether a reader was found waiting in its open and had to be let go.
    bool readerWasStuck() {
        std::lock_guard lock(mMutex);
        return mReaderWasStuck;
    }

private:
    void watch() {
        std::unique_lock lock(mMutex);
        if (mWake.wait_for(lock, std::chrono::seconds(20), [this] { return mDone; })) return;
        struct stat info {};
        if (::lstat(mPath.c_str(), &info) != 0 || !S_ISFIFO(info.st_mode)) return;
        // Succeeds only while a reader has it open, or waits in opening it.
        const int fd = ::open(mPath.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            mReaderWasStuck = true;
            ::close(fd);
        }
    }

    std::string mPath;
    bool mMade{false};
    std::mutex mMutex;
    std::condition_variable mWake;
    bool mDone{false};
    bool mReaderWasStuck{false};
    std::thread mWatchdog;
};
