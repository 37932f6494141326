#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "platform/Foundation/PropertyList.h"
#include "platform/Foundation/PropertyListSerialization.h"
#include "platform/Foundation/PropertyListXMLReader.h"
#include "tests/platform/Foundation/PropertyListPrinter.h"
#include "tests/support/FifoInPlace.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes bytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

// Builds a binary list from raw objects with two-byte offsets and references of refSize bytes.
Bytes binaryList(const std::vector<Bytes>& objects, uint64_t top = 0, uint8_t refSize = 1) {
    Bytes out = bytesOf("bplist00");
    std::vector<uint16_t> offsets;
    for (const Bytes& object : objects) {
        offsets.push_back(static_cast<uint16_t>(out.size()));
        out.insert(out.end(), object.begin(), object.end());
    }
    const uint64_t table = out.size();
    for (uint16_t offset : offsets) {
        out.push_back(offset >> 8);
        out.push_back(offset & 0xFF);
    }
    Bytes trailer(32, 0);
    trailer[6] = 2;
    trailer[7] = refSize;
    auto put = [&](size_t at, uint64_t value) {
        for (int i = 7; i >= 0; --i, value >>= 8) trailer[at + i] = value & 0xFF;
    };
    put(8, objects.size());
    put(16, top);
    put(24, table);
    out.insert(out.end(), trailer.begin(), trailer.end());
    return out;
}

PropertyList everyKind() {
    PropertyList::Dictionary inner{{"empty", PropertyList::Array{}}, {"flag", false}};
    return PropertyList::Dictionary{
        {"name", "Caf\xC3\xA9 <&> \xF0\x9F\x8E\xB5"},
        {"negative", int64_t{-1}},
        {"min", std::numeric_limits<int64_t>::min()},
        {"max", std::numeric_limits<int64_t>::max()},
        {"small", 7},
        {"real", 0.1},
        {"yes", true},
        {"date", PropertyList::Date{86400}},
        {"data", PropertyList::Data{0, 1, 255}},
        {"list", PropertyList::Array{1, "two", PropertyList(inner)}},
    };
}

}  // namespace

TEST(PropertyList, NumbersConvertOnlyWithinRange) {
    const uint64_t big = uint64_t{1} << 63;
    EXPECT_EQ(PropertyList(uint64_t{5}).type(), PropertyList::Type::Integer);
    EXPECT_EQ(PropertyList(uint64_t{5}), PropertyList(5));
    EXPECT_EQ(PropertyList(big).type(), PropertyList::Type::UnsignedInteger);
    EXPECT_EQ(PropertyList(big).integer(), std::nullopt);
    EXPECT_EQ(PropertyList(big).unsignedInteger(), big);
    EXPECT_EQ(PropertyList(-1).unsignedInteger(), std::nullopt);
    EXPECT_EQ(PropertyList(2.9).integer(), 2);
    EXPECT_EQ(PropertyList(1e30).integer(), std::nullopt);
    EXPECT_EQ(PropertyList(true).integer(), 1);
    EXPECT_EQ(PropertyList("12").integer(), std::nullopt);
    EXPECT_EQ(everyKind().objectForKey("small")->integer(), 7);
    EXPECT_EQ(everyKind().objectForKey("absent"), nullptr);
    EXPECT_EQ(PropertyList(3).objectForKey("small"), nullptr);
}

