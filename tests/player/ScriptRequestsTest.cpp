// The requests of Beatwick's scripts: the library's genres and the info window of a track.
#include "PlayerFixture.h"

namespace playertest {
namespace {

class ScriptRequestsTest : public PlayerFixture {
protected:
    void setGenre(SInt32 trackID, const char* genre) {
        fModel.library().track(trackID)->set(fourCC("pGen"), std::string(genre));
    }
    std::string lastLogged() {
        const auto entries = fDispatcher.log().entries();
        return entries.empty() ? std::string() : entries.back().event;
    }
};

TEST_F(ScriptRequestsTest, GenreListNamesEachGenreOnceInLibraryOrderWithoutEmptyOnes) {
    setGenre(101, "Rock");
    setGenre(102, "");
    setGenre(103, "ambient");
    setGenre(104, "Rock");
    AppleEvent reply;
    ASSERT_EQ(send(fourCC("hook"), fourCC("Gnrs"), "", &reply), noErr);
    EXPECT_EQ(resultOf(reply), "['utxt'(\"Rock\"), 'utxt'(\"ambient\")]");
}

TEST_F(ScriptRequestsTest, GenreListOfALibraryWithoutGenresIsEmpty) {
    AppleEvent reply;
    ASSERT_EQ(send(fourCC("hook"), fourCC("Gnrs"), "", &reply), noErr);
    EXPECT_EQ(resultOf(reply), "[]");
}

TEST_F(ScriptRequestsTest, InfoRequestIsAnsweredForATrackAndLogged) {
    AppleEvent reply;
    ASSERT_EQ(send(fourCC("hook"), fourCC("Info"), "", &reply), noErr);
    EXPECT_EQ(resultOf(reply), "errn -1728") << "no current track before anything plays";

    ASSERT_TRUE(fModel.play());
    reply = AppleEvent();
    ASSERT_EQ(send(fourCC("hook"), fourCC("Info"), "", &reply), noErr);
    EXPECT_EQ(resultOf(reply), "(none)");
    const AEDesc track = currentTrack();
    reply = AppleEvent();
    ASSERT_EQ(send(fourCC("hook"), fourCC("Info"), "'----':@", &reply, track), noErr);
    EXPECT_EQ(resultOf(reply), "(none)");
    EXPECT_EQ(lastLogged().rfind("'hook'\\'Info'", 0), 0u) << lastLogged();

    reply = AppleEvent();
    ASSERT_EQ(send(fourCC("hook"), fourCC("Info"),
                   "'----':obj { form:indx, want:type(cPly), seld:1, from:'null'() }", &reply),
              noErr);
    EXPECT_EQ(resultOf(reply), "errn -1728") << "a playlist has no info window";
}

}  // namespace
}  // namespace playertest
