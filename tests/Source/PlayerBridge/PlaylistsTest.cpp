// Playlists against a small model of the player's playlists: enumerators, the cache's two
// trees, ordering by name, and a player that quits and starts again.
#include <QString>
#include <algorithm>

#include "Source/PlayerBridge/PBLocalization.h"
#include "Source/PlayerBridge/PBLog.h"
#include "Source/PlayerBridge/PBPlaylist.h"
#include "Source/PlayerBridge/PBPlaylistCache.h"
#include "Source/PlayerBridge/PBPlaylistEnumerator.h"
#include "Source/PlayerBridge/PBTrack.h"
#include "Source/PlayerBridge/PBTrackEnumerator.h"
#include "platform/AppleEvents/AETextEncoding.h"
#include "tests/Source/PlayerBridge/BridgeFixture.h"

using namespace trees;
using namespace bridgetest;

namespace {

struct ModelPlaylist {
    SInt64 id;
    const char* name;
    const char* kind;
    SInt64 parent;  // 0: at the top
    SInt32 smart;
    bool user;      // an element of 'cUPl' as well as of 'cPly'
    SInt32 tracks;  // -1: the count cannot be read
};

// The player's playlists; 'cPly' elements in this order, 'cUPl' the user ones.
const ModelPlaylist kModel[] = {
    {100, "Library", "kSpL", 0, 0, false, 3},   {101, "Music", "kSpZ", 0, 0, false, 2},
    {102, "Purchased", "kSpM", 0, 0, false, 0}, {103, "Party Shuffle", "kSpS", 0, 0, false, 0},
    {200, "Folder", "kSpF", 0, 0, true, 0},     {201, "Rock", "kSpN", 200, 0, true, 2},
    {202, "Jazz", "kSpN", 0, 0, true, -1},      {203, "Smart", "kSpN", 0, 1, true, 0},
    {204, "Top Rated", "kNon", 0, 1, true, 0},  {205, "Old", "kNon", 0, 0, true, 0},
};

const ModelPlaylist* playlistOf(const AEDesc& specifier) {
    SInt64 id = 0;
    if (AEGetKeyPtr(&specifier, keyAEKeyData, typeSInt64, nullptr, &id, sizeof id, nullptr) != noErr)
        return nullptr;
    for (const ModelPlaylist& p : kModel)
        if (p.id == id) return &p;
    return nullptr;
}

std::vector<const ModelPlaylist*> elementsOf(OSType objectClass) {
    std::vector<const ModelPlaylist*> elements;
    for (const ModelPlaylist& p : kModel)
        if (objectClass == code("cPly") || p.user) elements.push_back(&p);
    return elements;
}

AEDesc trackOf(SInt64 playlist, SInt32 index) {
    return trackSpecifier(static_cast<SInt32>(playlist * 100 + index));
}

OSStatus answerModel(const AppleEvent& event, AppleEvent& reply) {
    const auto put = [&](const AEDesc& value) { return AEPutParamDesc(&reply, keyDirectObject, &value); };
    AEDesc direct;
    AEGetParamDesc(&event, keyDirectObject, typeWildCard, &direct);
    if (event.event()->eventID == kAECountElements) {
        OSType objectClass = 0;
        AEGetParamPtr(&event, keyAEObjectClass, typeType, nullptr, &objectClass, 4, nullptr);
        if (objectClass == code("cTrk")) {
            const ModelPlaylist* p = playlistOf(direct);
            if (!p || p->tracks < 0) return errAENoSuchObject;
            return put(slong(p->tracks));
        }
        return put(slong(static_cast<SInt32>(elementsOf(objectClass).size())));
    }
    if (!isGetData(event)) return errAEEventNotHandled;
    OSType form = 0, want = 0;
    AEGetKeyPtr(&direct, keyAEKeyForm, typeEnumerated, nullptr, &form, 4, nullptr);
    AEGetKeyPtr(&direct, keyAEDesiredClass, typeType, nullptr, &want, 4, nullptr);
    AEDesc from;
    AEGetKeyDesc(&direct, keyAEContainer, typeWildCard, &from);
    if (form == formAbsolutePosition) {
        SInt32 index = 0;
        AEGetKeyPtr(&direct, keyAEKeyData, typeSInt32, nullptr, &index, 4, nullptr);
        if (want == code("cTrk")) {
            const ModelPlaylist* p = playlistOf(from);
            if (!p || index < 1 || index > p->tracks) return errAENoSuchObject;
            return put(trackOf(p->id, index));
        }
        const auto elements = elementsOf(want);
        if (index < 1 || index > static_cast<SInt32>(elements.size())) return errAENoSuchObject;
        return put(playlistSpecifier(elements[static_cast<size_t>(index - 1)]->id));
    }
    const OSType property = requestedProperty(event);
    if (property == typeVersion) return put(versionRecord("7.2.2"));
    const ModelPlaylist* p = playlistOf(from);
    if (!p) return errAENoSuchObject;
    if (property == code("pnam")) return put(AEDesc::makeData(typeUnicodeText, UTF16BytesFromUTF8(p->name)));
    if (property == code("pSpK")) return put(enumCode(p->kind));
    if (property == code("pPID")) return put(comp(p->id));
    if (property == code("pSmt")) return put(slong(p->smart));
    if (property == code("pPlP") && p->parent != 0) return put(playlistSpecifier(p->parent));
    return errAENoSuchObject;
}

class Playlists : public BridgeTest {
protected:
    void SetUp() override {
        BridgeTest::SetUp();
        fAnswer = answerModel;
    }
    ScopedPBLocalizedStringLookup fNames{[](const std::string& key) { return key; }};
};

std::vector<SInt64> idsOf(const PBPlaylistList& playlists) {
    std::vector<SInt64> ids;
    for (const auto& p : playlists) ids.push_back(p->persistentId());
    return ids;
}

}  // namespace

