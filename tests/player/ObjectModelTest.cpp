// The stand-in's answers to requests built as the bridge builds them, through the transport.
#include <gtest/gtest.h>

#include <cstring>

#include "PlayerFixture.h"
#include "player/ScriptingCodes.h"

namespace playertest {
namespace {

constexpr const char* kGetProperty = "'----':obj { form:prop, want:type(prop), seld:type(%s), from:@ }";
constexpr const char* kFirstLibraryTrack =
    "'----':obj { form:indx, want:type(cTrk), seld:1, from:obj { form:indx, want:type(cLiP), seld:1, "
    "from:'null'() } }";

std::string format(const char* pattern, const std::string& code) {
    std::string text(std::strlen(pattern) + code.size(), '\0');
    text.resize(static_cast<size_t>(std::snprintf(text.data(), text.size() + 1, pattern, code.c_str())));
    return text;
}

class ObjectModelTest : public PlayerFixture {
protected:
    // Alpha, reached as the first track of the library.
    AEDesc alpha() {
        AppleEvent reply;
        send(fourCC("core"), fourCC("getd"), kFirstLibraryTrack, &reply);
        const AEDesc* track = reply.find(keyDirectObject);
        return track ? track->clone() : AEDesc();
    }
    // A playlist of the application by name, as the player's own specifier.
    AEDesc playlistNamed(const std::string& name) {
        for (const LibraryPlaylist* p : fModel.library().playlists()) {
            if (p->name == name) return SpecifierFor(fModel, ObjectRef::playlist(p->playlistID));
        }
        return AEDesc();
    }
    std::string property(const AEDesc& object, const char* code) {
        return get(format(kGetProperty, code).c_str(), object);
    }
};

TEST_F(ObjectModelTest, TrackPropertiesInTheirReplyTypes) {
    const AEDesc track = alpha();
    struct Case {
        const char* property;
        const char* expected;
    };
    const Case cases[] = {
        {"pnam", "'utxt'(\"Alpha\")"},
        {"pArt", "'utxt'(\"The Testers\")"},
        {"pBPM", "'long'(120)"},
        {"pRte", "'long'(60)"},
        {"pDur", "'long'(180)"},
        {"pTim", "'utxt'(\"3:00\")"},
        {"pDID", "'long'(101)"},
        {"pGen", "'utxt'()"},  // a text the track does not have
        {"enbl", "'long'(1)"},
        {"pPlD", "'type'('msng')"},  // a date it does not have
        {"pPID", "'comp'(45514025410622983)"},
        {"pLoc", "'fsrf'($000000000000000000000000000000002F6D757369632F416C7068612E6D7033$)"},
        {"pXYZ", "errn -1728"},
    };
    for (const Case& c : cases) EXPECT_EQ(property(track, c.property), c.expected) << c.property;
}

TEST_F(ObjectModelTest, SetTrackPropertiesAndReadThemBack) {
    int libraryChanges = 0;
    fModel.setLibraryChangedHandler([&](const PlayerModel&) { ++libraryChanges; });
    const AEDesc track = alpha();
    struct Case {
        const char* name;
        const char* property;
        AEDesc value;
        SInt32 error;
        const char* readBack;
    };
    AEDesc utxt;
    ASSERT_EQ(AEBuildDesc(&utxt, nullptr, "'utxt'(\"Renamed\")"), noErr);
    const auto integer = [](SInt32 v) { return AEDesc::makeData(typeSInt32, &v, sizeof v); };
    Case cases[] = {
        {"name", "pnam", std::move(utxt), 0, "'utxt'(\"Renamed\")"},
        {"BPM", "pBPM", integer(128), 0, "'long'(128)"},
        {"BPM cleared", "pBPM", integer(0), 0, "'long'(0)"},
        {"rating", "pRte", integer(80), 0, "'long'(80)"},
        {"rating out of range", "pRte", integer(150), errAEWriteDenied, "'long'(80)"},
        {"read-only duration", "pDur", integer(5), errAENotModifiable, "'long'(180)"},
        {"text into a number", "pBPM", AEDesc::makeData(typeChar, "x", 1), errAEWrongDataType, "'long'(0)"},
    };
    for (Case& c : cases) {
        AppleEvent reply;
        const std::string params =
            format("data:@, '----':obj { form:prop, want:type(prop), seld:type(%s), from:@ }", c.property);
        ASSERT_EQ(send(fourCC("core"), fourCC("setd"), params.c_str(), &reply, c.value, track), noErr)
            << c.name;
        EXPECT_EQ(errorOf(reply), c.error) << c.name;
        EXPECT_EQ(property(track, c.property), c.readBack) << c.name;
    }
    EXPECT_EQ(libraryChanges, 4);
    EXPECT_EQ(fModel.library().track(101)->bpm(), 0);
    EXPECT_FALSE(fModel.library().track(101)->has(fourCC("pBPM")));
}

TEST_F(ObjectModelTest, PersistentIDAndVersionGatesFollowTheProfile) {
    struct Case {
        const char* version;
        const char* property;
        const char* expected;
    };
    const Case cases[] = {
        {"5.0", "pPID", "errn -1728"},
        {"6.0", "pPID", "'comp'(45514025410622983)"},
        {"7.2", "pPID", "'utxt'(\"00A1B2C3D4E5F607\")"},
        {"7.2.1", "pPID", "'utxt'(\"00A1B2C3D4E5F607\")"},
        {"7.2.2", "pPID", "'comp'(45514025410622983)"},
        {"7.2.2", "pPIS", "errn -1728"},
        {"7.3", "pPIS", "'utxt'(\"00A1B2C3D4E5F607\")"},
        {"6.0", "pLyr", "errn -1728"},
        {"6.0.1", "pLyr", "'utxt'()"},
        {"6.0.1", "pLds", "errn -1728"},
        {"6.0.2", "pLds", "'utxt'()"},
    };
    const AEDesc track = alpha();
    for (const Case& c : cases) {
        useVersion(c.version);
        EXPECT_EQ(property(track, c.property), c.expected) << c.version << " " << c.property;
    }

    useVersion("7.2.1");
    AppleEvent reply;
    ASSERT_EQ(send(fourCC("core"), fourCC("getd"),
                   "'----':obj { form:prop, want:type(prop), seld:type(vers), from:'null'() }", &reply),
              noErr);
    Size size = 0;
    DescType type = 0;
    ASSERT_EQ(AESizeOfParam(&reply, keyDirectObject, &type, &size), noErr);
    EXPECT_EQ(type, typeVersion);
    uint8_t record[64] = {};
    ASSERT_EQ(AEGetParamPtr(&reply, keyDirectObject, typeVersion, &type, record, sizeof record, &size),
              noErr);
    ASSERT_GE(size, 12);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(record + 7), record[6]), "7.2.1");
}

