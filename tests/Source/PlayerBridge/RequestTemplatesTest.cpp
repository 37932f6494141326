// Every request of the bridge as the player receives it: event, parameters (trees written by
// hand), send mode, time-out and target.
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "Source/PlayerBridge/PBPlaylist.h"
#include "Source/PlayerBridge/PBTrack.h"
#include "platform/AppleEvents/AEPrint.h"
#include "platform/AppleEvents/AETextEncoding.h"
#include "tests/Source/PlayerBridge/BridgeFixture.h"

using namespace trees;
using namespace bridgetest;

namespace {

AEDesc utxt(const std::string& text) {
    return AEDesc::makeData(typeUnicodeText, UTF16BytesFromUTF8(text));
}

AEDesc prop(const char* property, AEDesc from) {
    return obj("prop", typed("type", "prop"), typed("type", property), std::move(from));
}

AEDesc searchFor(const char* objectClass, const char* property, AEDesc from, AEDesc value) {
    AEDesc test = record(
        "obj ", field("form", enumCode("test")), field("want", typed("type", objectClass)),
        field("from", std::move(from)),
        field("seld", record("cmpd", field("relo", enumCode("=")),
                             field("obj1", prop(property, empty("exmn"))), field("obj2", std::move(value)))));
    return record("reco", field("----", obj("indx", typed("type", objectClass), typed("abso", "any "),
                                            std::move(test))));
}

// A file the alias requests can point at.
struct TemporaryFile {
    TemporaryFile() {
        char name[] = "/tmp/bridge-track-XXXXXX";
        const int fd = mkstemp(name);
        if (fd >= 0) close(fd);
        path = name;
    }
    ~TemporaryFile() { std::remove(path.c_str()); }
    std::string path;
};

class RequestTemplates : public BridgeTest {};

}  // namespace

