#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/Foundation/Bundle.h"
#include "platform/Foundation/StringsTable.h"
#include "tests/platform/Foundation/TemporaryHome.h"

namespace {

std::vector<uint8_t> utf8(std::string_view text) {
    return {text.begin(), text.end()};
}

std::vector<uint8_t> utf16(std::u16string_view text, bool little) {
    std::vector<uint8_t> out = little ? std::vector<uint8_t>{0xFF, 0xFE} : std::vector<uint8_t>{0xFE, 0xFF};
    for (char16_t unit : text) {
        const uint8_t low = unit & 0xFF, high = unit >> 8;
        out.push_back(little ? low : high);
        out.push_back(little ? high : low);
    }
    return out;
}

// Restores BEATWICK_RESOURCE_DIR after pointing it elsewhere.
class ResourceFolder {
public:
    explicit ResourceFolder(const std::string& path) : mOld(std::getenv("BEATWICK_RESOURCE_DIR")) {
        ::setenv("BEATWICK_RESOURCE_DIR", path.c_str(), 1);
    }
    ~ResourceFolder() {
        if (mOld)
            ::setenv("BEATWICK_RESOURCE_DIR", mOld->c_str(), 1);
        else
            ::unsetenv("BEATWICK_RESOURCE_DIR");
    }

private:
    struct Saved : std::optional<std::string> {
        Saved(const char* value) {
            if (value) emplace(value);
        }
    } mOld;
};

}  // namespace

