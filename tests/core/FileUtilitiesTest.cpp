#include <gtest/gtest.h>
#include <linux/magic.h>

#include <clocale>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "TestFolder.h"
#include "core/UFileUtilities.h"
#include "core/streams/TFile.h"
#include "platform/Carbon/LaunchServices.h"
#include "platform/Foundation/ApplicationRegistry.h"

namespace {

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string Text(ConstStr255Param text) {
    return {reinterpret_cast<const char*>(text + 1), text[0]};
}

std::u16string Units(const HFSUniStr255& name) {
    return {reinterpret_cast<const char16_t*>(name.unicode), name.length};
}

// Runs the calling thread in a locale for the scope.
class ScopedLocale {
public:
    explicit ScopedLocale(const char* name)
        : fLocale(newlocale(LC_ALL_MASK, name, nullptr)), fPrevious(uselocale(fLocale)) {}
    ~ScopedLocale() {
        uselocale(fPrevious);
        freelocale(fLocale);
    }
    ScopedLocale(const ScopedLocale&) = delete;
    ScopedLocale& operator=(const ScopedLocale&) = delete;
    bool valid() const { return fLocale != nullptr; }

private:
    locale_t fLocale;
    locale_t fPrevious;
};

}  // namespace

TEST(Volumes, NetworkFileSystemsByTypeAndFuseByMountType) {
    const struct {
        UInt32 type;
        const char* mountType;
        bool network;
    } cases[] = {
        {NFS_SUPER_MAGIC, "", true},
        {CIFS_SUPER_MAGIC, "", true},
        {SMB2_SUPER_MAGIC, "", true},
        {V9FS_MAGIC, "", true},
        {FUSE_SUPER_MAGIC, "fuse.sshfs", true},
        {FUSE_SUPER_MAGIC, "fuse.encfs", false},
        {FUSE_SUPER_MAGIC, "", false},
        {EXT4_SUPER_MAGIC, "fuse.sshfs", false},
        {TMPFS_MAGIC, "", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsNetworkFileSystem(c.type, c.mountType), c.network)
            << std::hex << c.type << " " << c.mountType;

    const char* mountInfo =
        "28 1 254:0 / / rw,relatime shared:1 - ext4 /dev/vda rw\n"
        "61 28 0:52 / /mnt/with\\040blank rw,nosuid shared:30 master:2 - fuse.sshfs me@host:/ "
        "rw,user_id=1000\n"
        "62 28 0:53 / /mnt/plain rw - nfs4 host:/export rw\n";
    EXPECT_EQ(MountTypeFromMountInfo(mountInfo, 0, 52), "fuse.sshfs") << "after optional fields";
    EXPECT_EQ(MountTypeFromMountInfo(mountInfo, 0, 53), "nfs4");
    EXPECT_EQ(MountTypeFromMountInfo(mountInfo, 0, 5), "");
    EXPECT_EQ(MountTypeFromMountInfo("garbage\n\n1 2\n", 0, 5), "");

    FSRef proc;
    ASSERT_EQ(FSPathMakeRef("/proc", &proc), noErr);
    bool network = true;
    EXPECT_EQ(IsNetworkVolume(proc, network), noErr);
    EXPECT_FALSE(network) << "the process file system is always local";
    FSRef gone = proc;
    gone.path = "/nonexistent-volume/missing";
    EXPECT_EQ(IsNetworkVolume(gone, network), fnfErr);
    EXPECT_EQ(IsNetworkVolume(FSRef(), network), nsvErr);
}

TEST(ForkWrites, WithoutCacheAtTheMark) {
    TestFolder folder;
    std::ofstream(folder / "out") << "";
    FSRef ref;
    ASSERT_EQ(FSPathMakeRef(folder / "out", &ref), noErr);
    FSIORefNum fork = -1;
    ASSERT_EQ(FSOpenFork(&ref, fsRdWrPerm, &fork), noErr);
    for (int i = 0; i < 2; ++i) {
        ByteCount count = 5;
        EXPECT_EQ(FSWriteNoCache(fork, &count, "hello"), noErr);
        EXPECT_EQ(count, 5u);
    }
    EXPECT_EQ(FSCloseFork(fork), noErr);
    EXPECT_EQ(Contents(folder / "out"), "hellohello");
    ByteCount count = 1;
    EXPECT_EQ(FSWriteNoCache(fork, &count, "x"), rfNumErr) << "a closed fork";
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(FSWriteNoCache(fork, nullptr, "x"), paramErr);
}

TEST(Creators, NoneIsStoredAndApplicationsComeFromTheRegistry) {
    TestFolder folder;
    FSRef parent;
    ASSERT_EQ(FSPathMakeRef(folder.path(), &parent), noErr);
    HFSUniStr255 name;
    ASSERT_EQ(UTF8ToHFSUniStr255("notes.txt", &name), noErr);
    TFile file;
    file.Specify(parent, name);
    file.CreateFile(fourCC("ttxt"), fourCC("TEXT"));
    FSRef created;
    ASSERT_TRUE(file.GetFile(created));
    OSType creator = fourCC("junk");
    EXPECT_EQ(GetFileCreator(created, creator), noErr);
    EXPECT_EQ(creator, 0u) << "files here carry no creator";
    FSRef missing = parent;
    missing.path += "/missing";
    EXPECT_EQ(GetFileCreator(missing, creator), fnfErr);

    ApplicationRegistry& registry = ApplicationRegistry::shared();
    const std::optional<std::string> player = registry.executablePath("com.apple.iTunes");
    const std::string playerName = registry.localizedName("com.apple.iTunes");
    std::ofstream(folder / "player") << "";
    registry.registerApplication("com.apple.iTunes", folder / "player");
    FSRef application;
    EXPECT_EQ(GetFSRef(fourCC("hook"), fourCC("APPL"), application), noErr);
    EXPECT_EQ(application.path, folder / "player");
    EXPECT_EQ(GetFSRef(fourCC("none"), 0, application), kLSApplicationNotFoundErr);
    registry.registerApplication("com.apple.iTunes", folder / "gone");
    EXPECT_EQ(GetFSRef(fourCC("hook"), 0, application), kLSApplicationNotFoundErr) << "registered, not there";
    if (player) registry.registerApplication("com.apple.iTunes", *player, playerName);
}

TEST(SystemEncoding, FromTheLocaleAndBytesKeptWhenTheyDoNotConvert) {
    HFSUniStr255 name;
    {
        ScopedLocale c("C");
        ASSERT_TRUE(c.valid());
        EXPECT_EQ(My_Get_System_Encoding(), kTextEncodingUS_ASCII);
        My_Text2Unicode(reinterpret_cast<const unsigned char*>("caf\xc3\xa9"), 5, &name);
        EXPECT_EQ(Units(name), u"caf\u00c3\u00a9") << "ASCII cannot read them, so byte for unit";
    }
    ScopedLocale utf8("C.UTF-8");
    ASSERT_TRUE(utf8.valid());
    EXPECT_EQ(My_Get_System_Encoding(), kTextEncodingUTF8);
    const struct {
        const char* name;
        std::string bytes;
        std::u16string units;
    } cases[] = {
        {"converted", "caf\xc3\xa9 \xf0\x9f\x8e\xb5", u"caf\u00e9 \U0001F3B5"},
        {"malformed, byte for unit", "caf\xe9", u"caf\u00e9"},
        {"cut at 255 units", std::string(300, 'a'), std::u16string(255, u'a')},
    };
    for (const auto& c : cases) {
        My_Text2Unicode(reinterpret_cast<const unsigned char*>(c.bytes.data()), c.bytes.size(), &name);
        EXPECT_EQ(Units(name), c.units) << c.name;
    }
    std::string notes;
    for (int i = 0; i < 128; ++i) notes += "\xf0\x9f\x8e\xb5";
    My_Text2Unicode(reinterpret_cast<const unsigned char*>(notes.data()), notes.size(), &name);
    EXPECT_EQ(name.length, 254) << "a pair that would not fit is left out whole";
}

TEST(NewsURLs, ServerAndGroup) {
    const struct {
        const char* url;
        bool found;
        const char* server;
        const char* group;
    } cases[] = {
        {"news:comp.lang.c++", true, "", "comp.lang.c++"},
        {"nntp://news.example.org/alt.test/12", true, "news.example.org", "alt.test"},
        {"<NEWS://host:119/x.y>", true, "host:119", "x.y"},
        {"news:1234@example.org", false, "", ""},
        {"news://host/", false, "", ""},
        {"http://example.org/news", false, "", ""},
    };
    for (const auto& c : cases) {
        unsigned char url[256], server[256], group[256];
        LoadPStrFromCStr(url, c.url);
        LoadPStrFromCStr(server, "stale");
        LoadPStrFromCStr(group, "stale");
        EXPECT_EQ(GetNewsURLParams(url, server, group), c.found) << c.url;
        EXPECT_EQ(Text(server), c.server) << c.url;
        EXPECT_EQ(Text(group), c.group) << c.url;
    }
}
