#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "TestFolder.h"
#include "core/UDates.h"
#include "core/UFileUtilities.h"
#include "core/UMemory.h"

namespace {

timeval gFakeNow{};
timeval FakeNow() {
    return gFakeNow;
}

// Runs the date functions on a clock the test sets.
class DatesTest : public testing::Test {
protected:
    void SetUp() override { SetTimeOfDaySource(FakeNow); }
    void TearDown() override { SetTimeOfDaySource(nullptr); }
    static void SetNow(long seconds, long microseconds) { gFakeNow = {seconds, microseconds}; }
};

void Touch(const std::string& path) {
    std::ofstream(path) << "x";
}

}  // namespace

TEST_F(DatesTest, CurrentDateInBothForms) {
    SetNow(kUnixTo2001 + 5, 999999);
    EXPECT_EQ(GetCurrentDate(), 5u) << "seconds since 2001, truncated";
    SetNow(1700000000, 500000);
    EXPECT_EQ(GetCurrentDate_ms(), 1700000000ull * 1000 + 500);
    SetNow(1700000000, 999);
    EXPECT_EQ(GetCurrentDate_ms(), 1700000000ull * 1000);
}

TEST_F(DatesTest, RoundsToDays) {
    struct Case {
        UInt32 seconds, down, up;
    };
    const Case cases[] = {{0, 0, 0}, {1, 0, 86400}, {86400, 86400, 86400}, {86401, 86400, 172800}};
    for (const Case& c : cases) {
        EXPECT_EQ(RoundDateDown(c.seconds), c.down) << c.seconds;
        EXPECT_EQ(RoundDateUp(c.seconds), c.up) << c.seconds;
    }
}

TEST_F(DatesTest, ParsesInternetDates) {
    // 2025-06-03 14:05:09 UTC
    const UInt32 when = static_cast<UInt32>(1748959509 - kUnixTo2001);
    struct Case {
        const char* text;
        UInt32 expected;
    };
    const Case cases[] = {
        {"Tue, 03 Jun 2025 14:05:09 GMT", when}, {"Tue, 03-Jun-2025 14:05:09 GMT", when},
        {"03 Jun 2025 14:05:09 +0000", when},    {"Tue, 03 Jun 2025 16:05:09 +0200", when},
        {"Tue, 03 Jun 2025 09:05:09 EST", when}, {"3 June 2025 14:05 GMT", when - 9},
        {"Tue, 03 Jun 25 14:05:09 UT", when},    {"not a date", 0},
        {"Tue, 03 Foo 2025 14:05:09 GMT", 0},    {"Tue, 03 Jun 2025 14:05:09 +02", 0},
        {"Tue, 03 Jun 1999 14:05:09 GMT", 0},    {"Tue, 03 Jun 2025 25:05:09 GMT", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(ExtractDateFromInternetString(c.text), c.expected) << c.text;

    SetNow(1748959509, 0);
    EXPECT_EQ(ExtractDateFromInternetString(nullptr), when);
    EXPECT_EQ(ExtractDateFromInternetString(""), when);
    EXPECT_EQ(NNTPToDate("garbage"), when);
}

TEST_F(DatesTest, FormatsRoundTrip) {
    for (UInt32 seconds : {0u, 123456789u, 771000000u}) {
        char text[64];
        DateToMsgDate(seconds, text, sizeof text);
        EXPECT_EQ(ExtractDateFromInternetString(text), seconds) << text;
        DateToNNTP(seconds, text, sizeof text);
        EXPECT_EQ(std::strlen(text), 13u) << text;
        EXPECT_EQ(NNTPToDate(text), seconds) << text;
    }
    UInt32 seconds = 1000000;
    const SInt32 offset = LocalToGMT(seconds);
    EXPECT_EQ(seconds, static_cast<UInt32>(1000000 - offset));
    GMTToLocal(seconds);
    EXPECT_EQ(seconds, 1000000u);
}

TEST(MemoryOwners, AllocateCopyAndRelease) {
    StPointerBlock zeros(16, true, true);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(zeros.Get()[i], 0) << i;
    StPointerBlock copy(zeros);
    EXPECT_NE(copy.Get(), zeros.Get());
    EXPECT_EQ(GetPtrSize(copy), 16);

    EXPECT_THROW(StHandleBlock(-1), int);
    StHandleBlock quiet(-1, false);
    EXPECT_EQ(quiet.Get(), nullptr);

    StHandleBlock block(4);
    std::memcpy(*block.Get(), "abcd", 4);
    StHandleBlock duplicate(block);
    EXPECT_NE(duplicate.Get(), block.Get());
    EXPECT_EQ(std::memcmp(*duplicate.Get(), "abcd", 4), 0);
    Handle kept = block.Release();
    EXPECT_EQ(block.Get(), kept) << "released but still held";
    block.Adopt(nullptr);  // not owned any more, so not disposed
    DisposeHandle(kept);

    StHandleBlock notOwned(duplicate.Get(), false);
    notOwned.Dispose();
    EXPECT_EQ(GetHandleSize(duplicate.Get()), 4) << "a block that is not owned survives";
    EXPECT_THROW(StHandleLocker(nullptr), int);
}

TEST(BlockCompareTest, OrdersUnsignedBytesThenLengths) {
    const unsigned char a[] = {1, 2};
    const unsigned char b[] = {1, 2, 3};
    const unsigned char high[] = {0xFF};
    const unsigned char low[] = {0x01};
    EXPECT_EQ(BlockCompare(a, b, 2, 3), -1);
    EXPECT_EQ(BlockCompare(b, a, 3, 2), 1);
    EXPECT_EQ(BlockCompare(a, b, 2), 0);
    EXPECT_EQ(BlockCompare(high, low, 1), 0xFE);
}

TEST(FreeFileName, NumbersBeforeTheExtensionOrAfterTheName) {
    TestFolder folder;
    FSRef ref;
    ASSERT_EQ(FSPathMakeRef(folder.path(), &ref), noErr);
    Touch(folder / "report.txt");
    Touch(folder / "notes");

    const struct {
        const char* name;
        OSStatus (*search)(const FSRef*, std::string*);
        const char* expected;
    } cases[] = {
        {"report.txt", AppendUnicodeNameWithFiletype, "report_1.txt"},
        {"report.txt", AppendUnicodeNameWithFiletype, "report_2.txt"},
        {"report.txt", AppendUnicodeName, "report_3.txt"},
        {"notes", AppendUnicodeName, "notes.1"},
        {"notes", AppendUnicodeName, "notes.2"},
        {".profile", AppendUnicodeName, ".profile.1"},
    };
    for (const auto& c : cases) {
        std::string name = c.name;
        EXPECT_EQ(c.search(&ref, &name), fnfErr) << c.name;
        EXPECT_EQ(name, c.expected) << c.name;
        Touch(folder / name);  // the caller creates it, so the next search moves on
    }
}

TEST(FreeFileName, BadNamesBecomeUntitledOtherErrorsEndTheSearch) {
    TestFolder folder;
    FSRef ref;
    ASSERT_EQ(FSPathMakeRef(folder.path(), &ref), noErr);
    Touch(folder / "untitled.1");

    std::string tooLong(300, 'n');
    EXPECT_EQ(AppendUnicodeName(&ref, &tooLong), fnfErr);
    EXPECT_EQ(tooLong, "untitled.2");

    // A "folder" that is a file: every look-up fails with something other than free or taken.
    Touch(folder / "plain");
    FSRef notAFolder;
    ASSERT_EQ(FSPathMakeRef(folder / "plain", &notAFolder), noErr);
    std::string name = "report.txt";
    EXPECT_EQ(AppendUnicodeName(&notAFolder, &name), dirNFErr);
    EXPECT_EQ(name, "report.txt") << "the name is left as it was";
    EXPECT_EQ(AppendUnicodeName(nullptr, &name), paramErr);
}

TEST(FileNames, MadeValid) {
    struct Case {
        const char* name;
        const char* mac;
        const char* set;
    };
    const Case cases[] = {
        {".hidden:a/b", "_hidden-a-b", "_hidden-a-b"},
        {"abcdefghijklmnopqrstuvwxyz0123", "abcdefghijklmnopqrstuvwxyz0123", "~fghijklmnopqrstuvwxyz0123"},
    };
    for (const Case& c : cases) {
        unsigned char name[256];
        LoadPStrFromCStr(name, c.name);
        MakeMacFileName(name);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(name + 1), name[0]), c.mac) << c.name;
        LoadPStrFromCStr(name, c.name);
        MakeSetFileName(name);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(name + 1), name[0]), c.set) << c.name;
    }
    unsigned char name[256] = {3, 'o', 'l', 'd'};
    LoadPStrFromCStr(name, nullptr);
    EXPECT_EQ(name[0], 0) << "no text is the empty text";
}