TEST_F(Playlists, EnumeratorsWalkAllAndUserPlaylists) {
    const PlayerBridge& player = PlayerBridge::sharedInstance();
    EXPECT_EQ(player.playlistCount(), 10);
    EXPECT_EQ(idsOf(player.playlists()),
              (std::vector<SInt64>{100, 101, 102, 103, 200, 201, 202, 203, 204, 205}));
    // Folders, smart playlists (also of kind 'kNon') are skipped.
    EXPECT_EQ(idsOf(player.userPlaylists()), (std::vector<SInt64>{201, 202, 205}));
    EXPECT_EQ(player.userPlaylistCount(), 3);
    auto enumerator = player.playlistEnumerator();
    EXPECT_EQ(enumerator->appleEventClass(), code("cPly"));
    EXPECT_EQ(player.userPlaylistEnumerator()->appleEventClass(), code("cUPl"));
}

TEST_F(Playlists, TrackEnumeratorsStartWhereAsked) {
    const auto library = PBPlaylist::create(playlistSpecifier(100));
    const auto tracksOf = [](const PBTrackList& tracks) {
        std::vector<AEDesc> descriptors;
        for (const auto& t : tracks) descriptors.push_back(t->descriptor().clone());
        return descriptors;
    };
    const struct {
        const char* name;
        SInt32 index;
        std::vector<SInt32> expected;
    } cases[] = {{"from the start", 1, {1, 2, 3}},
                 {"from the third", 3, {3}},
                 {"index 0 is ignored", 0, {1, 2, 3}},
                 {"beyond the count is ignored", 4, {1, 2, 3}}};
    for (const auto& c : cases) {
        const auto got = tracksOf(library->tracksFromIndex(c.index));
        ASSERT_EQ(got.size(), c.expected.size()) << c.name;
        for (size_t i = 0; i < got.size(); ++i)
            EXPECT_TRUE(got[i] == trackOf(100, c.expected[i])) << c.name << " item " << i;
    }
    EXPECT_EQ(library->tracks().size(), 3u);
}

TEST_F(Playlists, AnUnreadableTrackCountEnumeratesNothing) {
    const auto jazz = PBPlaylist::create(playlistSpecifier(202));
    EXPECT_EQ(jazz->trackCount(), -1);
    EXPECT_TRUE(jazz->tracks().empty());
    EXPECT_EQ(jazz->trackEnumerator()->nextObject(), nullptr);
    quitPlayer();
    EXPECT_TRUE(PlayerBridge::sharedInstance().playlists().empty());
}

