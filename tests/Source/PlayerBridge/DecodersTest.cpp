// Reading replies: each decoder's value and its failure value, the text and version rules, and
// what a silent or late player gives.
#include <cmath>

#include "Source/PlayerBridge/PBPlaylist.h"
#include "Source/PlayerBridge/PBPlaylistEnumerator.h"
#include "Source/PlayerBridge/PBRequestBatch.h"
#include "Source/PlayerBridge/PBTrack.h"
#include "platform/AppleEvents/AETextEncoding.h"
#include "platform/Carbon/FileReference.h"
#include "tests/Source/PlayerBridge/BridgeFixture.h"

using namespace trees;
using namespace bridgetest;

namespace {

class Decoders : public BridgeTest {
protected:
    std::shared_ptr<PBTrack> fTrack = PBTrack::create(trackSpecifier());
};

AEDesc utxt(const std::string& text) {
    return AEDesc::makeData(typeUnicodeText, UTF16BytesFromUTF8(text));
}

AEDesc fsrf(const std::string& path) {
    return AEDesc::makeData(typeFSRef, FSRefData(FSRef{1, 2, path}));
}

}  // namespace

TEST_F(Decoders, TextRule) {
    const struct {
        const char* name;
        AEDesc reply;
        std::optional<std::string> expected;
    } cases[] = {
        {"TEXT", text("Blue"), "Blue"},
        {"utxt", utxt("Blé"), "Blé"},
        {"empty utxt", utxt(""), ""},
        {"an odd trailing byte of utxt is dropped", bytes("utxt", std::string("A\0B\0C", 5)), "AB"},
        {"vers gives its short version", versionRecord("7.2.1"), "7.2.1"},
        // As UTF-16 the short version is larger than the record itself.
        {"vers whose text outgrows it", versionRecord("12.5.1.1234567890"), "12.5.1.1234567890"},
        {"another type is no text", slong(5), std::nullopt},
    };
    for (const auto& c : cases) {
        answerDirect(c.reply.clone());
        EXPECT_EQ(fTrack->name(), c.expected) << c.name;
    }
}

TEST_F(Decoders, VersionRuleReadsOnlyTheBytesReceived) {
    const struct {
        const char* name;
        AEDesc reply;
        std::optional<std::string> expected;
    } cases[] = {
        {"short version string", versionRecord("9.1"), "9.1"},
        {"empty short version string", versionRecord(""), ""},
        {"record of 7 bytes", bytes("vers", std::string("\x07\x21\x80\x00\x00\x00\x00", 7)), ""},
        {"record shorter than 7 bytes", bytes("vers", std::string("\x07\x21\x80\x00\x00\x00", 6)),
         std::nullopt},
        {"length beyond the record",
         bytes("vers", std::string("\x07\x21\x80\x00\x00\x00\xc8"
                                   "7.2",
                                   10)),
         "7.2"},
        {"not a version", slong(7), std::nullopt},
    };
    for (const auto& c : cases) {
        answerDirect(c.reply.clone());
        EXPECT_EQ(fTrack->getPropertyAsVersionForDesc(fourCC("pnam")), c.expected) << c.name;
        EXPECT_EQ(requestedProperty(fEvents.back()), typeVersion) << c.name;
    }
}

TEST_F(Decoders, NumbersCodesPathsAndDates) {
    answerDirect(shor(128));
    EXPECT_EQ(fTrack->bpm(), 128);
    answerDirect(comp(0x00A1B2C3D4E5F607));
    EXPECT_EQ(fTrack->getPropertyAsLongIntegerForDesc(fourCC("pPID")), 0x00A1B2C3D4E5F607);
    answerDirect(enumCode("kPSP"));
    EXPECT_EQ(PlayerBridge::sharedInstance().playerState(), code("kPSP"));
    answerDirect(slong(0x100));  // only the low 8 bits make the truth value
    EXPECT_FALSE(fTrack->enabled());
    EXPECT_TRUE(fTrack->unplayed());
    answerDirect(fsrf("/Music/a b.mp3"));
    EXPECT_EQ(fTrack->location(), "file:///Music/a%20b.mp3");
    EXPECT_EQ(fTrack->path(), "/Music/a b.mp3");
    answerDirect(value(typeLongDateTime, SInt64{3061152000 + 3600}));
    EXPECT_EQ(fTrack->playedDate(), 3600.0);
}