TEST(StringsTable, ParsesEntriesCommentsAndEscapes) {
    const std::string text =
        "/* Alerts */\n"
        "\"ALERTS_VersionIsCurrent\" = \"You have the latest version.\";\n"
        "// a line comment\n"
        "\"quote\" = \"say \\\"hi\\\" \\\\ done\";\n"
        "\"controls\"=\"a\\nb\\tc\\rd\";   /* trailing */\n"
        "\"unicode\" = \"\\U2318 caf\\U00e9 \\UD83C\\UDFB5\";\n"
        "\"lone\" = \"\\UD83C!\";\n"
        "Bare = value;\n"
        "\"same\";\n"
        "\"multi\nline\" = \"ok\";\n"
        "\"utf8\" = \"\xE2\x8C\x98\";";
    const StringsTable table = StringsTable::parse(utf8(text));
    struct Case {
        const char* key;
        const char* expected;
    };
    const Case cases[] = {
        {"ALERTS_VersionIsCurrent", "You have the latest version."},
        {"quote", "say \"hi\" \\ done"},
        {"controls", "a\nb\tc\rd"},
        {"unicode", "\xE2\x8C\x98 caf\xC3\xA9 \xF0\x9F\x8E\xB5"},
        {"lone", "\xEF\xBF\xBD!"},
        {"Bare", "value"},
        {"same", "same"},
        {"multi\nline", "ok"},
        {"utf8", "\xE2\x8C\x98"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(table.lookup(c.key), std::optional<std::string>(c.expected)) << c.key;
    EXPECT_EQ(table.size(), std::size(cases));
}

TEST(StringsTable, SkipsMalformedLinesAndStopsAtTheEnd) {
    struct Case {
        const char* name;
        std::string text;
        std::vector<std::string> keys;  // what survives
    };
    const Case cases[] = {
        {"missing semicolon", "\"a\" = \"1\"\n\"b\" = \"2\";", {"b"}},
        {"missing value", "\"a\" = ;\n\"b\" = \"2\";", {"b"}},
        {"stray text", "!!!\n\"b\" = \"2\";", {"b"}},
        {"unterminated string", "\"b\" = \"2\";\n\"a\" = \"1", {"b"}},
        {"backslash at the end", "\"b\" = \"2\";\n\"a\" = \"\\", {"b"}},
        {"unterminated comment", "\"b\" = \"2\"; /* never closed", {"b"}},
        {"escape without digits", "\"a\" = \"\\Uxyz\";\n\"b\" = \"2\";", {"b"}},
        {"empty", "", {}},
    };
    for (const Case& c : cases) {
        const StringsTable table = StringsTable::parse(utf8(c.text));
        EXPECT_EQ(table.size(), c.keys.size()) << c.name;
        for (const std::string& key : c.keys) EXPECT_TRUE(table.lookup(key)) << c.name << ": " << key;
    }
}

TEST(StringsTable, ReadsUTF16WithEitherByteOrderAndUTF8WithAMark) {
    const std::u16string text = u"\"Escape\" = \"\u238B\"; \"note\" = \"\U0001F3B5\";";
    for (const auto& bytes : {utf16(text, true), utf16(text, false)}) {
        const StringsTable table = StringsTable::parse(bytes);
        EXPECT_EQ(table.lookup("Escape"), std::optional<std::string>("\xE2\x8E\x8B"));
        EXPECT_EQ(table.lookup("note"), std::optional<std::string>("\xF0\x9F\x8E\xB5"));
    }
    std::vector<uint8_t> odd = utf16(u"\"a\" = \"b\";", true);
    odd.push_back('x');  // a stray last byte is ignored
    EXPECT_EQ(StringsTable::parse(odd).lookup("a"), std::optional<std::string>("b"));
    EXPECT_EQ(StringsTable::parse(utf8("\xEF\xBB\xBF\"a\" = \"b\";")).lookup("a"),
              std::optional<std::string>("b"));
}

TEST(Bundle, FindsResourcesInfoKeysAndLocalizedStrings) {
    TemporaryHome folder;
    const auto resources = folder.path() / "Resources";
    TemporaryHome::write(resources / "Defaults.plist", "<plist><dict/></plist>");
    TemporaryHome::write(resources / "Sounds" / "Click.aiff", "FORM");
    TemporaryHome::write(resources / "Credits", "");
    TemporaryHome::write(resources / "Info.plist",
                         "<plist><dict><key>CFBundleName</key><string>Beatwick</string>"
                         "<key>CFBundleVersion</key><integer>100</integer></dict></plist>");
    TemporaryHome::write(resources / "Localizable.strings", "\"Genre not specified\" = \"(no genre)\";");
    {
        const auto bytes = utf16(u"\"ALERTS_VersionIsCurrent\" = \"Up to date\";", true);
        TemporaryHome::write(resources / "Alerts.strings", std::string(bytes.begin(), bytes.end()));
    }
    ResourceFolder pointed(resources.string());
    const NSBundle& bundle = NSBundle::mainBundle();

    EXPECT_EQ(bundle.resourcePath(), resources.string());
    EXPECT_EQ(bundle.pathForResource("Defaults", "plist"), (resources / "Defaults.plist").string());
    EXPECT_EQ(bundle.pathForResource("Click", "aiff", "Sounds"),
              (resources / "Sounds" / "Click.aiff").string());
    EXPECT_EQ(bundle.pathForResource("Credits", ""), (resources / "Credits").string());
    EXPECT_EQ(bundle.pathForResource("Click", "aiff"), std::nullopt);
    EXPECT_EQ(bundle.pathForResource("Sounds", ""), std::nullopt);  // a folder is not a resource

    EXPECT_EQ(bundle.objectForInfoDictionaryKey("CFBundleName"), std::optional<std::string>("Beatwick"));
    EXPECT_EQ(bundle.objectForInfoDictionaryKey("CFBundleVersion"), std::nullopt);  // not text
    EXPECT_EQ(bundle.objectForInfoDictionaryKey("CFBundleExecutable"), std::nullopt);

    EXPECT_EQ(bundle.localizedStringForKey("Genre not specified", "", ""), "(no genre)");
    EXPECT_EQ(bundle.localizedStringForKey("ALERTS_VersionIsCurrent", "", "Alerts"), "Up to date");
    EXPECT_EQ(bundle.localizedStringForKey("ALERTS_CantCheckVersion", "ALERTS_CantCheckVersion", "Alerts"),
              "ALERTS_CantCheckVersion");
    EXPECT_EQ(bundle.localizedStringForKey("Missing", "Fallback", "Alerts"), "Fallback");
    EXPECT_EQ(bundle.localizedStringForKey("Missing", "", "NoSuchTable"), "Missing");
}

TEST(Bundle, TheBuiltResourcesCarryTheApplicationsInformation) {
    ResourceFolder pointed(BEATWICK_RESOURCE_DIR);
    const NSBundle& bundle = NSBundle::mainBundle();
    struct Case {
        const char* key;
        const char* expected;
    };
    const Case cases[] = {{"CFBundleExecutable", "Beatwick"},
                          {"CFBundleName", "Beatwick"},
                          {"CFBundleIdentifier", "com.orvo.Beatwick"},
                          {"CFBundleShortVersionString", "1.6"},
                          {"CFBundleVersion", "160"}};
    for (const Case& c : cases)
        EXPECT_EQ(bundle.objectForInfoDictionaryKey(c.key), std::optional<std::string>(c.expected)) << c.key;
    EXPECT_TRUE(bundle.pathForResource("Defaults", "plist"));
}

TEST(Bundle, WithoutTheVariableLooksBesideTheExecutable) {
    const char* saved = std::getenv("BEATWICK_RESOURCE_DIR");
    const std::string old = saved ? saved : "";
    ::unsetenv("BEATWICK_RESOURCE_DIR");
    const std::string path = NSBundle::mainBundle().resourcePath();
    if (saved) ::setenv("BEATWICK_RESOURCE_DIR", old.c_str(), 1);
    const auto exe = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    const bool beside = path == (exe / "Resources").string();
    const bool installed = path == (exe.parent_path() / "share" / "beatwick" / "Resources").string();
    EXPECT_TRUE(beside || installed) << path;
}
