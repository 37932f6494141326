// Persistent IDs by player version: the version packing, the ID forms of tracks and playlists,
// the look-ups by ID, and the text form.
#include "Source/PlayerBridge/PBPlaylist.h"
#include "Source/PlayerBridge/PBTrack.h"
#include "Source/PlayerBridge/PersistentID.h"
#include "platform/AppleEvents/AETextEncoding.h"
#include "tests/Source/PlayerBridge/BridgeFixture.h"

using namespace trees;
using namespace bridgetest;

namespace {

constexpr SInt64 kID = 0x00A1B2C3D4E5F607;

class PersistentIds : public BridgeTest {
protected:
    // A player of the given version that answers 'pPID' and 'pPIS' in the form that version
    // uses, and answers look-ups with a track.
    void playerOfVersion(const std::string& version, bool textIds) {
        answerVersion(version, [textIds](const AppleEvent& event, AppleEvent& reply) -> OSStatus {
            const OSType property = requestedProperty(event);
            AEDesc answer;
            if (property == code("pPID") || property == code("pPIS"))
                answer = textIds ? AEDesc::makeData(typeUnicodeText, UTF16BytesFromUTF8("00A1B2C3D4E5F607"))
                                 : comp(kID);
            else
                answer = trackSpecifier(8);
            return AEPutParamDesc(&reply, keyDirectObject, &answer);
        });
    }
    // What the last event asked for: a property, or the key of a look-up.
    AEDesc lastLookUpKey() const {
        const AEDesc parameters = lastParameters();
        const AEDesc* search = parameters.find(keyDirectObject);
        if (!search || !search->find(keyAEContainer)) return AEDesc();
        const AEDesc* test = search->find(keyAEContainer)->find(keyAEKeyData);
        return test && test->find(keyAEObject2) ? test->find(keyAEObject2)->clone() : AEDesc();
    }
};

}  // namespace

TEST(VersionPacking, PartsAreShiftedAndOverlap) {
    const struct {
        const char* text;
        UInt32 packed;
    } cases[] = {
        {"7.2.1", 0x721},  {"6.0", 0x600},     {"12.5.1", 0xC51}, {"9", 0x900},      {"7.20.1", 0x741},
        {"10.x.3", 0xA03}, {"7.2.1.9", 0x721}, {"", 0},           {"300.1", 0x2C10}, {"7b2.1", 0x710},
    };
    for (const auto& c : cases) EXPECT_EQ(PlayerBridge::packedVersion(c.text), c.packed) << c.text;
}

TEST_F(PersistentIds, TheVersionIsReadOnceAndRetriedUntilRead) {
    fAnswer = [](const AppleEvent&, AppleEvent&) -> OSStatus { return errAENoSuchObject; };
    EXPECT_EQ(PlayerBridge::sharedInstance().versionNumber(), 0u);
    answerVersion("7.2.1");
    EXPECT_EQ(PlayerBridge::sharedInstance().versionNumber(), 0x721u);
    const size_t sent = fEvents.size();
    EXPECT_EQ(PlayerBridge::sharedInstance().versionString(), "7.2.1");
    EXPECT_TRUE(PlayerBridge::sharedInstance().versionGreaterThan(0x720));
    EXPECT_FALSE(PlayerBridge::sharedInstance().versionLessThan(0x721));
    EXPECT_EQ(fEvents.size(), sent);
}

TEST_F(PersistentIds, TrackIdFormsByVersion) {
    const struct {
        const char* version;
        bool textIds;
        SInt64 id;
        std::optional<std::string> idText;
        const char* asked;  // the property the text form asked for, "" when none
    } cases[] = {
        {"5.0", false, -1, std::nullopt, ""},
        {"6.0", false, kID, "00A1B2C3D4E5F607", "pPID"},
        {"7.1.9", false, kID, "00A1B2C3D4E5F607", "pPID"},
        {"7.2", true, kID, "00A1B2C3D4E5F607", "pPID"},
        {"7.2.1", true, kID, "00A1B2C3D4E5F607", "pPID"},
        {"7.2.2", false, kID, std::nullopt, "pPID"},  // the text form still reads 'pPID' as text
        {"7.3", false, kID, std::nullopt, "pPIS"},
    };
    for (const auto& c : cases) {
        PlayerBridge::forgetCachedVersion();
        playerOfVersion(c.version, c.textIds);
        const auto track = PBTrack::create(trackSpecifier());
        EXPECT_EQ(track->persistentId(), c.id) << c.version;
        fEvents.clear();
        EXPECT_EQ(track->persistentIdAsString(), c.idText) << c.version;
        if (*c.asked) {
            ASSERT_FALSE(fEvents.empty()) << c.version;
            EXPECT_EQ(requestedProperty(fEvents.back()), code(c.asked)) << c.version;
        } else {
            EXPECT_TRUE(fEvents.empty()) << c.version;
        }
    }
}

