#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "Source/AssignedTracks.h"
#include "platform/Foundation/PropertyListSerialization.h"
#include "tests/support/FifoInPlace.h"

namespace {

namespace fs = std::filesystem;

struct FailingRename : AtomicFileSystem {
    bool fail{true};
    int rename(const std::string& from, const std::string& to) override {
        if (!fail) return AtomicFileSystem::rename(from, to);
        errno = EACCES;
        return -1;
    }
};

struct AssignedTracksTest : ::testing::Test {
    fs::path folder;
    std::vector<std::string> logged;

    void SetUp() override {
        folder =
            fs::temp_directory_path() / ("assigned-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }
    std::string path() const { return (folder / AssignedTracks::kFileName).string(); }
    AssignedTracks::Log log() {
        return [this](const std::string& m) { logged.push_back(m); };
    }
    PropertyList::Array onDisk() const {
        auto read = PropertyListSerialization::propertyListWithContentsOfFile(path());
        EXPECT_TRUE(read.ok()) << read.error();
        return read.ok() && read.value().array() ? *read.value().array() : PropertyList::Array{};
    }
};

PropertyList entry(SInt64 id, SInt32 bpm) {
    return PropertyList::Dictionary{{"TrackPersistentID", PropertyList(id)}, {"BPM", bpm}};
}

TEST_F(AssignedTracksTest, RecordReplacesAndMovesToTheEnd) {
    AssignedTracks store(path(), log());
    store.record(1, 100);
    store.record(2, 110);
    store.record(1, 120);
    EXPECT_EQ(store.entries(), (PropertyList::Array{entry(2, 110), entry(1, 120)}));
    EXPECT_TRUE(store.lookup(1, 120));
    EXPECT_FALSE(store.lookup(1, 100)) << "the BPM was changed since";
    EXPECT_FALSE(store.update(3, 90)) << "update never adds";
}

TEST_F(AssignedTracksTest, IdsZeroAndMinusOneAreNeverRecordedOrMatched) {
    std::ofstream(path()) << R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><array>
<dict><key>BPM</key><integer>120</integer><key>TrackPersistentID</key><integer>-1</integer></dict>
</array></plist>)";
    AssignedTracks store(path(), log());
    store.load();
    EXPECT_FALSE(store.lookup(-1, 120)) << "an entry of an unreadable ID matches no track";
    store.record(-1, 120);
    store.record(0, 120);
    store.record(5, 0);
    EXPECT_EQ(store.entries().size(), 1u);
    EXPECT_FALSE(store.update(-1, 130));
}

TEST_F(AssignedTracksTest, SavesXmlAndReadsItBack) {
    AssignedTracks store(path(), log());
    store.record(0x7FFFFFFFFFFFFFF0, 128);
    ASSERT_TRUE(store.save());
    std::ifstream in(path());
    std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(text.find("<key>TrackPersistentID</key>"), std::string::npos) << text;

    AssignedTracks again(path(), log());
    again.load();
    EXPECT_TRUE(again.lookup(0x7FFFFFFFFFFFFFF0, 128));
}

TEST_F(AssignedTracksTest, AMissingFileIsAnEmptyListWithoutAWord) {
    AssignedTracks store(path(), log());
    store.load();
    EXPECT_TRUE(store.entries().empty());
    EXPECT_TRUE(logged.empty());
    store.record(1, 100);
    EXPECT_TRUE(store.save());
}

TEST_F(AssignedTracksTest, AnUnreadableFileIsSetAsideReportedAndNeverSavedOver) {
    const struct {
        const char* name;
        const char* contents;
    } cases[] = {{"garbage", "not a plist"},
                 {"truncated", "<plist version=\"1.0\"><array><dict><key>BPM</key><integer>1"},
                 {"not an array", "<plist version=\"1.0\"><dict/></plist>"}};
    int n = 0;
    for (const auto& c : cases) {
        ++n;
        std::ofstream(path()) << c.contents;
        AssignedTracks store(path(), log());
        store.load();
        EXPECT_TRUE(store.entries().empty()) << c.name;
        const std::string aside = path() + ".corrupt-" + std::to_string(n);
        std::ifstream in(aside);
        EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}), c.contents) << c.name;
        ASSERT_EQ(logged.size(), static_cast<size_t>(n)) << c.name;
        EXPECT_NE(logged.back().find(aside), std::string::npos) << logged.back();