TEST_F(RequestTemplates, EachRequestGoesOutAsWrittenWithItsModeTimeOutAndTarget) {
    const auto track = PBTrack::create(trackSpecifier());
    const auto playlist = PBPlaylist::create(playlistSpecifier(0x5A));
    const PlayerBridge& player = PlayerBridge::sharedInstance();
    const AEDesc data = slong(-70000);
    const AEDesc artwork = obj("indx", typed("type", "cArt"), shor(1), trackSpecifier());
    const TemporaryFile file;
    const AEDesc alias = AEDesc::makeData(typeAlias, file.path.data(), file.path.size());
    constexpr SInt64 kID = 0x00A1B2C3D4E5F607;

    struct Case {
        const char* name;
        std::function<void()> send;
        const char* eventClass;
        const char* eventID;
        AESendMode mode;
        SInt32 timeout;
        AEDesc parameters;
    };
    Case cases[] = {
        {"get property", [&] { track->getPropertyOfType(fourCC("pBPM")); }, "core", "getd", 0x13, 120,
         record("reco", field("----", prop("pBPM", trackSpecifier())))},
        {"get property with a blank", [&] { track->year(); }, "core", "getd", 0x13, 120,
         record("reco", field("----", prop("pYr ", trackSpecifier())))},
        {"get property of another object",
         [&] { track->getPropertyOfTypeForObject(fourCC("pPCT"), artwork); }, "core", "getd", 0x13, 120,
         record("reco", field("----", prop("pPCT", artwork.clone())))},
        {"set property", [&] { track->setPropertyWithValue(data, fourCC("pBPM")); }, "core", "setd", 0x01, -1,
         record("reco", field("data", slong(-70000)), field("----", prop("pBPM", trackSpecifier())))},
        {"count elements", [&] { track->getCountOfElementsOfClass(fourCC("cArt")); }, "core", "cnte", 0x13, 120,
         record("reco", field("kocl", typed("type", "cArt")), field("----", trackSpecifier()))},
        {"delete all elements", [&] { track->deleteAllElementsOfClass(fourCC("cArt")); }, "core", "delo", 0x13,
         120,
         record("reco",
                field("----", obj("indx", typed("type", "cArt"), typed("abso", "all "), trackSpecifier())))},
        {"delete element 0 is element 1", [&] { track->deleteElement(0, fourCC("cArt")); }, "core", "delo", 0x13,
         120, record("reco", field("----", obj("indx", typed("type", "cArt"), shor(1), trackSpecifier())))},
        {"get element 0 is element 1", [&] { playlist->getElementOfClass(fourCC("cTrk"), 0); }, "core", "getd",
         0x13, 120,
         record("reco", field("----", obj("indx", typed("type", "cTrk"), shor(1), playlistSpecifier(0x5A))))},
        {"get element 41 is element 42", [&] { playlist->getElementOfClass(fourCC("cTrk"), 41); }, "core",
         "getd", 0x13, 120,
         record("reco", field("----", obj("indx", typed("type", "cTrk"), shor(42), playlistSpecifier(0x5A))))},
        {"look up by integer", [&] { playlist->trackWithDatabaseId(70000); }, "core", "getd", 0x13, 120,
         searchFor("cTrk", "pDID", playlistSpecifier(0x5A), slong(70000))},
        {"look up by 64-bit integer",
         [&] { playlist->getElementOfClassByKeyWithLongIntValue(fourCC("cTrk"), fourCC("pPID"), kID); }, "core",
         "getd", 0x13, 120, searchFor("cTrk", "pPID", playlistSpecifier(0x5A), comp(kID))},
        {"look up by text",
         [&] {
             playlist->getElementOfClassByKeyWithStringValue(fourCC("cTrk"), fourCC("pPID"), "00A1B2C3D4E5F607");
         },
         "core", "getd", 0x13, 120, searchFor("cTrk", "pPID", playlistSpecifier(0x5A), text("00A1B2C3D4E5F607"))},
        {"set element 0 is element 1", [&] { track->setElementOfClass(fourCC("cArt"), 0, data); }, "core",
         "setd", 0x01, -1,
         record("reco", field("data", slong(-70000)),
                field("----", obj("indx", typed("type", "cArt"), shor(1), trackSpecifier())))},
        {"set property of element",
         [&] { playlist->setProperty(fourCC("pRte"), fourCC("cTrk"), 2, data); }, "core", "setd", 0x01, -1,
         record("reco", field("data", slong(-70000)),
                field("----", prop("pRte", obj("indx", typed("type", "cTrk"), shor(3), playlistSpecifier(0x5A)))))},
        {"set integer", [&] { track->setBpm(128); }, "core", "setd", 0x01, -1,
         record("reco", field("data", slong(128)), field("----", prop("pBPM", trackSpecifier())))},
        {"set truth value", [&] { track->setEnabled(true); }, "core", "setd", 0x01, -1,
         record("reco", field("data", slong(1)), field("----", prop("enbl", trackSpecifier())))},
        {"set 64-bit integer", [&] { track->setPropertyWithLongInteger(kID, fourCC("pPID")); }, "core", "setd",
         0x01, -1, record("reco", field("data", comp(kID)), field("----", prop("pPID", trackSpecifier())))},
        {"set text", [&] { track->setName("Blé"); }, "core", "setd", 0x01, -1,
         record("reco", field("data", utxt("Blé")), field("----", prop("pnam", trackSpecifier())))},
        {"set date", [&] { track->setPlayedDate(86400.5); }, "core", "setd", 0x01, -1,
         record("reco", field("data", value(typeLongDateTime, SInt64{3061152000 + 86400})),
                field("----", prop("pPlD", trackSpecifier())))},
        {"command", [&] { player.nextTrack(); }, "hook", "Next", 0x11, -1,
         record("reco", field("----", empty("null")))},
        {"play a track", [&] { player.playTrack(*track); }, "hook", "Play", 0x11, -1,
         record("reco", field("----", trackSpecifier()))},
        {"play a file", [&] { player.playTrackWithPath(file.path); }, "hook", "Play", 0x11, -1,
         record("reco", field("----", alias.clone()))},
        {"current track", [&] { player.currentTrack(); }, "core", "getd", 0x13, 120,
         record("reco", field("----", prop("pTrk", empty("null"))))},
        {"current playlist", [&] { player.currentPlaylist(); }, "core", "getd", 0x13, 120,
         record("reco", field("----", prop("pPla", empty("null"))))},
        {"selected tracks", [&] { player.selectedTracks(); }, "core", "getd", 0x13, 120,
         record("reco", field("----", prop("sele", empty("null"))))},
        {"library playlist", [&] { player.libraryPlaylist(); }, "core", "getd", 0x13, 120,
         record("reco", field("----", obj("indx", typed("type", "cLiP"), shor(1), empty("null"))))},
        {"player volume", [&] { player.setPlayerVolume(80); }, "core", "setd", 0x01, -1,
         record("reco", field("data", slong(80)), field("----", prop("pVol", empty("null"))))},
        {"search everywhere", [&] { player.search(*playlist, "Blé", 0); }, "hook", "Srch", 0x13, 120,
         record("reco", field("----", playlistSpecifier(0x5A)), field("pTrm", utxt("Blé")))},
        {"search one field", [&] { player.search(*playlist, "Blue", fourCC("kSrA")); }, "hook", "Srch", 0x13,
         120,
         record("reco", field("----", playlistSpecifier(0x5A)), field("pTrm", utxt("Blue")),
                field("pAre", enumCode("kSrA")))},
        {"add a file to a playlist", [&] { player.addTrackPath(file.path, playlist.get()); }, "hook", "Add ",
         0x13, 120, record("reco", field("----", alias.clone()), field("insh", playlistSpecifier(0x5A)))},
        {"remove a track from a playlist", [&] { player.removeTrack(*track, playlist.get()); }, "core", "delo",
         0x13, 120, record("reco", field("----", trackSpecifier()), field("insh", playlistSpecifier(0x5A)))},
        {"delete a track", [&] { player.removeTrack(*track, nullptr); }, "core", "delo", 0x13, 120,
         record("reco", field("----", trackSpecifier()))},
    };
    for (Case& c : cases) {
        fEvents.clear();
        fTransport->log().clear();
        c.send();
        ASSERT_EQ(fEvents.size(), 1u) << c.name;
        const AEEventHeader& header = *fEvents.back().event();
        EXPECT_EQ(header.eventClass, code(c.eventClass)) << c.name;
        EXPECT_EQ(header.eventID, code(c.eventID)) << c.name;
        const AEDesc got = lastParameters();
        EXPECT_TRUE(got == c.parameters)
            << c.name << "\n got: " << AEPrint(got) << "\nwant: " << AEPrint(c.parameters);
        const auto log = fTransport->log().entries();
        ASSERT_EQ(log.size(), 1u) << c.name;
        EXPECT_EQ(log[0].mode, c.mode) << c.name;
        EXPECT_EQ(log[0].timeout, c.timeout) << c.name;
        EXPECT_EQ(log[0].target, (AETarget{typeKernelProcessID, static_cast<UInt32>(kPlayerPID)})) << c.name;
    }
}

