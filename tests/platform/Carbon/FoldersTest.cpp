#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/Carbon/Delay.h"
#include "platform/Carbon/Folders.h"
#include "platform/Carbon/LaunchServices.h"
#include "platform/Carbon/Processes.h"
#include "platform/Carbon/TickClock.h"

namespace {

// Points TMPDIR and XDG_DATA_HOME at a fresh folder for the test.
class FoldersTest : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "folders-test-XXXXXX").string();
        fRoot = mkdtemp(pattern.data());
        Save("TMPDIR", fOldTmp);
        Save("XDG_DATA_HOME", fOldData);
        setenv("TMPDIR", fRoot.c_str(), 1);
        setenv("XDG_DATA_HOME", (fRoot + "/data/share").c_str(), 1);
    }
    void TearDown() override {
        Restore("TMPDIR", fOldTmp);
        Restore("XDG_DATA_HOME", fOldData);
        std::filesystem::remove_all(fRoot);
    }
    std::string TemporaryPath() const { return fRoot + "/Beatwick-" + std::to_string(geteuid()); }

    std::string fRoot;

private:
    static void Save(const char* name, std::optional<std::string>& into) {
        if (const char* value = std::getenv(name)) into = value;
    }
    static void Restore(const char* name, const std::optional<std::string>& value) {
        if (value)
            setenv(name, value->c_str(), 1);
        else
            unsetenv(name);
    }
    std::optional<std::string> fOldTmp, fOldData;
};

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    lstat(path.c_str(), &info);
    return info.st_mode & 0777;
}

}  // namespace

TEST_F(FoldersTest, TemporaryItemsArePrivate) {
    FSRef ref;
    EXPECT_EQ(FSFindFolder(kOnAppropriateDisk, kTemporaryFolderType, false, &ref), fnfErr);
    ASSERT_EQ(FSFindFolder(kOnAppropriateDisk, kTemporaryFolderType, true, &ref), noErr);
    EXPECT_EQ(ref.path, TemporaryPath());
    EXPECT_EQ(ModeOf(ref.path), 0700u);

    chmod(ref.path.c_str(), 0755);
    FSRef chewable;
    ASSERT_EQ(FSFindFolder(kUserDomain, kChewableItemsFolderType, true, &chewable), noErr);
    EXPECT_EQ(chewable, ref);
    EXPECT_EQ(ModeOf(ref.path), 0700u) << "a folder others can enter is closed again";

    std::filesystem::remove(ref.path);
    std::filesystem::create_directory_symlink(fRoot, ref.path);
    EXPECT_EQ(FSFindFolder(kOnAppropriateDisk, kTemporaryFolderType, true, &ref), permErr)
        << "a link in the folder's place is not followed";
    EXPECT_EQ(FSFindFolder(kOnAppropriateDisk, fourCC("what"), true, &ref), paramErr);
}

TEST_F(FoldersTest, ApplicationSupportFollowsXdgDataHome) {
    FSRef ref;
    EXPECT_EQ(FSFindFolder(kUserDomain, kApplicationSupportFolderType, false, &ref), fnfErr);
    ASSERT_EQ(FSFindFolder(kUserDomain, kApplicationSupportFolderType, true, &ref), noErr);
    EXPECT_EQ(ref.path, fRoot + "/data/share");
}

TEST(ExtensionInfo, FindsTheExtensionStart) {
    const std::pair<const char*, size_t> cases[] = {
        {"report.txt", 7},
        {"archive.tar.gz", 12},
        {"noext", kLSInvalidExtensionIndex},
        {".profile", kLSInvalidExtensionIndex},
        {"a.", kLSInvalidExtensionIndex},
        {"v1.0 final", kLSInvalidExtensionIndex},
        {"", kLSInvalidExtensionIndex},
    };
    for (const auto& [name, start] : cases) {
        size_t found = 0;
        EXPECT_EQ(LSGetExtensionInfo(name, &found), noErr) << name;
        EXPECT_EQ(found, start) << name;
    }
    EXPECT_EQ(LSGetExtensionInfo("a.b", nullptr), paramErr);
}

TEST(DelayTest, SleepsThroughTheReplaceableSleep) {
    ManualTickSource clock;
    clock.set(100);
    ScopedTickSource scopedClock(clock);
    unsigned long slept = 0;
    {
        ScopedDelaySleep sleep([&](unsigned long ticks) {
            slept += ticks;
            clock.advance(static_cast<UInt32>(ticks));
        });
        unsigned long finalTicks = 0;
        Delay(20, &finalTicks);
        EXPECT_EQ(finalTicks, 120u);
        Delay(0, nullptr);
    }
    EXPECT_EQ(slept, 20u);
}

TEST(ProcessesTest, ExitToShellEndsAtOnce) {
    EXPECT_EXIT(ExitToShell(), testing::ExitedWithCode(EXIT_FAILURE), "");
}