TEST(PropertyListSerialization, RoundTripsEveryKindInBothFormats) {
    for (PropertyListFormat format : {PropertyListFormat::XML, PropertyListFormat::Binary}) {
        SCOPED_TRACE(format == PropertyListFormat::XML ? "XML" : "binary");
        Result<PropertyList::Data> written =
            PropertyListSerialization::dataWithPropertyList(everyKind(), format);
        ASSERT_TRUE(written) << written.error();
        PropertyListFormat found{};
        Result<PropertyList> read = PropertyListSerialization::propertyListWithData(written.value(), &found);
        ASSERT_TRUE(read) << read.error();
        EXPECT_EQ(found, format);
        EXPECT_EQ(read.value(), everyKind());
    }
    // XML keeps whole seconds of a date, as the format does; binary keeps the fraction.
    PropertyList fraction = PropertyList::Array{PropertyList::Date{-100.5}};
    for (auto [format, expected] :
         {std::pair{PropertyListFormat::XML, -100.0}, {PropertyListFormat::Binary, -100.5}}) {
        auto bytes = PropertyListSerialization::dataWithPropertyList(fraction, format).value();
        auto read = PropertyListSerialization::propertyListWithData(bytes).value();
        EXPECT_EQ(read.array()->at(0).date()->seconds, expected);
    }
}

