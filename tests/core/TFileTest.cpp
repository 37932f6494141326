#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/streams/TFileStream.h"
#include "core/streams/TTemporaryFileStream.h"
#include "platform/Carbon/MacMemory.h"
#include "platform/Carbon/TickClock.h"

namespace {

HFSUniStr255 nameRecord(const std::string& text) {
    HFSUniStr255 name;
    UTF8ToHFSUniStr255(text, &name);
    return name;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class FileFolder : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "tfile-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        fDir = pattern;
        ASSERT_EQ(FSPathMakeRef(fDir, &fFolder), noErr);
    }
    void TearDown() override { std::filesystem::remove_all(fDir); }

    // A created and opened file of that name.
    std::unique_ptr<TFileStream> open(const std::string& name) {
        auto file = std::make_unique<TFileStream>();
        file->Specify(fFolder, nameRecord(name));
        file->CreateFile(fourCC("ttxt"), fourCC("TEXT"));
        file->OpenFile(fsRdWrPerm);
        return file;
    }

    std::string fDir;
    FSRef fFolder;
};

TEST_F(FileFolder, ATakenNameGetsTheNextFreeVariant) {
    struct Case {
        const char* name;
        const char* expected;
    } cases[] = {{"report.txt", "report.txt"},
                 {"report.txt", "report_1.txt"},
                 {"report.txt", "report_2.txt"},
                 {"notes", "notes"},
                 {"notes", "notes.1"}};
    std::unique_ptr<TFile> files[std::size(cases)];
    for (size_t i = 0; i < std::size(cases); ++i) {
        files[i] = std::make_unique<TFile>();
        files[i]->Specify(fFolder, nameRecord(cases[i].name));
        files[i]->CreateFile(fourCC("ttxt"), fourCC("TEXT"));
        ASSERT_TRUE(files[i]->FileExists()) << cases[i].expected;
        EXPECT_EQ(HFSUniStr255ToUTF8(files[i]->GetName()), cases[i].expected);
        EXPECT_EQ(files[i]->GetPath(), fDir + "/" + cases[i].expected);
    }
}

TEST_F(FileFolder, WholeFileTransfers) {
    auto file = open("data");
    EXPECT_EQ(file->ReadFile(), nullptr) << "an empty file gives no block";
    EXPECT_EQ(file->WriteFile(std::string(100, 'a').data(), 100), 100);
    EXPECT_EQ(file->WriteFile("0123456789", 10), 10);
    EXPECT_EQ(file->GetDataSize(), 10) << "a write replaces the whole contents";
    EXPECT_EQ(file->AppendFile("xy", 2), 2);
    UniqueHandle all(file->ReadFile());
    ASSERT_TRUE(all);
    EXPECT_EQ(std::string(*all.get(), GetHandleSize(all.get())), "0123456789xy");
    file->CloseFile();
    EXPECT_EQ(file->ReadFile(), nullptr);
    EXPECT_EQ(file->WriteFile("a", 1), 0);
    EXPECT_EQ(file->GetDataSize(), 0);
    EXPECT_EQ(readAll(fDir + "/data"), "0123456789xy");
}

// A partial read away from the start gets what remains instead of failing.
TEST_F(FileFolder, ReadBytesTakesWhatRemainsAfterThePosition) {
    auto file = open("data");
    file->WriteFile("0123456789", 10);
    struct Case {
        const char* what;
        SInt32 maxCount;
        UInt16 mode;
        SInt64 offset;
        std::string expected;
    } cases[] = {
        {"from the start", 4, fsFromStart, 0, "0123"},
        {"more than remains", 100, fsFromStart, 6, "6789"},
        {"from the end", 100, fsFromLEOF, -3, "789"},
        {"at the end", 5, fsFromStart, 10, ""},
    };
    for (const auto& c : cases) {
        SInt32 actual = -1;
        UniqueHandle bytes(file->ReadBytes(c.maxCount, c.mode, c.offset, actual));
        EXPECT_EQ(actual, static_cast<SInt32>(c.expected.size())) << c.what;
        std::string got = bytes ? std::string(*bytes.get(), GetHandleSize(bytes.get())) : "";
        EXPECT_EQ(got, c.expected) << c.what;
    }
}