TEST_F(PersistentIds, TextFormIsSixteenDigits) {
    answerVersion("7.0", [](const AppleEvent&, AppleEvent& reply) -> OSStatus {
        const AEDesc id = comp(255);
        return AEPutParamDesc(&reply, keyDirectObject, &id);
    });
    EXPECT_EQ(PBTrack::create(trackSpecifier())->persistentIdAsString(), "00000000000000FF");
    EXPECT_EQ(PBPersistentIdString(-1), "FFFFFFFFFFFFFFFF");
    const struct {
        const char* text;
        SInt64 value;
    } parsed[] = {{"FFFFFFFFFFFFFFFF", -1},  {"0x1f", 31},  {"", 0}, {"  00A1B2C3D4E5F607", kID}, {"zz", 0},
                  {"1FFFFFFFFFFFFFFFF", -1}, {"12g4", 0x12}};
    for (const auto& p : parsed) EXPECT_EQ(longlongValue(p.text), p.value) << p.text;
}

TEST_F(PersistentIds, PlaylistIdsAreStoredOnlyInTheTextForm) {
    const struct {
        const char* version;
        bool textIds;
        size_t readsOfThreeCalls;
    } cases[] = {{"7.2.1", true, 1}, {"7.2.2", false, 3}, {"7.0", false, 3}};
    for (const auto& c : cases) {
        PlayerBridge::forgetCachedVersion();
        playerOfVersion(c.version, c.textIds);
        PlayerBridge::sharedInstance().versionNumber();
        const auto playlist = PBPlaylist::create(playlistSpecifier(1));
        fEvents.clear();
        for (int i = 0; i < 3; ++i) EXPECT_EQ(playlist->persistentId(), kID) << c.version;
        EXPECT_EQ(fEvents.size(), c.readsOfThreeCalls) << c.version;
    }
}

TEST_F(PersistentIds, LookUpsByIdUseTheFormOfTheVersion) {
    const struct {
        const char* version;
        bool playlistFound;  // the player's look-up needs more than 0x600
        bool trackFound;     // the playlist's look-up needs at least 0x600
        AEDesc key;
    } cases[] = {
        {"5.9", false, false, AEDesc()},
        {"6.0", false, true, comp(kID)},
        {"7.2", true, true, text("00A1B2C3D4E5F607")},
        {"7.2.1", true, true, text("00A1B2C3D4E5F607")},
        {"7.2.2", true, true, comp(kID)},
    };
    for (const auto& c : cases) {
        PlayerBridge::forgetCachedVersion();
        playerOfVersion(c.version, false);
        PlayerBridge::sharedInstance().versionNumber();
        fEvents.clear();
        EXPECT_EQ(PlayerBridge::sharedInstance().playlistWithPersistentId(kID) != nullptr, c.playlistFound)
            << c.version;
        if (c.playlistFound) {
            EXPECT_TRUE(lastLookUpKey() == c.key) << c.version;
        }
        const auto library = PBPlaylist::create(playlistSpecifier(1));
        fEvents.clear();
        EXPECT_EQ(library->trackWithPersistentId(kID) != nullptr, c.trackFound) << c.version;
        EXPECT_EQ(fEvents.empty(), !c.trackFound) << c.version;
        if (c.trackFound) {
            EXPECT_TRUE(lastLookUpKey() == c.key) << c.version;
        }
        EXPECT_EQ(library->trackWithPersistentIdString("00A1B2C3D4E5F607") != nullptr, c.trackFound)
            << c.version;
        if (c.trackFound) {
            EXPECT_TRUE(lastLookUpKey() == c.key) << c.version;
        }
    }
}

TEST_F(PersistentIds, OnlyHexadecimalTextIsLookedUp) {
    playerOfVersion("7.2.1", true);
    const auto library = PBPlaylist::create(playlistSpecifier(1));
    library->trackWithPersistentIdString("00A1B2C3D4E5F607");
    const struct {
        const char* name;
        const char* text;
    } refused[] = {
        {"a quote that would end the string", "00A1\"}}, obj2:\"1"},
        {"not hexadecimal", "00A1B2C3D4E5F6ZZ"},
        {"a 0x prefix", "0x00A1B2C3D4E5F607"},
        {"empty", ""},
        {"more than 16 digits", "00A1B2C3D4E5F60700"},
    };
    for (const auto& r : refused) {
        fEvents.clear();
        EXPECT_EQ(library->trackWithPersistentIdString(r.text), nullptr) << r.name;
        EXPECT_TRUE(fEvents.empty()) << r.name;
    }
}