TEST_F(Playlists, TheCacheBuildsBothTrees) {
    PBPlaylistCache& cache = PBPlaylistCache::sharedInstance();
    cache.reload();
    const auto childrenOf = [](const std::shared_ptr<PBPlaylist>& p) {
        return p ? p->childPlaylistIds() : std::vector<SInt64>{-99};
    };
    // "LIBRARY" and "Library" tie by name and are ordered by ID.
    EXPECT_EQ(childrenOf(cache.playlistForPersistentId(0)), (std::vector<SInt64>{1, 100, 205, 3, 2, 204}));
    EXPECT_EQ(childrenOf(cache.playlistForPersistentId(1)), (std::vector<SInt64>{101}));
    EXPECT_EQ(childrenOf(cache.playlistForPersistentId(2)), (std::vector<SInt64>{102}));
    EXPECT_EQ(childrenOf(cache.playlistForPersistentId(3)), (std::vector<SInt64>{200, 202, 103, 203}));
    EXPECT_EQ(childrenOf(cache.playlistForPersistentId(200)), (std::vector<SInt64>{201}));
    EXPECT_EQ(childrenOf(cache.userPlaylistForPersistentId(0)), (std::vector<SInt64>{200, 202, 203}));
    EXPECT_EQ(childrenOf(cache.userPlaylistForPersistentId(200)), (std::vector<SInt64>{201}));
    EXPECT_EQ(cache.userPlaylistForPersistentId(204), nullptr);
    EXPECT_EQ(cache.playlistForPersistentId(200)->parentPlaylistId(), 3);
    EXPECT_EQ(cache.userPlaylistForPersistentId(200)->parentPlaylistId(), 0);
    EXPECT_EQ(PlayerBridge::sharedInstance().rootPlaylist(), cache.playlistForPersistentId(0));
    EXPECT_EQ(PlayerBridge::sharedInstance().rootUserPlaylist(), cache.userPlaylistForPersistentId(0));

    // Pseudo-playlists are named without asking the player.
    fEvents.clear();
    EXPECT_EQ(cache.playlistForPersistentId(2)->name(), "STORE");
    EXPECT_TRUE(fEvents.empty());
}

TEST_F(Playlists, ChildrenOrderIsStrictAndMissingEntriesGoLast) {
    PBPlaylistCache::sharedInstance().reload();
    auto parent = PBPlaylist::createPseudoPlaylist();
    for (SInt64 id : {999, 202, 998, 200, 1}) parent->addChildPlaylistId(id);
    EXPECT_EQ(parent->childPlaylistIds(), (std::vector<SInt64>{200, 202, 1, 998, 999}));
    parent->addChildPlaylistId(205);
    EXPECT_EQ(parent->childPlaylistIds(), (std::vector<SInt64>{200, 202, 1, 205, 998, 999}));

    const struct {
        SInt64 a, b;
        int expected;
    } pairs[] = {{200, 202, -1}, {202, 200, 1},  {1, 100, -1},  {100, 1, 1},   {200, 999, -1},
                 {999, 200, 1},  {998, 999, -1}, {999, 998, 1}, {999, 999, 0}, {200, 200, 0}};
    for (const auto& p : pairs)
        EXPECT_EQ(comparePlaylistName(p.a, p.b), p.expected) << p.a << " against " << p.b;
}

// 200 playlists whose names the player answers a given number of times; after that every other
// answer fails, so a comparison that asked again would always say "less" and overrun the array.
TEST_F(Playlists, ChildrenAreSortedOnNamesReadOnceEvenWhenTheyStopAnswering) {
    constexpr SInt32 kCount = 200;
    constexpr SInt64 kFirst = 1000;
    auto nameAnswers = std::make_shared<int>(0);
    auto answersLeft = std::make_shared<int>(1 << 30);
    fAnswer = [=](const AppleEvent& event, AppleEvent& reply) -> OSStatus {
        const auto put = [&](const AEDesc& value) { return AEPutParamDesc(&reply, keyDirectObject, &value); };
        AEDesc direct;
        AEGetParamDesc(&event, keyDirectObject, typeWildCard, &direct);
        if (event.event()->eventID == kAECountElements) return put(slong(kCount));
        if (!isGetData(event)) return errAEEventNotHandled;
        OSType form = 0;
        AEGetKeyPtr(&direct, keyAEKeyForm, typeEnumerated, nullptr, &form, 4, nullptr);
        AEDesc from;
        AEGetKeyDesc(&direct, keyAEContainer, typeWildCard, &from);
        if (form == formAbsolutePosition) {
            SInt32 index = 0;
            AEGetKeyPtr(&direct, keyAEKeyData, typeSInt32, nullptr, &index, 4, nullptr);
            if (index < 1 || index > kCount) return errAENoSuchObject;
            return put(playlistSpecifier(kFirst + index - 1));
        }
        const OSType property = requestedProperty(event);
        if (property == typeVersion) return put(versionRecord("7.2.2"));
        SInt64 id = 0;
        if (AEGetKeyPtr(&from, keyAEKeyData, typeSInt64, nullptr, &id, sizeof id, nullptr) != noErr)
            return errAENoSuchObject;
        if (property == code("pPID")) return put(comp(id));
        if (property == code("pSpK")) return put(enumCode("kSpN"));
        if (property == code("pSmt")) return put(slong(0));
        if (property == code("pnam")) {
            ++*nameAnswers;
            if (*answersLeft > 0)
                --*answersLeft;
            else if (*nameAnswers % 2 == 1)
                return errAENoSuchObject;
            const std::string name = "List " + std::to_string(kFirst + kCount - id);
            return put(AEDesc::makeData(typeUnicodeText, UTF16BytesFromUTF8(name)));
        }
        return errAENoSuchObject;
    };
    PBPlaylistCache& cache = PBPlaylistCache::sharedInstance();
    for (int answers : {1 << 30, 0, 7, 150}) {
        cache.reload();
        const auto parent = cache.playlistForPersistentId(3);
        ASSERT_NE(parent, nullptr);
        *nameAnswers = 0;
        *answersLeft = answers;
        std::vector<SInt64> children = parent->childPlaylistIds();
        EXPECT_LE(*nameAnswers, kCount) << answers << " answers";
        ASSERT_EQ(children.size(), static_cast<size_t>(kCount)) << answers << " answers";
        if (answers == 1 << 30) {
            // "List 1" < "List 10" < "List 100" < "List 101"...: names compare as text.
            std::vector<SInt64> expected = children;
            std::sort(expected.begin(), expected.end(), [](SInt64 a, SInt64 b) {
                return QString::number(kFirst + kCount - a) < QString::number(kFirst + kCount - b);
            });
            EXPECT_EQ(children, expected);
        }
        std::sort(children.begin(), children.end());
        for (SInt32 i = 0; i < kCount; ++i)
            EXPECT_EQ(children[static_cast<size_t>(i)], kFirst + i) << answers << " answers";
    }
}