TEST_F(FileFolder, DeleteInvalidateAndOpenErrors) {
    TFile never;
    never.DeleteFile();
    EXPECT_FALSE(never.FileExists());
    EXPECT_THROW(never.OpenFile(fsRdWrPerm), int);

    auto file = open("data");
    FSIORefNum fork = file->GetForkRefNum();
    file->Invalidate();
    file->CloseFile();
    SInt64 size = -1;
    EXPECT_EQ(FSGetForkSize(fork, &size), noErr) << "the fork stays open, the object just forgot it";
    EXPECT_EQ(FSCloseFork(fork), noErr);

    auto other = open("other");
    FSRef ref;
    ASSERT_TRUE(other->GetFile(ref));
    EXPECT_TRUE(other->IsSameFile(ref));
    other->CloseFile();
    other->DeleteFile();
    EXPECT_FALSE(std::filesystem::exists(ref.path));
    EXPECT_FALSE(other->FileExists());
}

TEST_F(FileFolder, AliasesAndURLsNameTheFile) {
    auto file = open("a b.txt");
    FSRef ref;
    file->GetFile(ref);
    EXPECT_EQ(file->MakeAlias(nullptr), nullptr);
    UniqueHandle alias(file->MakeAlias(&fFolder));
    ASSERT_TRUE(alias);
    bool changed = true;
    TFile resolved(alias.get(), changed, nullptr);
    EXPECT_FALSE(changed);
    EXPECT_TRUE(resolved.IsSameFile(ref));
    EXPECT_EQ(resolved.GetURL(), "file://" + fDir + "/a%20b.txt");
}

TEST_F(FileFolder, FileStreamMarkerIsTheForkMark) {
    auto file = open("stream");
    file->WriteBlock("0123456789", 10);
    EXPECT_EQ(file->GetMarker(), 10);
    EXPECT_EQ(file->GetLength(), 10);
    file->SetMarker(4, kStreamFromStart);
    char bytes[8];
    SInt32 count = 8;
    EXPECT_EQ(file->GetBytes(bytes, count), eofErr);
    EXPECT_EQ(count, 6);
    file->SetLength(3);
    EXPECT_EQ(file->GetMarker(), 3);
    EXPECT_THROW(file->SetMarker(20, kStreamFromStart), int);
}

TEST(TTemporaryFileStream, PrivateExclusiveAndGoneWhenDestroyed) {
    ManualTickSource clock;
    clock.set(777000);
    ScopedTickSource scoped(clock);
    FSRef first, second;
    {
        TTemporaryFileStream a;
        TTemporaryFileStream b;  // the same tick: a free name, never the same file
        ASSERT_TRUE(a.GetFile(first));
        ASSERT_TRUE(b.GetFile(second));
        EXPECT_NE(first.path, second.path);
        EXPECT_EQ(HFSUniStr255ToUTF8(a.GetName()), "777000");
        a.WriteBlock("abc", 3);
        b.WriteBlock("de", 2);
        EXPECT_EQ(readAll(first.path), "abc");
        EXPECT_EQ(readAll(second.path), "de");
        struct stat folder {};
        ASSERT_EQ(::stat(std::filesystem::path(first.path).parent_path().c_str(), &folder), 0);
        EXPECT_EQ(folder.st_mode & 0777, 0700u);
    }
    EXPECT_FALSE(std::filesystem::exists(first.path));
    EXPECT_FALSE(std::filesystem::exists(second.path));
}

// Processes that name their temporary files alike race for each free name; every one still gets a
// file of its own (the test suite's own parallel runs hit this with names made from the same tick).
TEST(TTemporaryFileStream, ProcessesRacingForOneNameEachGetAFileOfTheirOwn) {
    constexpr int kProcesses = 6;
    constexpr int kFilesEach = 40;
    const std::string name = "race-" + std::to_string(::getpid());
    int start[2];
    ASSERT_EQ(::pipe(start), 0);
    std::vector<pid_t> children;
    for (int i = 0; i < kProcesses; ++i) {
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(start[1]);
            char go;
            (void)!::read(start[0], &go, 1);  // all start together when the parent closes the pipe
            int status = 0;
            try {
                std::vector<std::unique_ptr<TTemporaryFileStream>> files;
                for (int n = 0; n < kFilesEach; ++n) {
                    files.push_back(std::make_unique<TTemporaryFileStream>(name));
                    const std::string mine = std::to_string(::getpid()) + ":" + std::to_string(n);
                    files.back()->WriteBlock(mine.data(), static_cast<SInt64>(mine.size()));
                }
                for (int n = 0; n < kFilesEach; ++n) {
                    FSRef ref;
                    files[n]->GetFile(ref);
                    if (readAll(ref.path) != std::to_string(::getpid()) + ":" + std::to_string(n)) status = 2;
                }
            } catch (...) {
                status = 1;
            }
            ::_exit(status);
        }
        children.push_back(child);
    }
    ::close(start[0]);
    ::close(start[1]);
    for (pid_t child : children) {
        int status = -1;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "1: a creation failed, 2: a file was shared";
    }
}

}  // namespace
