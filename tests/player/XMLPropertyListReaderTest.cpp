// The XML property-list reader: order kept, values read exactly, and malformed text refused with
// the line it is on.
#include <gtest/gtest.h>

#include <string>

#include "player/XMLPropertyListReader.h"

namespace playertest {
namespace {

using player::OrderedPropertyList;
using player::XMLPropertyListReader;

Result<OrderedPropertyList> readText(const std::string& text) {
    return XMLPropertyListReader::read({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
}

std::string plist(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist version=\"1.0\">\n" +
           body + "\n</plist>\n";
}

TEST(XMLPropertyListReaderTest, KeysKeepTheirOrderAndValuesAreReadExactly) {
    Result<OrderedPropertyList> read = readText(plist(R"(<dict>
        <key>zebra</key><integer>-9223372036854775808</integer>
        <key>alpha</key><integer>18446744073709551615</integer>
        <key>hex</key><integer> 0x1F </integer>
        <key>Caf&#xE9; &amp; &lt;b&gt;</key><string>Ça <![CDATA[<raw> & ]]>va<!-- note --></string>
        <key>empty</key><string/>
        <key>real</key><real>-2.5e3</real>
        <key>date</key><date>2009-05-12T10:00:00Z</date>
        <key>data</key><data>
            iVBO
            Rw==
        </data>
        <key>flags</key><array><true/><false></false></array>
        <key>nested</key><dict/>
    </dict>)"));
    ASSERT_TRUE(read) << read.error();
    const OrderedPropertyList::Dictionary& entries = *read.value().dictionary();
    std::vector<std::string> keys;
    for (const auto& [key, value] : entries) keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"zebra", "alpha", "hex", "Café & <b>", "empty", "real", "date",
                                              "data", "flags", "nested"}));
    const OrderedPropertyList& root = read.value();
    EXPECT_EQ(root.integer(), std::nullopt);
    EXPECT_EQ(root.objectForKey("zebra")->integer(), INT64_MIN);
    EXPECT_EQ(root.objectForKey("alpha")->scalar()->unsignedInteger(), UINT64_MAX);
    EXPECT_EQ(root.objectForKey("hex")->integer(), 31);
    EXPECT_EQ(*root.objectForKey("Café & <b>")->string(), "Ça <raw> & va");
    EXPECT_EQ(*root.objectForKey("empty")->string(), "");
    EXPECT_EQ(root.objectForKey("real")->scalar()->real(), -2500.0);
    // 2009-05-12 is 3053 days after 2001-01-01.
    EXPECT_EQ(root.objectForKey("date")->date()->seconds, 3053.0 * 86400 + 36000);
    EXPECT_EQ(*root.objectForKey("data")->data(), (PropertyList::Data{0x89, 'P', 'N', 'G'}));
    const OrderedPropertyList::Array& flags = *root.objectForKey("flags")->array();
    ASSERT_EQ(flags.size(), 2u);
    EXPECT_EQ(flags[0].boolean(), true);
    EXPECT_EQ(flags[1].boolean(), false);
    EXPECT_TRUE(root.objectForKey("nested")->dictionary()->empty());
}

TEST(XMLPropertyListReaderTest, MalformedTextIsRefusedWithItsLine) {
    struct Case {
        const char* name;
        std::string text;
        const char* message;  // a part of the error
    };
    std::string deep;
    for (int i = 0; i < 600; ++i) deep += "<array>";
    const Case cases[] = {
        {"letters in an integer", plist("<dict>\n<key>Track ID</key><integer>10a4</integer></dict>"),
         "line 5: <integer>10a4</integer> is not an integer"},
        {"an empty integer", plist("<integer></integer>"), "is not an integer"},
        {"a sign alone", plist("<integer>-</integer>"), "is not an integer"},
        {"beyond 64 bits", plist("<integer>18446744073709551616</integer>"), "is not an integer"},
        {"below the signed range", plist("<integer>-9223372036854775809</integer>"), "is not an integer"},
        {"a real with letters", plist("<real>1.5x</real>"), "is not a number"},
        {"a date of no day", plist("<date>2009-02-29T10:00:00Z</date>"), "is not a date"},
        {"a date without its zone", plist("<date>2009-05-12T10:00:00</date>"), "is not a date"},
        {"bad base64", plist("<data>iV*O</data>"), "is not base64 data"},
        {"truncated", plist("<dict><key>Tracks</key><dict><key>1</key>").substr(0, 180), "is not closed"},
        {"cut inside a string", "<plist version=\"1.0\"><string>abc", "<string> is not closed"},
        {"a key without a value", plist("<dict><key>a</key></dict>"), "has no value"},
        {"a value without a key", plist("<dict><string>a</string></dict>"), "expected a <key>"},
        {"a key twice", plist("<dict><key>a</key><true/><key>a</key><false/></dict>"), "appears twice"},
        {"an unknown element", plist("<dictionary/>"), "unknown element <dictionary>"},
        {"mismatched tags", plist("<string>a</integer>"), "closed by another element"},
        {"an unknown entity", plist("<string>&nbsp;</string>"), "unknown entity"},
        {"a reference to NUL", plist("<string>&#0;</string>"), "no character"},
        {"not UTF-8", plist("<string>\xC3\x28</string>"), "not UTF-8"},
        {"text after the list", plist("<true/>") + "<true/>", "after </plist>"},
        {"no property list", "<html></html>", "not a property list"},
        {"nested too deeply", plist(deep), "nested too deeply"},
    };
    for (const Case& c : cases) {
        Result<OrderedPropertyList> read = readText(c.text);
        EXPECT_FALSE(read) << c.name;
        EXPECT_NE(read.error().find(c.message), std::string::npos) << c.name << ": " << read.error();
    }
}

}  // namespace
}  // namespace playertest