TEST_F(Playlists, UnimplementedQuestionsGoToTheSystemLog) {
    std::vector<std::string> lines;
    ScopedPBSystemLogSink sink([&](const std::string& line) { lines.push_back(line); });
    const auto playlist = PBPlaylist::create(playlistSpecifier(201));
    EXPECT_FALSE(playlist->isSpecialKind());
    EXPECT_FALSE(playlist->isCached());
    EXPECT_EQ(lines,
              (std::vector<std::string>{"WARNING: not yet implemented", "WARNING: not yet implemented"}));
}

TEST_F(Playlists, APlaylistWithoutItsParameterIsLoggedAndEnds) {
    std::vector<std::string> lines;
    ScopedPBSystemLogSink sink([&](const std::string& line) { lines.push_back(line); });
    fAnswer = [](const AppleEvent& event, AppleEvent& reply) -> OSStatus {
        if (event.event()->eventID == kAECountElements) {
            const AEDesc two = slong(2);
            return AEPutParamDesc(&reply, keyDirectObject, &two);
        }
        return noErr;  // a reply without its direct parameter
    };
    EXPECT_TRUE(PlayerBridge::sharedInstance().playlists().empty());
    EXPECT_EQ(lines, (std::vector<std::string>{"Unable to exec getParamDesc: -1701"}));
}

// Objects made while one player ran keep working with the next one, and with none the
// signature is used.
TEST_F(Playlists, EveryObjectFindsThePlayerAgainAtEachSend) {
    const auto playlist = PBPlaylist::create(playlistSpecifier(201));
    const auto track = PBTrack::create(trackSpecifier());
    PBPlaylistCache::sharedInstance().reload();
    quitPlayer();
    startPlayer(5151);
    fTransport->log().clear();
    EXPECT_EQ(playlist->trackCount(), 2);
    EXPECT_EQ(PlayerBridge::sharedInstance().playlistCount(), 10);
    EXPECT_EQ(PBPlaylistCache::sharedInstance().playlistForPersistentId(201)->trackCount(), 2);
    track->setBpm(120);
    EXPECT_EQ(PlayerBridge::sharedInstance().playlists().size(), 10u);
    for (const AELogEntry& entry : fTransport->log().entries()) {
        EXPECT_EQ(entry.target, (AETarget{typeKernelProcessID, 5151u})) << entry.event;
        EXPECT_EQ(entry.result, noErr) << entry.event;
    }
    quitPlayer();
    fTransport->log().clear();
    EXPECT_EQ(playlist->trackCount(), -1);
    ASSERT_EQ(fTransport->log().size(), 1u);
    EXPECT_EQ(fTransport->log().entries()[0].target, (AETarget{typeApplSignature, code("hook")}));
}
