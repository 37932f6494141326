#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

#include "TestFolder.h"
#include "core/CString.h"
#include "core/UAlertStrings.h"

namespace {

// Points the main bundle at a resource folder for the test and back afterwards.
class ScopedResourceDir {
public:
    explicit ScopedResourceDir(const std::string& dir) {
        if (const char* old = std::getenv("BEATWICK_RESOURCE_DIR")) fOld = old;
        setenv("BEATWICK_RESOURCE_DIR", dir.c_str(), 1);
    }
    ~ScopedResourceDir() {
        if (fOld)
            setenv("BEATWICK_RESOURCE_DIR", fOld->c_str(), 1);
        else
            unsetenv("BEATWICK_RESOURCE_DIR");
    }
    ScopedResourceDir(const ScopedResourceDir&) = delete;
    ScopedResourceDir& operator=(const ScopedResourceDir&) = delete;

private:
    std::optional<std::string> fOld;
};

constexpr short kNumbered[] = {36, 37, 38, 39, 40, 59, 64, 65, 75, 76};

}  // namespace

TEST(AlertStrings, KeysByKindAndNumber) {
    struct Case {
        int kind;
        short index;
        std::optional<std::string> key;
    };
    const Case cases[] = {
        {5000, 64, "ALERTS_VersionIsCurrent"},
        {5003, 64, "ALERTE_VersionIsCurrent"},
        {5000, 36, "ALERTS_NoEmailAddress"},
        {5003, 76, "ALERTE_CloseSupportWindow"},
        {5001, 1, "OK"},
        {5001, 16, "Log out"},
        {5001, 20, "Join"},
        {5002, 1, "Don't Save"},
        {5002, 3, "Keep Running"},
        {5001, 21, std::nullopt},
        {5001, 0, std::nullopt},
        {5002, 4, std::nullopt},
        {4999, 1, std::nullopt},
        {5000, 63, std::nullopt},
        {5004, 64, std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(GetAlertKey(c.kind, c.index), c.key) << c.kind << "/" << c.index;
    EXPECT_EQ(GetAlertCFString(5001, 21), std::nullopt);
    EXPECT_EQ(GetAlertCFString(4999, 1), std::nullopt);
    EXPECT_EQ(GetAlertSummaryString(5003, 64), std::nullopt) << "each look-up answers only its own kind";
    EXPECT_EQ(GetDontSaveString(5001, 1), std::nullopt);
}

TEST(AlertStrings, EveryNumberedAlertHasItsTexts) {
    ScopedResourceDir resources(BEATWICK_RESOURCE_DIR);
    for (short number : kNumbered) {
        for (int kind : {5000, 5003}) {
            const std::optional<std::string> text = GetAlertCFString(kind, number);
            ASSERT_TRUE(text) << kind << "/" << number;
            EXPECT_NE(*text, *GetAlertKey(kind, number)) << "no text for " << *GetAlertKey(kind, number);
        }
    }
    EXPECT_EQ(GetAlertCFString(5001, 1), "OK");
}

TEST(AlertStrings, MissingTranslationGivesTheKeyAndLongTextsAreCut) {
    TestFolder folder;
    const std::string longText(300, 'a');
    std::ofstream(folder / "Alerts.strings")
        << "\"ALERTS_CantCheckVersion\" = \"" << longText << "\";\n"
        << "\"ALERTE_CantCheckVersion\" = \"" << std::string(254, 'b') << "\xC3\xA9\";\n";
    ScopedResourceDir resources(folder.path());

    EXPECT_EQ(GetAlertCFString(5000, 64), "ALERTS_VersionIsCurrent");
    EXPECT_EQ(GetAlertCFString(5000, 65), longText);

    CString text;
    GetAlertCString(text, 5000, 65);
    EXPECT_EQ(text.Length(), 255);
    unsigned char pascal[256];
    GetAlertPString(pascal, 5003, 65);
    EXPECT_EQ(pascal[0], 254) << "a two-byte character that would end at byte 256 is left out whole";
    GetAlertPString(pascal, 4999, 65);
    EXPECT_EQ(pascal[0], 0);
    GetAlertCString(text, 5001, 99);
    EXPECT_TRUE(text.IsEmpty());
}