TEST(PropertyListSerialization, UnsignedAboveSignedRangeIsReadButNeverWrittenWrong) {
    // Written through libplist 2.2 it would come back as -1.
    for (PropertyListFormat format : {PropertyListFormat::XML, PropertyListFormat::Binary}) {
        PropertyList value = PropertyList::Array{std::numeric_limits<uint64_t>::max()};
        Result<PropertyList::Data> written = PropertyListSerialization::dataWithPropertyList(value, format);
        EXPECT_FALSE(written);
        EXPECT_NE(written.error().find("18446744073709551615"), std::string::npos) << written.error();
    }
    struct Case {
        const char* name;
        Bytes bytes;
        PropertyList expected;
    };
    Bytes sixteen{0x14, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    Bytes eight{0x13, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const Case cases[] = {
        {"XML -1", bytesOf("<plist><integer>-1</integer></plist>"), PropertyList(-1)},
        {"XML 2^64-1", bytesOf("<plist><integer>18446744073709551615</integer></plist>"),
         PropertyList(std::numeric_limits<uint64_t>::max())},
        {"XML 2^63", bytesOf("<plist><integer>9223372036854775808</integer></plist>"),
         PropertyList(uint64_t{1} << 63)},
        {"binary 8-byte -1", binaryList({eight}), PropertyList(-1)},
        {"binary 16-byte 2^64-1", binaryList({sixteen}), PropertyList(std::numeric_limits<uint64_t>::max())},
    };
    for (const Case& c : cases) {
        Result<PropertyList> read = PropertyListSerialization::propertyListWithData(c.bytes);
        ASSERT_TRUE(read) << c.name << ": " << read.error();
        EXPECT_EQ(read.value(), c.expected) << c.name;
    }
}

TEST(PropertyListSerialization, RefusesValuesItCannotWrite) {
    struct Case {
        const char* name;
        PropertyList value;
    };
    const Case cases[] = {
        {"invalid UTF-8 string", PropertyList::Array{std::string("\xC3\x28")}},
        {"NUL inside a string", PropertyList::Array{std::string("a\0b", 3)}},
        {"invalid UTF-8 key", PropertyList::Dictionary{{std::string("\xFF"), 1}}},
        {"date beyond 32-bit seconds", PropertyList::Array{PropertyList::Date{5e9}}},
        {"date that is not a number", PropertyList::Array{PropertyList::Date{std::nan("")}}},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(PropertyListSerialization::dataWithPropertyList(c.value, PropertyListFormat::XML))
            << c.name;
        EXPECT_FALSE(PropertyListSerialization::dataWithPropertyList(c.value, PropertyListFormat::Binary))
            << c.name;
    }
}

TEST(PropertyListSerialization, MalformedInputIsAnErrorNotACrash) {
    const Bytes valid =
        PropertyListSerialization::dataWithPropertyList(everyKind(), PropertyListFormat::Binary).value();
    std::string deepXML = "<plist>";
    for (int i = 0; i < 600; ++i) deepXML += "<array>";
    Bytes deepBinary;  // 600 arrays, each holding the next
    {
        std::vector<Bytes> objects;
        for (int i = 1; i <= 600; ++i) objects.push_back({0xA1, uint8_t(i >> 8), uint8_t(i & 0xFF)});
        objects.push_back({0x09});
        deepBinary = binaryList(objects, 0, 2);
    }
    std::vector<Bytes> doubling;  // 40 arrays each holding the next one twice: 2^40 values
    for (int i = 0; i < 40; ++i)
        doubling.push_back({0xA2, static_cast<uint8_t>(i + 1), static_cast<uint8_t>(i + 1)});
    doubling.push_back({0x08});
    Bytes badOffset = binaryList({{0x09}});
    badOffset[badOffset.size() - 32 - 1] = 0xF0;

    struct Case {
        const char* name;
        Bytes bytes;
    };
    const std::vector<Case> cases = {
        {"empty", {}},
        {"text", bytesOf("hello, world")},
        {"HTML", bytesOf("<html><body>no</body></html>")},
        {"magic only", bytesOf("bplist00")},
        {"truncated binary", Bytes(valid.begin(), valid.begin() + valid.size() / 2)},
        {"binary missing its last byte", Bytes(valid.begin(), valid.end() - 1)},
        {"offset outside the objects", badOffset},
        {"array holding itself", binaryList({{0xA1, 0x00}})},
        {"reference past the objects", binaryList({{0xA1, 0x05}})},
        {"number as dictionary key", binaryList({{0xD1, 0x01, 0x01}, {0x10, 0x01}})},
        {"NUL inside a key", binaryList({{0xD1, 0x01, 0x02}, {0x52, 'a', 0}, {0x09}})},
        {"string longer than the data", binaryList({{0x5F, 0x10, 0xFF}})},
        {"16-byte integer beyond 64 bits",
         binaryList({{0x14, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}})},
        {"null object", binaryList({{0x00}})},
        {"nested too deeply (binary)", deepBinary},
        {"shared objects expanding past the cap", binaryList(doubling)},
        {"nested too deeply (XML)", bytesOf(deepXML)},
    };
    for (const Case& c : cases) {
        Result<PropertyList> read = PropertyListSerialization::propertyListWithData(c.bytes);
        EXPECT_FALSE(read) << c.name;
        EXPECT_FALSE(read.error().empty()) << c.name;
    }
    // Within the limits the same shapes read fine.
    std::vector<Bytes> shallow(doubling.end() - 5, doubling.end());
    for (size_t i = 0; i + 1 < shallow.size(); ++i) shallow[i] = {0xA2, uint8_t(i + 1), uint8_t(i + 1)};
    EXPECT_TRUE(PropertyListSerialization::propertyListWithData(binaryList(shallow)));
}

TEST(PropertyListSerialization, FilesMissingOversizedOrForeignAreErrorsNamingThePath) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("plist-test-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string big = (dir / "big.plist").string();
    std::ofstream(big) << "<plist>";
    fs::resize_file(big, PropertyListSerialization::kMaximumLength + 1);  // sparse, costs nothing
    std::ofstream(dir / "text.plist") << "not a list";
    const std::string good = (dir / "good.plist").string();
    {
        Bytes xml =
            PropertyListSerialization::dataWithPropertyList(everyKind(), PropertyListFormat::XML).value();
        std::ofstream(good, std::ios::binary).write(reinterpret_cast<const char*>(xml.data()), xml.size());
    }

    for (const std::string& path :
         {(dir / "missing.plist").string(), big, (dir / "text.plist").string(), dir.string()}) {
        Result<PropertyList> read = PropertyListSerialization::propertyListWithContentsOfFile(path);
        EXPECT_FALSE(read) << path;
        EXPECT_NE(read.error().find(path), std::string::npos) << read.error();
    }
    Result<PropertyList> read = PropertyListSerialization::propertyListWithContentsOfFile(good);
    ASSERT_TRUE(read) << read.error();
    EXPECT_EQ(read.value(), everyKind());
    fs::remove_all(dir);
}

// A pipe in place of a file is refused at once, without waiting for a writer that may never come.
TEST(PropertyListSerialization, APipeInPlaceOfAFileIsRefusedAtOnce) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("plist-fifo-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string path = (dir / "AssignedTrackIDs.plist").string();
    {
        FifoInPlace fifo(path);
        ASSERT_TRUE(fifo.made());
        Result<PropertyList> read = PropertyListSerialization::propertyListWithContentsOfFile(path);
        EXPECT_FALSE(fifo.readerWasStuck());
        ASSERT_FALSE(read);
        EXPECT_NE(read.error().find(path + ": not a regular file"), std::string::npos) << read.error();
    }
    fs::remove_all(dir);
}

// Past 64 KiB of objects the offsets and references take more bytes; the reader must take them back.
TEST(PropertyListSerialization, LargeBinaryListsReadBack) {
    PropertyList::Dictionary dictionary;
    for (int64_t i = 0; i < 40000; ++i) dictionary.emplace("key-" + std::to_string(i), PropertyList(i));
    const PropertyList value(std::move(dictionary));
    const auto bytes =
        PropertyListSerialization::dataWithPropertyList(value, PropertyListFormat::Binary).value();
    const auto read = PropertyListSerialization::propertyListWithData(bytes);
    ASSERT_TRUE(read) << read.error();
    EXPECT_EQ(read.value(), value);
}

TEST(PropertyListSerialization, ReadsXMLAsWrittenByOtherTools) {
    struct Case {
        const char* name;
        const char* xml;
        PropertyList expected;
    };
    const Case cases[] = {
        {"prolog, comments and entities",
         "\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<!-- made by hand -->\n"
         "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"x.dtd\">\n<plist version=\"1.0\">"
         "<string>a&lt;b&amp;&#233;&#x1F3B5;<!-- inside -->c<![CDATA[<raw>&amp;]]></string></plist>",
         PropertyList("a<b&\xC3\xA9\xF0\x9F\x8E\xB5"
                      "c<raw>&amp;")},
        {"keys out of order, repeated, empty",
         "<plist><dict><key>b</key><integer>2</integer><key>a</key><true></true>"
         "<key>b</key><integer> 0x1F </integer><key/><dict/></dict></plist>",
         PropertyList::Dictionary{{"a", true}, {"b", 31}, {"", PropertyList::Dictionary{}}}},
        {"numbers at their limits",
         "<plist><array><integer>-9223372036854775808</integer><integer>+7</integer>"
         "<real>-2.5e3</real><real>+1</real><false/><string/><array/></array></plist>",
         PropertyList::Array{std::numeric_limits<int64_t>::min(), 7, -2500.0, 1.0, false, "",
                             PropertyList::Array{}}},
        {"dates and data",
         "<plist><array><date>2001-01-02T00:00:01Z</date><date>2000-02-29T00:00:00Z</date>"
         "<data>\n\tAAH/\n\tAA==\n</data><data></data></array></plist>",
         PropertyList::Array{PropertyList::Date{86401}, PropertyList::Date{-86400 * 307},
                             PropertyList::Data{0, 1, 255, 0}, PropertyList::Data{}}},
    };
    for (const Case& c : cases) {
        Result<PropertyList> read = PropertyListSerialization::propertyListWithData(bytesOf(c.xml));
        ASSERT_TRUE(read) << c.name << ": " << read.error();
        EXPECT_EQ(read.value(), c.expected) << c.name;
    }
}

TEST(PropertyListSerialization, MalformedXMLIsAnErrorSayingWhy) {
    struct Case {
        const char* xml;
        const char* says;
    };
    const Case cases[] = {
        {"<plist><integer>12abc</integer></plist>", "not an integer"},
        {"<plist><integer></integer></plist>", "not an integer"},
        {"<plist><integer>-9223372036854775809</integer></plist>", "not an integer"},
        {"<plist><integer>18446744073709551616</integer></plist>", "not an integer"},
        {"<plist><real>1.5x</real></plist>", "not a number"},
        {"<plist><date>2001-02-29T00:00:00Z</date></plist>", "not a date"},
        {"<plist><date>2001-01-01 00:00:00</date></plist>", "not a date"},
        {"<plist><data>AA=A</data></plist>", "not Base64"},
        {"<plist><data>A</data></plist>", "not Base64"},
        {"<plist><true>yes</true></plist>", "text"},
        {"<plist><number>1</number></plist>", "unknown element"},
        {"<plist><array><string>a</array></plist>", "closed by"},
        {"<plist><dict><integer>1</integer></dict></plist>", "without a <key>"},
        {"<plist><dict><key>a</key></dict></plist>", "without a value"},
        {"<plist><string>a &bogus; b</string></plist>", "entity"},
        {"<plist><string>&#0;</string></plist>", "character reference"},
        {"<plist><string>&#xD800;</string></plist>", "character reference"},
        {"<plist><string>open", "truncated"},
        {"<plist><array>", "malformed"},
        {"<plist><true/></plist><false/>", "after </plist>"},
        {"<plist><true/><false/></plist>", "closed by"},
        {"<plist/>", "no value"},
        {"<plist></plist>", "no value"},
        {"<?xml version=\"1.0\"?><html/>", "not a property list"},
    };
    for (const Case& c : cases) {
        Result<PropertyList> read = PropertyListSerialization::propertyListWithData(bytesOf(c.xml));
        ASSERT_FALSE(read) << c.xml;
        EXPECT_NE(read.error().find(c.says), std::string::npos) << c.xml << ": " << read.error();
    }
}

TEST(PropertyListXMLReader, RefusesMoreValuesThanItsBound) {
    const std::string_view three = "<plist><array><true/><false/></array></plist>";
    EXPECT_TRUE(PropertyListXMLReader(three, 3, 8).read());
    Result<PropertyList> read = PropertyListXMLReader(three, 2, 8).read();
    ASSERT_FALSE(read);
    EXPECT_NE(read.error().find("too many values"), std::string::npos) << read.error();
}

// A reader that keeps only some top-level keys still checks the rest, but neither keeps nor counts
// their values; without kept keys it keeps everything.
TEST(PropertyListXMLReader, KeepsOnlyTheTopLevelKeysAskedFor) {
    const std::string_view library =
        "<plist><dict><key>Tracks</key><dict><key>1</key><dict><key>Name</key><string>a</string></dict>"
        "<key>2</key><array><true/><false/></array></dict>"
        "<key>Playlists</key><array><dict><key>Tracks</key><integer>7</integer></dict></array></dict></"
        "plist>";
    Result<PropertyList> kept = PropertyListXMLReader(library, 4, 8, {"Playlists"}).read();
    ASSERT_TRUE(kept) << kept.error();
    EXPECT_EQ(kept.value(), PropertyList(PropertyList::Dictionary{
                                {"Playlists", PropertyList::Array{PropertyList::Dictionary{{"Tracks", 7}}}}}))
        << "only the top level is filtered";
    EXPECT_FALSE(PropertyListXMLReader(library, 4, 8).read()) << "all ten values counted";

    const std::string_view broken =
        "<plist><dict><key>Tracks</key><dict><key>1</key><integer>x</integer></dict>"
        "<key>Playlists</key><array/></dict></plist>";
    Result<PropertyList> read = PropertyListXMLReader(broken, 100, 8, {"Playlists"}).read();
    ASSERT_FALSE(read);
    EXPECT_NE(read.error().find("not an integer"), std::string::npos) << read.error();
}

TEST(PropertyListSerialization, AFileOverTheUsualCapReadsWhenTheCallerRaisesIt) {
    namespace fs = std::filesystem;
    const fs::path path =
        fs::temp_directory_path() / ("plist-large-" + std::to_string(::getpid()) + ".plist");
    {
        std::ofstream out(path, std::ios::binary);
        out << "<plist><dict><key>Name</key><string>big</string><key>Pad</key><string>";
        out << std::string(PropertyListSerialization::kMaximumLength, 'x');
        out << "</string></dict></plist>";
    }
    EXPECT_FALSE(PropertyListSerialization::propertyListWithContentsOfFile(path.string()));
    PropertyListReadOptions options;
    options.maximumLength = PropertyListSerialization::kMaximumLength * 2;
    options.keptTopLevelKeys = {"Name"};
    Result<PropertyList> read =
        PropertyListSerialization::propertyListWithContentsOfFile(path.string(), nullptr, options);
    ASSERT_TRUE(read) << read.error();
    EXPECT_EQ(read.value(), PropertyList(PropertyList::Dictionary{{"Name", "big"}}));
    options.maximumLength = PropertyListSerialization::kMaximumLength;
    read = PropertyListSerialization::propertyListWithContentsOfFile(path.string(), nullptr, options);
    ASSERT_FALSE(read);
    EXPECT_NE(read.error().find("larger than 64 MiB"), std::string::npos) << read.error();
    fs::remove(path);
}

TEST(PropertyListSerialization, BinaryWriterStoresEqualScalarsOnceAndLongCountsReadBack) {
    // Keys shared by many dictionaries are written once; lengths of 15 and more take an
    // integer after the marker.
    PropertyList::Array tracks;
    for (int i = 0; i < 1000; ++i) {
        PropertyList::Dictionary entry;
        entry.emplace("TrackPersistentID", i);
        entry.emplace("BPM", 120);
        tracks.emplace_back(std::move(entry));
    }
    PropertyList::Array lengths;
    lengths.emplace_back(std::string(300, 'x'));
    lengths.emplace_back("\xC3\xA9" + std::string(20, 'z'));
    lengths.emplace_back(PropertyList::Data(70000, 7));
    tracks.emplace_back(std::move(lengths));
    const PropertyList value(tracks);
    const auto bytes = PropertyListSerialization::dataWithPropertyList(value, PropertyListFormat::Binary);
    ASSERT_TRUE(bytes) << bytes.error();
    const std::string_view written(reinterpret_cast<const char*>(bytes.value().data()), bytes.value().size());
    EXPECT_EQ(written.find("TrackPersistentID"), written.rfind("TrackPersistentID"));
    const auto read = PropertyListSerialization::propertyListWithData(bytes.value());
    ASSERT_TRUE(read) << read.error();
    EXPECT_EQ(read.value(), value);
}

TEST(PropertyListSerialization, XMLIsWrittenInTheLayoutOtherToolsWrite) {
    PropertyList::Dictionary value;
    value.emplace("a<&>", "x > y");
    value.emplace("data", PropertyList::Data(60, 0xFF));
    value.emplace("date", PropertyList::Date{86401.9});
    value.emplace("empty", PropertyList::Array{});
    value.emplace("real", 0.1);
    value.emplace("zero", -0.0);
    const auto bytes = PropertyListSerialization::dataWithPropertyList(value, PropertyListFormat::XML);
    ASSERT_TRUE(bytes) << bytes.error();
    const std::string expected =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
        "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
        "<plist version=\"1.0\">\n<dict>\n"
        "\t<key>a&lt;&amp;&gt;</key>\n\t<string>x &gt; y</string>\n"
        "\t<key>data</key>\n\t<data>\n"
        "\t" +
        std::string(68, '/') + "\n\t" + std::string(12, '/') +
        "\n\t</data>\n"
        "\t<key>date</key>\n\t<date>2001-01-02T00:00:01Z</date>\n"
        "\t<key>empty</key>\n\t<array/>\n"
        "\t<key>real</key>\n\t<real>0.10000000000000001</real>\n"
        "\t<key>zero</key>\n\t<real>-0.0</real>\n"
        "</dict>\n</plist>\n";
    EXPECT_EQ(std::string(bytes.value().begin(), bytes.value().end()), expected);
    const auto read = PropertyListSerialization::propertyListWithData(bytes.value());
    ASSERT_TRUE(read) << read.error();
    EXPECT_TRUE(std::signbit(*read.value().objectForKey("zero")->real())) << "the sign of zero is kept";
}