TEST_F(ObjectModelTest, CountsAndIndexes) {
    const AEDesc workout = playlistNamed("Workout");
    const AEDesc track = alpha();
    struct Case {
        const char* name;
        std::string result;
        const char* expected;
    };
    const Case cases[] = {
        {"tracks of a playlist",
         [&] {
             AppleEvent reply;
             send(fourCC("core"), fourCC("cnte"), "kocl:type(cTrk) , '----':@", &reply, workout);
             return resultOf(reply);
         }(),
         "'long'(2)"},
        {"playlists of the application",
         [&] {
             AppleEvent reply;
             AEDesc null;
             send(fourCC("core"), fourCC("cnte"), "kocl:type(cPly) , '----':@", &reply, null);
             return resultOf(reply);
         }(),
         "'long'(6)"},
        {"user playlists of the application",
         [&] {
             AppleEvent reply;
             AEDesc null;
             send(fourCC("core"), fourCC("cnte"), "kocl:type(cUPl) , '----':@", &reply, null);
             return resultOf(reply);
         }(),
         "'long'(5)"},
        {"artwork of a track",
         [&] {
             AppleEvent reply;
             send(fourCC("core"), fourCC("cnte"), "kocl:type(cArt) , '----':@", &reply, track);
             return resultOf(reply);
         }(),
         "'long'(1)"},
        {"tracks of a folder are its children's",
         [&] {
             AppleEvent reply;
             send(fourCC("core"), fourCC("cnte"), "kocl:type(cTrk) , '----':@", &reply,
                  playlistNamed("Moods"));
             return resultOf(reply);
         }(),
         "'long'(1)"},
        {"second track",
         get("'----':obj { form:prop, want:type(prop), seld:type(pnam), from:obj { form:indx, "
             "want:type(cTrk), seld:2, from:@ } }",
             workout),
         "'utxt'(\"Gamma\")"},
        {"last track",
         get("'----':obj { form:prop, want:type(prop), seld:type(pnam), from:obj { form:indx, "
             "want:type(cTrk), seld:-1, from:@ } }",
             workout),
         "'utxt'(\"Gamma\")"},
        {"index 0 is no element", get("'----':obj { form:indx, want:type(cTrk), seld:0, from:@ }", workout),
         "errn -1728"},
        {"index past the end", get("'----':obj { form:indx, want:type(cTrk), seld:3, from:@ }", workout),
         "errn -1728"},
        {"names of all tracks",
         get("'----':obj { form:prop, want:type(prop), seld:type(pnam), from:obj { form:indx, "
             "want:type(cTrk), seld:abso('all '), from:@ } }",
             workout),
         "['utxt'(\"Alpha\"), 'utxt'(\"Gamma\")]"},
        {"all of an empty set",
         get("'----':obj { form:indx, want:type(cArt), seld:abso('all '), from:obj { form:indx, "
             "want:type(cTrk), seld:1, from:@ } }",
             playlistNamed("Calm")),
         "[]"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.result, c.expected) << c.name;
}

TEST_F(ObjectModelTest, FindTrackByPersistentIDInEachForm) {
    const AEDesc library = [&] {
        AppleEvent reply;
        send(fourCC("core"), fourCC("getd"),
             "'----':obj { form:indx, want:type(cLiP), seld:1, from:'null'() }", &reply);
        return reply.find(keyDirectObject)->clone();
    }();
    constexpr const char* kByText =
        "'----':obj { form:prop, want:type(prop), seld:type(pnam), from:obj { form:indx, want:type(cTrk), "
        "seld:'abso'('any '), "
        "from:obj { form:test, want:type(cTrk), from:@, seld:cmpd{relo:=, 'obj1': obj{ form:prop, "
        "want:type(prop), "
        "seld:type(pPID), from:exmn()}, obj2:\"%s\"}} } }";
    constexpr const char* kByValue =
        "'----':obj { form:prop, want:type(prop), seld:type(pnam), from:obj { form:indx, want:type(cTrk), "
        "seld:'abso'('any '), "
        "from:obj { form:test, want:type(cTrk), from:@, seld:cmpd{relo:=, 'obj1': obj{ form:prop, "
        "want:type(prop), "
        "seld:type(pPID), from:exmn()}, obj2:@}} } }";
    const auto comp = [](UInt64 v) { return AEDesc::makeData(typeSInt64, &v, sizeof v); };
    struct Case {
        const char* name;
        const char* version;
        std::string text;  // empty: the 64-bit form
        UInt64 value;
        const char* expected;
    };
    const Case cases[] = {
        {"64-bit form", "7.2.2", "", 0x2222222222222222ULL, "'utxt'(\"Gamma\")"},
        {"text form", "7.2.1", "2222222222222222", 0, "'utxt'(\"Gamma\")"},
        {"text form in lower case", "7.2.0", "00a1b2c3d4e5f607", 0, "'utxt'(\"Alpha\")"},
        {"text where the version wants 64 bits", "7.2.2", "00A1B2C3D4E5F607", 0, "errn -1728"},
        {"64 bits where the version wants text", "7.2.1", "", kAlphaPID, "errn -1728"},
        {"unknown ID", "10.6.3", "", 0x0123456789ABCDEFULL, "errn -1728"},
    };
    for (const Case& c : cases) {
        useVersion(c.version);
        const std::string result = c.text.empty() ? get(kByValue, library, comp(c.value))
                                                  : get(format(kByText, c.text.c_str()).c_str(), library);
        EXPECT_EQ(result, c.expected) << c.name;
    }
    // The database id test the bridge also sends.
    EXPECT_EQ(
        get("'----':obj { form:prop, want:type(prop), seld:type(pnam), from:obj { form:indx, "
            "want:type(cTrk), "
            "seld:'abso'('any '), from:obj { form:test, want:type(cTrk), from:@, seld:cmpd{relo:=, 'obj1': "
            "obj{ form:prop, want:type(prop), seld:type(pDID), from:exmn()}, obj2:104}} } }",
            library),
        "'utxt'(\"Delta\")");
}

TEST_F(ObjectModelTest, PlaylistsKindsAndParents) {
    struct Case {
        const char* playlist;
        const char* property;
        const char* expected;
    };
    const Case cases[] = {
        {"Library", "pSpK", "'kSpL'"},      {"Music", "pSpK", "'kSpZ'"},
        {"Workout", "pSpK", "'kSpN'"},      {"Moods", "pSpK", "'kSpF'"},
        {"Top Rated", "pSmt", "'long'(1)"}, {"Workout", "pSmt", "'long'(0)"},
        {"Workout", "pPlP", "errn -1728"},  {"Calm", "pnam", "'utxt'(\"Calm\")"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(property(playlistNamed(c.playlist), c.property), c.expected)
            << c.playlist << " " << c.property;

    const std::string parent = property(playlistNamed("Calm"), "pPlP");
    EXPECT_EQ(parent, AEPrint(playlistNamed("Moods")));
    useVersion("6.0.2");
    EXPECT_EQ(property(playlistNamed("Workout"), "pSpK"), "'kNon'");
}

TEST_F(ObjectModelTest, AddAndRemoveATrackInAPlaylist) {
    const AEDesc calm = playlistNamed("Calm");
    const UniqueHandle alias([] {
        Handle h = nullptr;
        const std::string path = "/music/Alpha.mp3";
        PtrToHand(path.data(), &h, static_cast<Size>(path.size()));
        return h;
    }());
    AppleEvent reply;
    ASSERT_EQ(send(fourCC("hook"), fourCC("Add "), "'----':alis(@@), insh:(@)", &reply, alias, calm), noErr);
    ASSERT_EQ(errorOf(reply), 0);
    long count = 0;
    AEDesc added;
    ASSERT_EQ(AEGetParamDesc(&reply, keyDirectObject, typeAEList, &added), noErr);
    ASSERT_EQ(AECountItems(&added, &count), noErr);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(fModel.library().playlistWithPersistentID(0xAAAA000000000003ULL)->items,
              (std::vector<SInt32>{102, 101}));
    EXPECT_EQ(fModel.library().trackCount(), 4u) << "a known file is not added to the library again";

    AEDesc track;
    ASSERT_EQ(AEGetNthDesc(&added, 1, typeWildCard, nullptr, &track), noErr);
    ASSERT_EQ(send(fourCC("core"), fourCC("delo"), "'----':@, insh:(@)", &reply, track, calm), noErr);
    EXPECT_EQ(errorOf(reply), 0);
    EXPECT_EQ(fModel.library().playlistWithPersistentID(0xAAAA000000000003ULL)->items,
              (std::vector<SInt32>{102}));
    EXPECT_NE(fModel.library().track(101), nullptr) << "removing from a playlist keeps the track";

    // What the player refuses.
    ASSERT_EQ(send(fourCC("hook"), fourCC("Add "), "'----':alis(@@), insh:(@)", &reply, alias,
                   playlistNamed("Top Rated")),
              noErr);
    EXPECT_EQ(resultOf(reply), "errn -10003");
    const UniqueHandle missing([] {
        Handle h = nullptr;
        const std::string path = "/nonexistent/folder/Nothing.mp3";
        PtrToHand(path.data(), &h, static_cast<Size>(path.size()));
        return h;
    }());
    ASSERT_EQ(send(fourCC("hook"), fourCC("Add "), "'----':alis(@@), insh:(@)", &reply, missing, calm),
              noErr);
    EXPECT_EQ(resultOf(reply), "errn -43");
    ASSERT_EQ(
        send(fourCC("core"), fourCC("delo"), "'----':@", &reply,
             SpecifierFor(
                 fModel,
                 ObjectRef::track(
                     fModel.library().playlistWithPersistentID(0xAAAA000000000005ULL)->playlistID, 101))),
        noErr);
    EXPECT_EQ(resultOf(reply), "errn -10003");
}

TEST_F(ObjectModelTest, LookUpsFollowAddsAndRemovals) {
    MusicLibrary library = MakeSampleLibrary();
    const UInt64 libraryPID = library.libraryPlaylist().persistentID;
    const SInt32 libraryID = library.libraryPlaylist().playlistID;
    // A library playlist read later takes its ids; a persistent ID in use stays with its owner.
    LibraryPlaylist adopted;
    adopted.kind = PlaylistKind::library;
    adopted.playlistID = 77;
    adopted.persistentID = 0x7777777777777777ULL;
    library.addPlaylist(std::move(adopted));
    EXPECT_EQ(library.playlist(77), &library.libraryPlaylist());
    EXPECT_EQ(library.playlistWithPersistentID(0x7777777777777777ULL), &library.libraryPlaylist());
    EXPECT_EQ(library.playlist(libraryID), nullptr);
    EXPECT_EQ(library.playlistWithPersistentID(libraryPID), nullptr);
    LibraryPlaylist taken;
    taken.kind = PlaylistKind::library;
    taken.persistentID = kAlphaPID;
    library.addPlaylist(std::move(taken));
    EXPECT_EQ(library.libraryPlaylist().persistentID, 0x7777777777777777ULL);
    EXPECT_EQ(library.trackWithPersistentID(kAlphaPID)->name(), "Alpha");

    // A removed track or folder (with what it holds) is found no more; a new track may then take
    // the persistent ID that was freed.
    ASSERT_TRUE(library.removeTrack(101));
    EXPECT_EQ(library.trackWithPersistentID(kAlphaPID), nullptr);
    const LibraryPlaylist* calm = library.playlistWithPersistentID(0xAAAA000000000003ULL);
    ASSERT_NE(calm, nullptr);
    const SInt32 calmID = calm->playlistID;
    ASSERT_TRUE(library.removePlaylist(library.playlistWithPersistentID(0xAAAA000000000002ULL)->playlistID));
    EXPECT_EQ(library.playlistWithPersistentID(0xAAAA000000000002ULL), nullptr);
    EXPECT_EQ(library.playlistWithPersistentID(0xAAAA000000000003ULL), nullptr);
    EXPECT_EQ(library.playlist(calmID), nullptr);
    LibraryTrack again;
    again.persistentID = kAlphaPID;
    const LibraryTrack& added = library.addTrack(std::move(again));
    EXPECT_EQ(library.trackWithPersistentID(kAlphaPID), &added);
    EXPECT_EQ(library.track(added.trackID), &added);
}

TEST_F(ObjectModelTest, ArtworkDataAndItsDeletion) {
    const AEDesc track = alpha();
    AppleEvent reply;
    ASSERT_EQ(send(fourCC("core"), fourCC("getd"),
                   "'----':obj { form:indx, want:type(cArt), seld:1, from:@ }", &reply, track),
              noErr);
    const AEDesc artwork = reply.find(keyDirectObject)->clone();
    EXPECT_EQ(property(artwork, "pPCT"), "'PNGf'($89504E47$)");

    ASSERT_EQ(send(fourCC("core"), fourCC("delo"),
                   "'----':obj { form:indx, want:type(cArt), seld:abso('all '), from:@ }", &reply, track),
              noErr);
    EXPECT_EQ(errorOf(reply), 0);
    EXPECT_TRUE(fModel.library().track(101)->artwork.empty());
    EXPECT_EQ(property(artwork, "pPCT"), "errn -1728");
}

TEST_F(ObjectModelTest, SearchAPlaylist) {
    const AEDesc library = playlistNamed("Library");
    const auto search = [&](const char* text, const char* area) {
        const std::vector<uint8_t> utf16 = [&] {
            std::vector<uint8_t> bytes;
            for (const char* p = text; *p; ++p) {
                const char16_t unit = static_cast<unsigned char>(*p);
                bytes.insert(bytes.end(), reinterpret_cast<const uint8_t*>(&unit),
                             reinterpret_cast<const uint8_t*>(&unit) + 2);
            }
            return bytes;
        }();
        AppleEvent reply;
        const std::string params =
            area ? format("'----':@, pTrm:'utxt'(@), pAre:%s", area) : "'----':@, pTrm:'utxt'(@)";
        send(fourCC("hook"), fourCC("Srch"), params.c_str(), &reply, library, static_cast<Size>(utf16.size()),
             utf16.data());
        AEDesc list;
        if (AEGetParamDesc(&reply, keyDirectObject, typeAEList, &list) != noErr) return resultOf(reply);
        std::string names;
        for (size_t i = 0; i < list.count(); ++i) names += (i ? "," : "") + property(list.at(i), "pnam");
        return names;
    };
    EXPECT_EQ(search("testers", nullptr), "'utxt'(\"Alpha\"),'utxt'(\"Gamma\")");
    EXPECT_EQ(search("testers gam", nullptr), "'utxt'(\"Gamma\")");
    EXPECT_EQ(search("alpha", "kSrR"), "");
    EXPECT_EQ(search("alpha", "kSrS"), "'utxt'(\"Alpha\")");
    EXPECT_EQ(search("alpha", "kZZZ"), "errn -50");
}

TEST_F(ObjectModelTest, FailuresAreErrorNumbersWithoutAResult) {
    const AEDesc missingTrack =
        SpecifierFor(fModel, ObjectRef::track(fModel.library().libraryPlaylist().playlistID, 999));
    const AEDesc missingPlaylist = SpecifierFor(fModel, ObjectRef::playlist(999));
    struct Case {
        const char* name;
        std::string result;
        const char* expected;
    };
    const Case cases[] = {
        {"track not in the library", property(missingTrack, "pnam"), "errn -1728"},
        {"playlist not there", property(missingPlaylist, "pnam"), "errn -1728"},
        {"current track while nothing plays",
         get("'----':obj { form:prop, want:type(prop), seld:type(pTrk), from:'null'() }"), "errn -1728"},
        {"position while nothing plays",
         get("'----':obj { form:prop, want:type(prop), seld:type(pPos), from:'null'() }"), "errn -1728"},
        {"elements of a class the container has not",
         get("'----':obj { form:indx, want:type(cArt), seld:1, from:'null'() }"), "errn -1728"},
        {"not a specifier", get("'----':42"), "errn -1727"},
        {"a key form the player does not offer",
         get("'----':obj { form:name, want:type(cPly), seld:\"Calm\", from:'null'() }"), "errn -10002"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.result, c.expected) << c.name;

    AppleEvent reply;
    ASSERT_EQ(send(fourCC("hook"), fourCC("Zzzz"), "'----':'null'()", &reply), noErr);
    EXPECT_EQ(resultOf(reply), "errn -1708");
}

TEST_F(ObjectModelTest, TheLogRecordsEachEventWithModeTimeOutAndTarget) {
    AppleEvent event;
    const SInt32 pid = kPlayerPID;
    ASSERT_EQ(AEBuildAppleEvent(fourCC("hook"), fourCC("Play"), typeKernelProcessID, &pid, sizeof pid,
                                kAutoGenerateReturnID, kAnyTransactionID, &event, nullptr, "'----':'null'()"),
              noErr);
    ASSERT_EQ(AESendMessage(&event, nullptr, 0x11, -1), noErr);
    AppleEvent reply;
    send(fourCC("core"), fourCC("getd"),
         "'----':obj { form:prop, want:type(prop), seld:type(pXYZ), from:'null'() }", &reply);

    const std::vector<AELogEntry> entries = fDispatcher.log().entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].event, "'hook'\\'Play'{'----':'null'()}");
    EXPECT_EQ(entries[0].mode, 0x11);
    EXPECT_EQ(entries[0].timeout, -1);
    EXPECT_EQ(entries[0].target, (AETarget{typeKernelProcessID, static_cast<UInt32>(kPlayerPID)}));
    EXPECT_EQ(entries[0].result, noErr);
    EXPECT_EQ(entries[1].mode, 0x13);
    EXPECT_EQ(entries[1].timeout, 120);
    EXPECT_EQ(entries[1].result, errAENoSuchObject);
}

}  // namespace
}  // namespace playertest
