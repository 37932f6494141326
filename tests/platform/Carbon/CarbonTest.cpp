#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/Carbon/FileReference.h"
#include "platform/Carbon/MacMemory.h"
#include "platform/Carbon/TickClock.h"

TEST(Handles, ResizeKeepsBytesAndReportsStatus) {
    UniqueHandle h(NewHandle(3));
    ASSERT_TRUE(h);
    std::memcpy(*h.get(), "abc", 3);
    SetHandleSize(h.get(), 100000);
    ASSERT_EQ(MemError(), noErr);
    EXPECT_EQ(GetHandleSize(h.get()), 100000);
    EXPECT_EQ(std::memcmp(*h.get(), "abc", 3), 0);
    SetHandleSize(h.get(), -1);
    EXPECT_EQ(MemError(), paramErr);
    EXPECT_EQ(GetHandleSize(nullptr), 0);
    EXPECT_EQ(MemError(), nilHandleErr);
}

TEST(Pointers, KnowTheirSize) {
    Ptr p = NewPtrClear(17);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(GetPtrSize(p), 17);
    EXPECT_EQ(p[16], 0);
    SetPtrSize(p, 18);
    EXPECT_EQ(MemError(), memFullErr);
    DisposePtr(p);
}

TEST(TickClock, ReplaceableInTests) {
    ManualTickSource source;
    source.set(500);
    {
        ScopedTickSource scoped(source);
        EXPECT_EQ(TickCount(), 500u);
        source.advance(120);
        EXPECT_EQ(TickCount(), 620u);
    }
    EXPECT_NE(TickCount(), 620u);
}

TEST(FileURLs, RoundTripAndRejectForeignHosts) {
    struct Case {
        const char* path;
        const char* url;
    };
    const Case cases[] = {
        {"/Music/a b.mp3", "file:///Music/a%20b.mp3"},
        {"/x/%.txt", "file:///x/%25.txt"},
        {"/caf\xc3\xa9", "file:///caf%C3%A9"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FileURLFromPath(c.path), c.url) << c.path;
        EXPECT_EQ(PathFromFileURL(c.url), std::optional<std::string>(c.path)) << c.url;
    }
    EXPECT_EQ(PathFromFileURL("file://localhost/tmp"), std::optional<std::string>("/tmp"));
    EXPECT_EQ(PathFromFileURL("file://server/tmp"), std::nullopt);
    EXPECT_EQ(PathFromFileURL("http:///tmp"), std::nullopt);
    EXPECT_EQ(PathFromFileURL("file:///bad%2"), std::nullopt);
    EXPECT_EQ(PathFromFileURL("file:///bad%zz"), std::nullopt);
}

TEST(FileReferences, TellAReplacedFileFromTheOriginal) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("carbon-test-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::string file = (dir / "track.mp3").string();
    std::ofstream(file) << "one";

    FSRef ref;
    Boolean isDir = true;
    ASSERT_EQ(FSPathMakeRef(file, &ref, &isDir), noErr);
    EXPECT_FALSE(isDir);
    EXPECT_TRUE(FSRefIsCurrent(ref));

    auto data = FSRefData(ref);
    auto back = FSRefFromData(data.data(), data.size());
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, ref);
    EXPECT_EQ(FSRefFromData(data.data(), 16), std::nullopt);

    fs::remove(file);
    std::ofstream(dir / "other") << "keeps the old inode busy";
    std::ofstream(file) << "two";
    FSRef again;
    ASSERT_EQ(FSPathMakeRef(file, &again, nullptr), noErr);
    EXPECT_EQ(FSCompareFSRefs(&ref, &again) == noErr, ref.inode == again.inode);

    EXPECT_EQ(FSPathMakeRef((dir / "missing").string(), &again, nullptr), fnfErr);
    EXPECT_EQ(FSPathMakeRef("relative", &again, nullptr), paramErr);
    fs::remove_all(dir);
}