        store.record(7, 120);
        EXPECT_TRUE(store.save()) << c.name;
        EXPECT_EQ(onDisk(), PropertyList::Array{entry(7, 120)}) << c.name;
        fs::remove(path());
    }
}

TEST_F(AssignedTracksTest, APipeInPlaceOfTheFileIsSetAsideWithoutWaiting) {
    FifoInPlace fifo(path());
    ASSERT_TRUE(fifo.made());
    AssignedTracks store(path(), log());
    store.load();
    EXPECT_FALSE(fifo.readerWasStuck());
    EXPECT_TRUE(store.entries().empty());
    EXPECT_TRUE(fs::is_fifo(path() + ".corrupt-1"));
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_NE(logged[0].find(path() + ".corrupt-1"), std::string::npos) << logged[0];
    store.record(7, 120);
    EXPECT_TRUE(store.save());
    EXPECT_EQ(onDisk(), PropertyList::Array{entry(7, 120)});
}

TEST_F(AssignedTracksTest, OddEntriesAreLeftInTheSetAsideFileSoTheRestCanBeSaved) {
    // An ID above the signed range could never be written back, so every later save would fail.
    const std::string contents = R"(<plist version="1.0"><array>
<dict><key>BPM</key><integer>120</integer><key>TrackPersistentID</key><integer>5</integer></dict>
<dict><key>BPM</key><integer>90</integer><key>TrackPersistentID</key><integer>18446744073709551615</integer></dict>
<dict><key>BPM</key><integer>90</integer><key>TrackPersistentID</key><string>6</string></dict>
<dict><key>BPM</key><integer>4294967296</integer><key>TrackPersistentID</key><integer>7</integer></dict>
<dict><key>BPM</key><integer>90</integer><key>TrackPersistentID</key><integer>8</integer><key>X</key><true/></dict>
<string>9</string>
</array></plist>)";
    std::ofstream(path()) << contents;
    AssignedTracks store(path(), log());
    store.load();
    EXPECT_EQ(store.entries(), PropertyList::Array{entry(5, 120)});
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_NE(logged[0].find("5 of its entries"), std::string::npos) << logged[0];
    std::ifstream in(path() + ".corrupt-1");
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}), contents);
    store.record(10, 100);
    EXPECT_TRUE(store.save());
    EXPECT_EQ(onDisk(), (PropertyList::Array{entry(5, 120), entry(10, 100)}));
}

TEST_F(AssignedTracksTest, AnUnreadableFileThatCannotBeSetAsideIsKept) {
    std::ofstream(path()) << "not a plist";
    FailingRename fileSystem;
    AssignedTracks store(path(), log(), fileSystem);
    store.load();
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_NE(logged[0].find("will not be saved"), std::string::npos) << logged[0];
    store.record(1, 100);
    EXPECT_FALSE(store.save());
    std::ifstream in(path());
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}), "not a plist");
    EXPECT_TRUE(store.lookup(1, 100)) << "the list in memory stays current";
}

TEST_F(AssignedTracksTest, FailedWriteKeepsTheListLogsAndIsRetried) {
    FailingRename fileSystem;
    AssignedTracks store(path(), log(), fileSystem);
    store.record(1, 100);
    EXPECT_FALSE(store.save());
    EXPECT_TRUE(store.savePending());
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_NE(logged[0].find(path()), std::string::npos) << logged[0];
    EXPECT_NE(logged[0].find("ermission"), std::string::npos) << "the reason: " << logged[0];
    EXPECT_TRUE(store.lookup(1, 100));
    EXPECT_FALSE(fs::exists(path()));

    fileSystem.fail = false;
    store.record(2, 110);
    EXPECT_TRUE(store.save());
    EXPECT_FALSE(store.savePending());
    EXPECT_EQ(onDisk(), (PropertyList::Array{entry(1, 100), entry(2, 110)})) << "nothing lost by the failure";
}

TEST_F(AssignedTracksTest, NoFolderFailsAndLogs) {
    AssignedTracks store("", log());
    store.record(1, 100);
    EXPECT_FALSE(store.save());
    EXPECT_EQ(logged.size(), 1u);
}

}  // namespace