TEST_F(Decoders, FailureValuesOfAReplyWithoutItsParameter) {
    fAnswer = [](const AppleEvent&, AppleEvent&) -> OSStatus { return errAENoSuchObject; };
    EXPECT_EQ(PlayerBridge::sharedInstance().playerState(), code("kPSS"));
    EXPECT_EQ(fTrack->bpm(), -1);
    EXPECT_EQ(fTrack->getPropertyAsLongIntegerForDesc(fourCC("pPID")), -1);
    EXPECT_TRUE(fTrack->bookmarkable());  // -1 has its low bits set
    EXPECT_EQ(fTrack->name(), std::nullopt);
    EXPECT_EQ(fTrack->path(), std::nullopt);
    EXPECT_EQ(fTrack->dateAdded(), std::nullopt);
    EXPECT_EQ(fTrack->getCountOfElementsOfClass(fourCC("cArt")), -1);
    EXPECT_EQ(PlayerBridge::sharedInstance().currentTrack(), nullptr);
    EXPECT_EQ(PlayerBridge::sharedInstance().selectedTracks(), std::nullopt);
    // A set hands the event over and never sees the player's own error.
    EXPECT_TRUE(fTrack->setPropertyWithInteger(5, fourCC("pBPM")));
}

TEST_F(Decoders, FailureValuesWhenThePlayerIsSilentOrLate) {
    const auto playlist = PBPlaylist::create(playlistSpecifier(9));
    const struct {
        const char* name;
        std::function<void()> arrange;
    } situations[] = {
        {"no player runs", [&] { quitPlayer(); }},
        {"the reply comes 121 ticks late", [&] { fTransport->setReplyDelay(121); }},
        {"the reply never comes", [&] { fTransport->setDropReplies(true); }},
    };
    quitPlayer();
    for (const auto& s : situations) {
        PlayerBridge::forgetCachedVersion();
        startPlayer(kPlayerPID);
        s.arrange();
        answerDirect(slong(3));
        EXPECT_EQ(PlayerBridge::sharedInstance().playerState(), 0xFFFFFFFF) << s.name;
        EXPECT_EQ(PlayerBridge::sharedInstance().playerVolume(), -1) << s.name;
        EXPECT_EQ(PlayerBridge::sharedInstance().playlistCount(), -1) << s.name;
        EXPECT_EQ(fTrack->getPropertyAsLongIntegerForDesc(fourCC("pPID")), -1) << s.name;
        EXPECT_EQ(fTrack->name(), std::nullopt) << s.name;
        EXPECT_EQ(PlayerBridge::sharedInstance().versionString(), std::nullopt) << s.name;
        EXPECT_EQ(PlayerBridge::sharedInstance().versionNumber(), 0u) << s.name;
        EXPECT_EQ(PlayerBridge::sharedInstance().currentTrack(), nullptr) << s.name;
        EXPECT_EQ(PlayerBridge::sharedInstance().libraryPlaylist(), nullptr) << s.name;
        EXPECT_TRUE(PlayerBridge::sharedInstance().playlists().empty()) << s.name;
        EXPECT_TRUE(PlayerBridge::sharedInstance().userPlaylists().empty()) << s.name;
        EXPECT_TRUE(playlist->tracks().empty()) << s.name;
        fTransport->setReplyDelay(0);
        fTransport->setDropReplies(false);
        quitPlayer();
    }
}

TEST_F(Decoders, AReplyWithinTheTimeOutIsRead) {
    answerDirect(slong(42));
    fTransport->setReplyDelay(119);
    const UInt32 before = fClock.ticks();
    EXPECT_EQ(PlayerBridge::sharedInstance().playerVolume(), 42);
    EXPECT_EQ(fClock.ticks() - before, 119u);
    fTransport->setReplyDelay(121);
    EXPECT_EQ(PlayerBridge::sharedInstance().playerVolume(), -1);
    // A set does not wait, so a slow player does not hold it up.
    const UInt32 beforeSet = fClock.ticks();
    EXPECT_TRUE(fTrack->setPropertyWithInteger(5, fourCC("pBPM")));
    EXPECT_EQ(fClock.ticks(), beforeSet);
}

// A refresh whose player stopped answering waits one time-out: the batch's later requests fail
// at once, without reaching the player; outside a batch, and in a batch the player answers,
// every request is sent and waits as always.
TEST_F(Decoders, ABatchWaitsOnceForAPlayerThatDoesNotAnswer) {
    answerDirect(slong(42));
    {
        const PBRequestBatch batch;
        EXPECT_EQ(PlayerBridge::sharedInstance().playerVolume(), 42);
        EXPECT_EQ(fTrack->bpm(), 42);
        EXPECT_FALSE(batch.unanswered());
    }
    EXPECT_EQ(fEvents.size(), 2u);

    fTransport->setReplyDelay(121);
    const UInt32 start = fClock.ticks();
    {
        const PBRequestBatch batch;
        EXPECT_EQ(PlayerBridge::sharedInstance().playerVolume(), -1);
        const UInt32 waited = fClock.ticks() - start;
        EXPECT_GE(waited, 120u) << "the first request waits its time-out";
        EXPECT_TRUE(batch.unanswered());
        EXPECT_EQ(fTrack->bpm(), -1);
        EXPECT_EQ(fTrack->name(), std::nullopt);
        EXPECT_EQ(PlayerBridge::sharedInstance().currentTrack(), nullptr);
        {
            const PBRequestBatch inner;
            EXPECT_TRUE(inner.unanswered()) << "nested in an unanswered batch";
            EXPECT_EQ(PlayerBridge::sharedInstance().playerState(), 0xFFFFFFFF);
        }
        EXPECT_EQ(fClock.ticks() - start, waited) << "no later request of the batch waited";
        EXPECT_EQ(fEvents.size(), 3u) << "nor reached the player";
        // Sends that expect no reply still go.
        EXPECT_TRUE(fTrack->setPropertyWithInteger(5, fourCC("pBPM")));
        EXPECT_EQ(fEvents.size(), 4u);
    }
    const UInt32 after = fClock.ticks();
    EXPECT_EQ(PlayerBridge::sharedInstance().playerVolume(), -1);
    EXPECT_GE(fClock.ticks() - after, 120u) << "outside the batch a request waits again";

    fTransport->setReplyDelay(0);
    {
        const PBRequestBatch outer;
        {
            const PBRequestBatch inner;
            fTransport->setReplyDelay(121);
            EXPECT_EQ(fTrack->bpm(), -1);
        }
        EXPECT_TRUE(outer.unanswered()) << "an inner batch passes it on";
    }
}