TEST_F(RequestTemplates, EveryCommandIsItsOwnEvent) {
    const PlayerBridge& player = PlayerBridge::sharedInstance();
    const struct {
        void (PlayerBridge::*command)() const;
        const char* eventID;
    } cases[] = {
        {&PlayerBridge::backTrack, "Back"},     {&PlayerBridge::fastForward, "Fast"},
        {&PlayerBridge::nextTrack, "Next"},     {&PlayerBridge::pause, "Paus"},
        {&PlayerBridge::play, "Play"},          {&PlayerBridge::playPause, "PlPs"},
        {&PlayerBridge::previousTrack, "Prev"}, {&PlayerBridge::resume, "Resu"},
        {&PlayerBridge::rewind, "Rwnd"},        {&PlayerBridge::stop, "Stop"},
    };
    for (const auto& c : cases) {
        fEvents.clear();
        (player.*c.command)();
        ASSERT_EQ(fEvents.size(), 1u) << c.eventID;
        EXPECT_EQ(fEvents[0].event()->eventClass, code("hook")) << c.eventID;
        EXPECT_EQ(fEvents[0].event()->eventID, code(c.eventID)) << c.eventID;
    }
}

TEST_F(RequestTemplates, TheSignatureAddressesThePlayerWhenNoneRuns) {
    fPID = 0;  // the look-up finds nothing; the player still answers to 'hook'
    PlayerBridge::sharedInstance().playerVolume();
    const auto log = fTransport->log().entries();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].target, (AETarget{typeApplSignature, code("hook")}));
}

TEST_F(RequestTemplates, FilesThatDoNotExistSendNothing) {
    const auto playlist = PBPlaylist::create(playlistSpecifier(0x5A));
    PlayerBridge::sharedInstance().playTrackWithPath("/no/such/file.mp3");
    EXPECT_EQ(PlayerBridge::sharedInstance().addTrackPath("/no/such/file.mp3", playlist.get()), fnfErr)
        << "an add that sent nothing is no success";
    EXPECT_TRUE(fEvents.empty());
}