TEST(FilesByURL, OpenAndReportErrors) {
    TestFolder folder;
    Touch(folder / "a b.txt");
    int error = -1;
    UniqueFile file = CFURL_fopen(FileURLFromPath(folder / "a b.txt"), "r", error);
    EXPECT_TRUE(file);
    EXPECT_EQ(error, 0);
    EXPECT_FALSE(CFURL_fopen("http://example.org/x", "r", error));
    EXPECT_EQ(error, 0) << "no path";
    EXPECT_FALSE(CFURL_fopen(FileURLFromPath(folder / "missing"), "r", error));
    EXPECT_EQ(error, ENOENT);
    EXPECT_EQ(CFURL_delete(FileURLFromPath(folder / "a b.txt")), noErr);
    EXPECT_EQ(CFURL_delete(FileURLFromPath(folder / "a b.txt")), fnfErr);
    EXPECT_EQ(CFURL_delete(""), 0x6e696c50);
}

TEST(URLTypes, ByPrefix) {
    const std::pair<const char*, int> cases[] = {{"\x12<HTTP://x.org/abc>", 1},
                                                 {"\x07www.x.y", 1},
                                                 {"\x0bmailto:a@b", 2},
                                                 {"\x07news:x.", 3},
                                                 {"\x07nntp:x.", 3},
                                                 {"\x05"
                                                  "ftp:x",
                                                  0}};
    for (const auto& [text, type] : cases)
        EXPECT_EQ(GetURLType(reinterpret_cast<ConstStr255Param>(text)), type) << text + 1;
}

TEST_F(DatesTest, MsgDateToDateFallsBackToTheInternetParserThenNow) {
    const UInt32 now = 771000000;
    SetNow(kUnixTo2001 + now, 0);
    struct Case {
        const char* name;
        const char* text;
        UInt32 expected;
    };
    const Case cases[] = {
        {"message date", "Sat, 07 Jun 2025 14:05:09 GMT", static_cast<UInt32>(1749305109 - kUnixTo2001)},
        {"RFC 3339 only the second parser reads", "2024-06-07T10:00:00Z",
         static_cast<UInt32>(1717754400 - kUnixTo2001)},
        {"far future becomes now", "Sat, 07 Jun 2070 14:05:09 GMT", now},
        {"garbage becomes now", "never", now},
        {"null becomes now", nullptr, now},
    };
    for (const Case& c : cases) EXPECT_EQ(MsgDateToDate(c.text), c.expected) << c.name;
}
