// The sample library as the stand-in provides it: every file track has a file of its own under
// the library's folder and points at it; a library that is there is left alone.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "platform/Carbon/FileReference.h"
#include "player/MusicLibraryFile.h"
#include "player/SampleLibrary.h"

namespace playertest {
namespace {

namespace fs = std::filesystem;
using player::MusicLibraryFile;

const std::string kSample = std::string(BEATWICK_RESOURCE_DIR) + "/SampleLibrary";

class SampleLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "sample-library-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        fFolder = fs::path(pattern) / "Music" / "iTunes";
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(fFolder.parent_path().parent_path(), ignored);
    }
    std::string libraryPath() const { return (fFolder / MusicLibraryFile::kFileName).string(); }

    fs::path fFolder;
};

TEST_F(SampleLibraryTest, EveryTrackPointsAtAFileOfItsOwnUnderTheLibrarysFolder) {
    ASSERT_TRUE(player::SampleLibrary::provide(kSample, libraryPath()).ok());
    MusicLibraryFile file(libraryPath());
    auto provided = file.load();
    ASSERT_TRUE(provided.ok()) << provided.error();
    MusicLibraryFile sampleFile(kSample + "/" + MusicLibraryFile::kFileName);
    auto sample = sampleFile.load();
    ASSERT_TRUE(sample.ok()) << sample.error();

    const fs::path music = fFolder / "iTunes Music";
    EXPECT_EQ(provided.value().musicFolder, FileURLFromPath(music.string() + "/"));
    ASSERT_EQ(provided.value().trackCount(), sample.value().trackCount());
    for (const SInt32 id : sample.value().libraryPlaylist().items) {
        const player::LibraryTrack& was = *sample.value().track(id);
        const player::LibraryTrack* now = provided.value().track(id);
        ASSERT_NE(now, nullptr) << was.name();
        EXPECT_EQ(now->persistentID, was.persistentID) << was.name();
        EXPECT_EQ(now->name(), was.name());
        // "file:///Music/iTunes/iTunes%20Music/<artist>/<album>/<track>" moves below the folder.
        const fs::path expected =
            music / fs::path(was.path()).lexically_relative("/Music/iTunes/iTunes Music");
        EXPECT_EQ(now->path(), expected.string()) << was.name();
        EXPECT_TRUE(fs::is_regular_file(now->path())) << now->path();
        EXPECT_EQ(now->artwork.size(), was.artwork.size()) << was.name() << ": the artwork came too";
    }
    EXPECT_EQ(provided.value().playlists().size(), sample.value().playlists().size());
}

TEST_F(SampleLibraryTest, ALibraryThatIsThereIsLeftAlone) {
    fs::create_directories(fFolder);
    std::ofstream(libraryPath()) << "the user's own";
    ASSERT_TRUE(player::SampleLibrary::provide(kSample, libraryPath()).ok());
    std::ifstream in(libraryPath());
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "the user's own");
    EXPECT_FALSE(fs::exists(fFolder / "iTunes Music"));
}

}  // namespace
}  // namespace playertest