// A player that answers, but late: a batch spends one time-out of waiting in all, however its
// slow replies split it. Each request waits only what is left; once that is spent the later
// requests fail at once without reaching the player. A quick player never runs out.
TEST_F(Decoders, ABatchOfASlowPlayerWaitsOneTimeOutInAll) {
    answerDirect(slong(42));
    const struct {
        const char* name;
        UInt32 delay;
        std::vector<SInt32> volumes;  // what each of four requests reads
        UInt32 waited;
        size_t sent;
    } cases[] = {
        {"1.9 s late: the second request waits the rest", 114, {42, -1, -1, -1}, 120, 2},
        {"50 ticks late: two answered, the third waits the rest", 50, {42, 42, -1, -1}, 120, 3},
        {"a request's whole time-out late", 120, {42, -1, -1, -1}, 120, 1},
        {"quick", 1, {42, 42, 42, 42}, 4, 4},
    };
    for (const auto& c : cases) {
        fTransport->setReplyDelay(c.delay);
        const size_t before = fEvents.size();
        const UInt32 start = fClock.ticks();
        std::vector<SInt32> volumes;
        {
            const PBRequestBatch batch;
            for (int i = 0; i < 4; ++i) volumes.push_back(PlayerBridge::sharedInstance().playerVolume());
            EXPECT_EQ(batch.unanswered(), c.waited >= PBRequestBatch::kBudgetTicks) << c.name;
        }
        EXPECT_EQ(volumes, c.volumes) << c.name;
        EXPECT_EQ(fClock.ticks() - start, c.waited) << c.name;
        EXPECT_EQ(fEvents.size() - before, c.sent) << c.name;
    }

    // Nested batches share the budget: the outer one's later request does not wait again.
    fTransport->setReplyDelay(100);
    const UInt32 start = fClock.ticks();
    {
        const PBRequestBatch outer;
        {
            const PBRequestBatch inner;
            EXPECT_EQ(PlayerBridge::sharedInstance().playerVolume(), 42);
        }
        EXPECT_FALSE(outer.unanswered());
        EXPECT_EQ(PlayerBridge::sharedInstance().playerVolume(), -1);
        EXPECT_TRUE(outer.unanswered());
    }
    EXPECT_EQ(fClock.ticks() - start, 120u);
}

TEST_F(Decoders, ListsOfTracks) {
    answerDirect(list(trackSpecifier(1), trackSpecifier(2), trackSpecifier(3)));
    const auto selected = PlayerBridge::sharedInstance().selectedTracks();
    ASSERT_TRUE(selected);
    ASSERT_EQ(selected->size(), 3u);
    EXPECT_TRUE((*selected)[2]->descriptor() == trackSpecifier(3));
    // A single item reads as a list of one; a track made from a list adopts its first item.
    answerDirect(trackSpecifier(5));
    EXPECT_EQ(PlayerBridge::sharedInstance().selectedTracks()->size(), 1u);
    answerDirect(list(trackSpecifier(6), trackSpecifier(7)));
    EXPECT_TRUE(PlayerBridge::sharedInstance().currentTrack()->descriptor() == trackSpecifier(6));
    answerDirect(list());
    EXPECT_TRUE(PlayerBridge::sharedInstance().currentTrack()->descriptor() == list());
}

TEST_F(Decoders, ArtworkReadsAtMostAHundredWhateverCountThePlayerClaims) {
    // Every request answers: the count, each element, each picture (bytes that make no image).
    answerVersion("10.6.3", [](const AppleEvent&, AppleEvent& reply) {
        const AEDesc count = slong(0x7FFFFFFF);
        return AEPutParamDesc(&reply, keyDirectObject, &count);
    });
    EXPECT_TRUE(fTrack->artwork().empty());
    EXPECT_LE(fEvents.size(), 2u + 2 * 100) << "one count, then an element and its picture each";
    EXPECT_GE(fEvents.size(), 2u * 100);
}
