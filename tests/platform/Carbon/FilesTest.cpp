#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/Carbon/Files.h"

namespace {

// The UTF-16 units of a UTF-8 name; ASCII bytes one to one when it is no valid name record.
std::vector<UniChar> units(const std::string& text) {
    HFSUniStr255 name;
    if (UTF8ToHFSUniStr255(text, &name) == noErr)
        return std::vector<UniChar>(name.unicode, name.unicode + name.length);
    return std::vector<UniChar>(text.begin(), text.end());
}

class ForkCalls : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "forks-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        fDir = pattern;
        ASSERT_EQ(FSPathMakeRef(fDir, &fFolder), noErr);
    }
    void TearDown() override { std::filesystem::remove_all(fDir); }

    OSStatus create(const std::string& name, FSRef* ref) {
        auto u = units(name);
        return FSCreateFileUnicode(&fFolder, u.size(), u.data(), kFSCatInfoNone, nullptr, ref);
    }

    std::string fDir;
    FSRef fFolder;
};

TEST_F(ForkCalls, CreateIsExclusiveAndLookupFindsTheFile) {
    FSRef made, found;
    ASSERT_EQ(create("a.txt", &made), noErr);
    EXPECT_EQ(create("a.txt", nullptr), dupFNErr);
    auto u = units("a.txt");
    EXPECT_EQ(FSMakeFSRefUnicode(&fFolder, u.size(), u.data(), 0, &found), noErr);
    EXPECT_EQ(FSCompareFSRefs(&made, &found), noErr);
    auto missing = units("b.txt");
    EXPECT_EQ(FSMakeFSRefUnicode(&fFolder, missing.size(), missing.data(), 0, &found), fnfErr);
}

TEST_F(ForkCalls, NamesThatCannotNameAFileAreRejected) {
    struct Case {
        const char* what;
        std::string name;
    } cases[] = {{"empty", ""},
                 {"dot", "."},
                 {"dot dot", ".."},
                 {"slash", "a/b"},
                 {"too long", std::string(256, 'x')}};
    for (const auto& c : cases) {
        FSRef ref;
        auto u = units(c.name);
        EXPECT_EQ(FSMakeFSRefUnicode(&fFolder, u.size(), u.data(), 0, &ref), bdNamErr) << c.what;
        EXPECT_EQ(create(c.name, &ref), bdNamErr) << c.what;
    }
}

TEST_F(ForkCalls, ReadWritePositionsAndSize) {
    FSRef ref;
    ASSERT_EQ(create("data", &ref), noErr);
    FSIORefNum fork = -1;
    ASSERT_EQ(FSOpenFork(&ref, fsRdWrPerm, &fork), noErr);
    ByteCount actual = 0;
    EXPECT_EQ(FSWriteFork(fork, fsFromStart, 0, 10, "0123456789", &actual), noErr);
    EXPECT_EQ(actual, 10u);
    SInt64 value = 0;
    EXPECT_EQ(FSGetForkPosition(fork, &value), noErr);
    EXPECT_EQ(value, 10);

    char bytes[8] = {};
    EXPECT_EQ(FSReadFork(fork, fsFromStart, 7, 8, bytes, &actual), eofErr) << "a read past the end";
    EXPECT_EQ(actual, 3u);
    EXPECT_EQ(std::string(bytes, 3), "789");
    EXPECT_EQ(FSReadFork(fork, fsFromLEOF, -4, 2, bytes, &actual), noErr);
    EXPECT_EQ(std::string(bytes, 2), "67");
    EXPECT_EQ(FSReadFork(fork, fsFromMark, 1, 1, bytes, &actual), noErr);
    EXPECT_EQ(bytes[0], '9');

    EXPECT_EQ(FSSetForkPosition(fork, fsFromStart, 12), eofErr) << "beyond the end";
    EXPECT_EQ(FSGetForkPosition(fork, &value), noErr);
    EXPECT_EQ(value, 10);
    EXPECT_EQ(FSSetForkPosition(fork, fsFromStart, -1), posErr);

    EXPECT_EQ(FSSetForkSize(fork, fsFromStart, 4), noErr);
    EXPECT_EQ(FSGetForkSize(fork, &value), noErr);
    EXPECT_EQ(value, 4);
    EXPECT_EQ(FSGetForkPosition(fork, &value), noErr);
    EXPECT_EQ(value, 4) << "the mark follows a shrinking size";
    EXPECT_EQ(FSCloseFork(fork), noErr);
}

TEST_F(ForkCalls, UnknownOrClosedForksAreRefused) {
    FSRef ref;
    ASSERT_EQ(create("data", &ref), noErr);
    FSIORefNum fork = -1;
    ASSERT_EQ(FSOpenFork(&ref, fsRdPerm, &fork), noErr);
    ASSERT_EQ(FSCloseFork(fork), noErr);
    SInt64 size = 0;
    EXPECT_EQ(FSCloseFork(fork), rfNumErr);
    EXPECT_EQ(FSGetForkSize(fork, &size), rfNumErr);
    EXPECT_EQ(FSCloseFork(STDOUT_FILENO), rfNumErr) << "a descriptor the calls never opened";
}

TEST_F(ForkCalls, CatalogInfoGivesNameParentSizeAndDeleteRemoves) {
    FSRef ref, parent;
    ASSERT_EQ(create("r\xC3\xA9sum\xC3\xA9.txt", &ref), noErr);
    std::ofstream(ref.path) << "hello";
    FSCatalogInfo info;
    HFSUniStr255 name;
    ASSERT_EQ(FSGetCatalogInfo(&ref, kFSCatInfoDataSizes | kFSCatInfoNodeFlags, &info, &name, &parent),
              noErr);
    EXPECT_EQ(info.dataLogicalSize, 5u);
    EXPECT_EQ(info.nodeFlags & kFSNodeIsDirectoryMask, 0);
    EXPECT_EQ(HFSUniStr255ToUTF8(name), "r\xC3\xA9sum\xC3\xA9.txt");
    EXPECT_EQ(FSCompareFSRefs(&parent, &fFolder), noErr);

    ASSERT_EQ(FSDeleteObject(&ref), noErr);
    EXPECT_FALSE(std::filesystem::exists(ref.path));
    EXPECT_EQ(FSGetCatalogInfo(&ref, kFSCatInfoNone, nullptr, nullptr, nullptr), fnfErr);
    EXPECT_EQ(FSDeleteObject(&ref), fnfErr);
}

}  // namespace
