#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/Foundation/AtomicFile.h"
#include "tests/platform/Foundation/TemporaryHome.h"

namespace {

enum class Step { Create, Write, Flush, Close, Rename, OpenFolder, FlushFolder };

// Fails one step with EIO. A failing write first lets half of the bytes through, as a crash
// in the middle of writing would.
class FaultyFileSystem : public AtomicFileSystem {
public:
    explicit FaultyFileSystem(Step failing) : mFailing(failing) {}

    int openTemporary(const std::string& path, mode_t mode) override {
        return fail(Step::Create) ? -1 : AtomicFileSystem::openTemporary(path, mode);
    }
    ssize_t write(int fd, const void* bytes, size_t length) override {
        if (mFailing == Step::Write) {
            if (mWrites++ == 0) return AtomicFileSystem::write(fd, bytes, length / 2);
            errno = EIO;
            return -1;
        }
        return AtomicFileSystem::write(fd, bytes, length);
    }
    int sync(int fd) override { return fail(Step::Flush) ? -1 : AtomicFileSystem::sync(fd); }
    int close(int fd) override {
        if (mFailing == Step::Close) {
            AtomicFileSystem::close(fd);
            errno = EIO;
            return -1;
        }
        return AtomicFileSystem::close(fd);
    }
    int rename(const std::string& from, const std::string& to) override {
        return fail(Step::Rename) ? -1 : AtomicFileSystem::rename(from, to);
    }
    int openFolder(const std::string& path) override {
        return fail(Step::OpenFolder) ? -1 : AtomicFileSystem::openFolder(path);
    }
    int syncFolder(int fd) override {
        return fail(Step::FlushFolder) ? -1 : AtomicFileSystem::syncFolder(fd);
    }

private:
    bool fail(Step step) {
        if (step != mFailing) return false;
        errno = EIO;
        return true;
    }
    Step mFailing;
    int mWrites{0};
};

std::span<const uint8_t> bytes(const std::string& text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

}  // namespace

TEST(AtomicFile, AFailureAtEveryStepLeavesAWholeFileAndNoLeftovers) {
    struct Case {
        const char* name;
        Step step;
        const char* expected;  // what the file holds afterwards
    };
    const Case cases[] = {
        {"create", Step::Create, "old contents"},
        {"write", Step::Write, "old contents"},
        {"flush", Step::Flush, "old contents"},
        {"close", Step::Close, "old contents"},
        {"rename", Step::Rename, "old contents"},  // past the rename only the new file can be there
        {"open folder", Step::OpenFolder, "new, longer contents"},
        {"flush folder", Step::FlushFolder, "new, longer contents"},
    };
    for (const Case& c : cases) {
        TemporaryHome home;
        const auto file = home.path() / "AssignedTrackIDs.plist";
        TemporaryHome::write(file, "old contents");
        FaultyFileSystem faulty(c.step);
        Result<void> result = AtomicFile::write(file.string(), bytes("new, longer contents"), 0644, faulty);
        EXPECT_FALSE(result) << c.name;
        EXPECT_NE(result.error().find(strerror(EIO)), std::string::npos) << c.name << ": " << result.error();
        EXPECT_EQ(TemporaryHome::contents(file), c.expected) << c.name;
        int entries = 0;
        for (const auto& entry : std::filesystem::directory_iterator(home.path()))
            entries += entry.path().filename() != "config";
        EXPECT_EQ(entries, 1) << c.name << ": a temporary file was left behind";
    }
}

TEST(AtomicFile, ReplacesOrCreatesWithTheGivenMode) {
    TemporaryHome home;
    const auto file = home.path() / "prefs.plist";
    ASSERT_TRUE(AtomicFile::write(file.string(), bytes("first"), 0600));
    EXPECT_EQ(TemporaryHome::contents(file), "first");
    EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    ASSERT_TRUE(AtomicFile::write(file.string(), bytes(""), 0600));
    EXPECT_EQ(TemporaryHome::contents(file), "");
    EXPECT_FALSE(AtomicFile::write((home.path() / "no-such-folder" / "x").string(), bytes("x")));
}

TEST(AtomicFile, RemovesOnlyTheTemporaryFilesOfWritersThatNoLongerRun) {
    TemporaryHome home;
    const auto file = home.path() / "Data.plist";
    // Above the kernel's largest process id, so no process can hold it.
    long pidMax = 4194304;
    std::ifstream("/proc/sys/kernel/pid_max") >> pidMax;
    const std::string dead = std::to_string(pidMax + 1);
    const std::string self = std::to_string(::getpid());
    const std::string parent = std::to_string(::getppid());
    struct Leftover {
        std::string name;
        bool removed;
    };
    const Leftover leftovers[] = {
        {"Data.plist.tmp-" + dead + "-3", true},
        {"Data.plist.tmp-" + dead + "-0", true},
        {"Data.plist.tmp-" + self + "-9", false},
        {"Data.plist.tmp-" + parent + "-0", false},
        {"Other.plist.tmp-" + dead + "-0", false},
        {"Data.plist.tmp-" + dead, false},
        {"Data.plist.tmp-" + dead + "-0.bak", false},
        {"Data.plist.tmp-0-0", false},  // 0 would ask about our own process group
        {"Data.plist.tmp--5-0", false},
        {"Data.plist.tmp-99999999999999999999-0", false},
        {"xData.plist.tmp-" + dead + "-0", false},
    };
    for (const Leftover& l : leftovers) TemporaryHome::write(home.path() / l.name, "partial");
    ASSERT_TRUE(AtomicFile::write(file.string(), bytes("whole")));
    EXPECT_EQ(TemporaryHome::contents(file), "whole");
    for (const Leftover& l : leftovers)
        EXPECT_EQ(std::filesystem::exists(home.path() / l.name), !l.removed) << l.name;
}
