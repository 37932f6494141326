#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "platform/Foundation/Preferences.h"
#include "platform/Foundation/PropertyListSerialization.h"
#include "tests/platform/Foundation/PropertyListPrinter.h"
#include "tests/platform/Foundation/TemporaryHome.h"
#include "tests/support/FifoInPlace.h"

namespace {

class Preferences : public ::testing::Test {
protected:
    Preferences() {
        store.setReporter([this](const std::string& message) { reports.push_back(message); });
    }

    std::filesystem::path fileOf(const std::string& domain) const {
        return home.preferences() / (domain + ".plist");
    }

    TemporaryHome home;
    PreferencesStore store;
    std::vector<std::string> reports;
};

}  // namespace

TEST_F(Preferences, ValuesSurviveInOneXMLFilePerDomain) {
    ASSERT_TRUE(store.setValue("LastUpdateCheck", PropertyList(260000000), "com.orvo.Beatwick"));
    ASSERT_TRUE(store.setValue("allow-half-stars", PropertyList(true), "com.apple.iTunes"));
    ASSERT_TRUE(store.synchronize("com.orvo.Beatwick"));
    ASSERT_TRUE(store.synchronize("com.apple.iTunes"));
    EXPECT_TRUE(TemporaryHome::contents(fileOf("com.orvo.Beatwick")).starts_with("<?xml"));

    PreferencesStore later;
    EXPECT_EQ(later.copyValue("LastUpdateCheck", "com.orvo.Beatwick"), PropertyList(260000000));
    EXPECT_EQ(later.copyValue("allow-half-stars", "com.apple.iTunes"), PropertyList(true));
    EXPECT_EQ(later.copyValue("LastUpdateCheck", "com.apple.iTunes"), std::nullopt);

    store.setValue("LastUpdateCheck", std::nullopt, "com.orvo.Beatwick");
    ASSERT_TRUE(store.synchronize("com.orvo.Beatwick"));
    later.reset();
    EXPECT_EQ(later.copyValue("LastUpdateCheck", "com.orvo.Beatwick"), std::nullopt);
    EXPECT_TRUE(reports.empty());
}

TEST_F(Preferences, FolderFollowsXDGConfigHomeElseHome) {
    EXPECT_EQ(store.folder(), home.preferences().string());
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(store.folder(), (home.path() / ".config" / "Beatwick" / "Preferences").string());
    EXPECT_EQ(store.pathForDomain("../escape"), "");
    EXPECT_EQ(store.pathForDomain(""), "");
    store.setValue("k", PropertyList(1), "a/b");
    EXPECT_FALSE(store.synchronize("a/b"));
}

TEST_F(Preferences, SynchronizeWithoutChangesReadsOutsideEdits) {
    EXPECT_EQ(store.copyValue("allow-half-stars", "com.apple.iTunes"), std::nullopt);
    TemporaryHome::write(fileOf("com.apple.iTunes"),
                         "<plist><dict><key>allow-half-stars</key><true/></dict></plist>");
    ASSERT_TRUE(store.synchronize("com.apple.iTunes"));
    EXPECT_EQ(store.copyValue("allow-half-stars", "com.apple.iTunes"), PropertyList(true));
}

TEST_F(Preferences, CorruptFilesAreSetAsideAndReportedNeverOverwritten) {
    struct Case {
        const char* name;
        std::string contents;
    };
    const Case cases[] = {
        {"not a property list", "KeepTrack = YES"},
        {"truncated", "<?xml version=\"1.0\"?><plist><dict><key>KeepTrack</key>"},
        {"an array at the top", "<plist><array><true/></array></plist>"},
    };
    int n = 0;
    for (const Case& c : cases) {
        ++n;
        store.reset();
        reports.clear();
        const auto file = fileOf("com.orvo.Beatwick");
        TemporaryHome::write(file, c.contents);
        EXPECT_EQ(store.copyDomain("com.orvo.Beatwick"), PropertyList::Dictionary{}) << c.name;
        const auto aside = home.preferences() / ("com.orvo.Beatwick.plist.corrupt-" + std::to_string(n));
        EXPECT_EQ(TemporaryHome::contents(aside), c.contents) << c.name;
        ASSERT_EQ(reports.size(), 1u) << c.name;
        EXPECT_NE(reports[0].find(aside.string()), std::string::npos) << reports[0];

        ASSERT_TRUE(store.setValue("KeepTrack", PropertyList(false), "com.orvo.Beatwick"));
        ASSERT_TRUE(store.synchronize("com.orvo.Beatwick")) << c.name;
        EXPECT_EQ(TemporaryHome::contents(aside), c.contents) << c.name;
        EXPECT_EQ(PreferencesStore().copyValue("KeepTrack", "com.orvo.Beatwick"), PropertyList(false));
    }
}

// A pipe in place of the file would hang the first read for ever: it is set aside like a
// corrupt file, and the domain starts empty and is saved as a file again.
TEST_F(Preferences, APipeInPlaceOfTheFileIsSetAsideWithoutWaiting) {
    const auto file = fileOf("com.orvo.Beatwick");
    std::filesystem::create_directories(file.parent_path());
    FifoInPlace fifo(file.string());
    ASSERT_TRUE(fifo.made());
    EXPECT_EQ(store.copyDomain("com.orvo.Beatwick"), PropertyList::Dictionary{});
    EXPECT_FALSE(fifo.readerWasStuck());
    const auto aside = home.preferences() / "com.orvo.Beatwick.plist.corrupt-1";
    EXPECT_TRUE(std::filesystem::is_fifo(aside));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("not a regular file"), std::string::npos) << reports[0];
    EXPECT_NE(reports[0].find(aside.string()), std::string::npos) << reports[0];

    ASSERT_TRUE(store.setValue("KeepTrack", PropertyList(false), "com.orvo.Beatwick"));
    ASSERT_TRUE(store.synchronize("com.orvo.Beatwick"));
    EXPECT_TRUE(std::filesystem::is_regular_file(file));
    EXPECT_EQ(PreferencesStore().copyValue("KeepTrack", "com.orvo.Beatwick"), PropertyList(false));
}

TEST_F(Preferences, AFileThatCannotBeSetAsideIsNeverWritten) {
    const auto file = fileOf("com.orvo.Beatwick");
    TemporaryHome::write(file, "garbage");
    struct NoRename : AtomicFileSystem {
        int rename(const std::string&, const std::string&) override {
            errno = EACCES;
            return -1;
        }
    } noRename;
    PreferencesStore blocked({}, noRename);
    blocked.setReporter([this](const std::string& message) { reports.push_back(message); });
    blocked.setValue("KeepTrack", PropertyList(true), "com.orvo.Beatwick");
    EXPECT_FALSE(blocked.synchronize("com.orvo.Beatwick"));
    EXPECT_EQ(TemporaryHome::contents(file), "garbage");
    EXPECT_FALSE(reports.empty());
}

TEST_F(Preferences, AValueNoFileCanHoldIsRefusedWithoutBlockingOthers) {
    EXPECT_FALSE(store.setValue("Huge", PropertyList(~uint64_t{0}), "com.orvo.Beatwick"));
    EXPECT_EQ(reports.size(), 1u);
    ASSERT_TRUE(store.setValue("BPM", PropertyList(120), "com.orvo.Beatwick"));
    ASSERT_TRUE(store.synchronize("com.orvo.Beatwick"));
    EXPECT_EQ(PreferencesStore().copyDomain("com.orvo.Beatwick"), (PropertyList::Dictionary{{"BPM", 120}}));
}

// The reader takes integers up to 2^64 - 1, the writers refuse those above 2^63 - 1: such a value
// read from the file is left out of it, named, and every other setting is still saved.
TEST_F(Preferences, AValueReadThatNoFileCanHoldIsLeftOutAndTheRestIsSaved) {
    struct Case {
        const char* name;
        const char* value;
    };
    const Case cases[] = {
        {"alone", "<integer>9223372036854775808</integer>"},
        {"nested", "<dict><key>Deep</key><array><integer>18446744073709551615</integer></array></dict>"},
    };
    for (const Case& c : cases) {
        reports.clear();
        TemporaryHome::write(fileOf("com.orvo.Beatwick"), std::string("<plist><dict><key>Huge</key>") +
                                                              c.value +
                                                              "<key>KeepTrack</key><true/></dict></plist>");
        store.reset();
        ASSERT_TRUE(store.copyValue("Huge", "com.orvo.Beatwick")) << c.name << ": the file reads";
        store.setValue("LastUpdateCheck", PropertyList(260000000), "com.orvo.Beatwick");
        EXPECT_TRUE(store.synchronize("com.orvo.Beatwick")) << c.name;
        EXPECT_EQ(PreferencesStore().copyDomain("com.orvo.Beatwick"),
                  (PropertyList::Dictionary{{"KeepTrack", true}, {"LastUpdateCheck", 260000000}}))
            << c.name;
        ASSERT_EQ(reports.size(), 1u) << c.name;
        EXPECT_NE(reports[0].find("\"Huge\""), std::string::npos) << reports[0];
    }
}

TEST_F(Preferences, AFailedWriteKeepsTheChangeForTheNextSynchronize) {
    struct FailOnce : AtomicFileSystem {
        int sync(int fd) override {
            if (failures-- > 0) {
                errno = ENOSPC;
                return -1;
            }
            return AtomicFileSystem::sync(fd);
        }
        int failures{1};
    } failOnce;
    TemporaryHome::write(fileOf("com.orvo.Beatwick"),
                         "<plist><dict><key>BPM</key><integer>1</integer></dict></plist>");
    PreferencesStore flaky({}, failOnce);
    flaky.setReporter([this](const std::string& message) { reports.push_back(message); });
    flaky.setValue("BPM", PropertyList(2), "com.orvo.Beatwick");
    EXPECT_FALSE(flaky.synchronize("com.orvo.Beatwick"));
    EXPECT_EQ(PreferencesStore().copyValue("BPM", "com.orvo.Beatwick"), PropertyList(1));
    EXPECT_EQ(reports.size(), 1u);
    EXPECT_TRUE(flaky.synchronize("com.orvo.Beatwick"));
    EXPECT_EQ(PreferencesStore().copyValue("BPM", "com.orvo.Beatwick"), PropertyList(2));
}

TEST_F(Preferences, CoreFoundationCallsUseTheSharedStore) {
    PreferencesStore::shared().reset();
    TemporaryHome::write(fileOf("com.apple.iTunes"),
                         "<plist><dict><key>allow-half-stars</key><true/></dict></plist>");
    EXPECT_EQ(CFPreferencesCopyAppValue("allow-half-stars", "com.apple.iTunes"), PropertyList(true));
    CFPreferencesSetAppValue("LastUpdateCheck", PropertyList(int32_t{300000000}),
                             kCFPreferencesCurrentApplication);
    EXPECT_TRUE(CFPreferencesAppSynchronize(kCFPreferencesCurrentApplication));
    EXPECT_EQ(PreferencesStore().copyValue("LastUpdateCheck", "com.orvo.Beatwick"), PropertyList(300000000));
    PreferencesStore::shared().reset();
}
