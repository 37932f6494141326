#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>

#include "platform/AppleEvents/AEBuild.h"
#include "platform/AppleEvents/AECoercion.h"
#include "platform/AppleEvents/AEFlatten.h"
#include "platform/AppleEvents/AEPrint.h"
#include "platform/AppleEvents/AETextEncoding.h"
#include "platform/AppleEvents/AppleEvent.h"
#include "platform/Carbon/FileReference.h"
#include "tests/platform/AppleEvents/TreeHelpers.h"

using namespace trees;

TEST(AEDesc, MovesOwnershipAndCopiesOnlyOnRequest) {
    AEDesc original = record("obj ", field("seld", slong(5)));
    AEDesc moved = std::move(original);
    EXPECT_EQ(original.descriptorType, typeNull);  // NOLINT: moved-from is 'null' by contract
    EXPECT_EQ(original.count(), 0u);
    AEDesc copy;
    ASSERT_EQ(AEDuplicateDesc(&moved, &copy), noErr);
    EXPECT_TRUE(copy == moved);
    ASSERT_EQ(AEPutKeyPtr(&copy, code("seld"), typeSInt32, "\0\0\0\0", 4), noErr);
    EXPECT_FALSE(copy == moved);
    AEDisposeDesc(&copy);
    EXPECT_EQ(copy.descriptorType, typeNull);
    EXPECT_EQ(AEGetDescDataSize(&copy), 0);
}

TEST(AEDesc, ListsAndRecordsByIndexAndKey) {
    AEDescList items = list(slong(1), text("two"), record("obj "));
    long count = 0;
    ASSERT_EQ(AECountItems(&items, &count), noErr);
    EXPECT_EQ(count, 3);
    AEDesc item;
    AEKeyword key = 0;
    EXPECT_EQ(AEGetNthDesc(&items, 2, typeUnicodeText, &key, &item), noErr);
    EXPECT_EQ(item.descriptorType, typeUnicodeText);
    EXPECT_EQ(UTF8FromUTF16Bytes(item.bytes().data(), item.bytes().size()), "two");
    EXPECT_EQ(AEGetNthDesc(&items, 0, typeWildCard, &key, &item), errAEIllegalIndex);
    EXPECT_EQ(AEGetNthDesc(&items, 4, typeWildCard, &key, &item), errAEIllegalIndex);
    const AEDesc plain = slong(3);
    EXPECT_EQ(AECountItems(&plain, &count), errAEWrongDataType);

    AERecord fields = record("reco", field("aaaa", slong(1)), field("bbbb", shor(2)));
    EXPECT_EQ(AEGetNthDesc(&fields, 2, typeWildCard, &key, &item), noErr);
    EXPECT_EQ(key, code("bbbb"));
    SInt32 v = 0;
    DescType actual = 0;
    Size size = 0;
    EXPECT_EQ(AEGetKeyPtr(&fields, code("bbbb"), typeSInt32, &actual, &v, sizeof v, &size), noErr);
    EXPECT_EQ(v, 2);
    EXPECT_EQ(actual, typeSInt32);
    EXPECT_EQ(size, 4);
    EXPECT_EQ(AEGetKeyPtr(&fields, code("cccc"), typeSInt32, &actual, &v, sizeof v, &size),
              errAEDescNotFound);

    // A pointer read copies at most the buffer and still tells the full size.
    const AERecord textField = record("reco", field("----", text("abcdef")));
    char buffer[3] = {};
    EXPECT_EQ(AEGetKeyPtr(&textField, keyDirectObject, typeChar, &actual, buffer, 3, &size), noErr);
    EXPECT_EQ(std::string(buffer, 3), "abc");
    EXPECT_EQ(size, 6);
}

TEST(AEDesc, FileDescriptorsAreCheckedWhenCreated) {
    AEDesc desc;
    EXPECT_EQ(AECreateDesc(typeAlias, "/a", 2, &desc), noErr);
    EXPECT_EQ(AECreateDesc(typeAlias, "a", 1, &desc), paramErr);
    EXPECT_EQ(desc.descriptorType, typeNull);
    EXPECT_EQ(AECreateDesc(typeFSRef, "short", 5, &desc), paramErr);
    EXPECT_EQ(AECreateDesc(typeSInt32, nullptr, 4, &desc), paramErr);
}

TEST(AECoercion, Table) {
    namespace fs = std::filesystem;
    const fs::path file = fs::temp_directory_path() / ("aecoerce-" + std::to_string(getpid()) + ".mp3");
    std::ofstream(file) << "x";
    FSRef ref;
    ASSERT_EQ(FSPathMakeRef(file.string(), &ref), noErr);
    const std::vector<uint8_t> fsrf = FSRefData(ref);
    const std::string path = file.string();
    const uint8_t version[] = {7, 0x21, 0x80, 0, 0, 0, 5, '7', '.', '2', '.', '1', 0};
    const uint8_t truncatedVersion[] = {7, 0x21, 0x80, 0, 0, 0, 9, '7', '.'};
    const double half = 0.5, three = 3.0;

    struct Case {
        const char* name;
        AEDesc from;
        DescType to;
        std::optional<AEDesc> expected;  // nullopt: errAECoercionFail
    };
    Case cases[] = {
        {"shor to long", shor(-3), typeSInt32, slong(-3)},
        {"long to shor in range", slong(300), typeSInt16, shor(300)},
        {"long to shor out of range", slong(70000), typeSInt16, std::nullopt},
        {"comp to long out of range", comp(int64_t{1} << 40), typeSInt32, std::nullopt},
        {"long to comp", slong(-1), typeSInt64, comp(-1)},
        {"long to bool", slong(1), typeBoolean, value(typeBoolean, uint8_t{1})},
        {"long 2 to bool", slong(2), typeBoolean, std::nullopt},
        {"bool to long", value(typeBoolean, uint8_t{0}), typeSInt32, slong(0)},
        {"long to doub", slong(3), typeIEEE64BitFloatingPoint, value(typeIEEE64BitFloatingPoint, three)},
        {"whole doub to long", value(typeIEEE64BitFloatingPoint, three), typeSInt32, slong(3)},
        {"fractional doub to long", value(typeIEEE64BitFloatingPoint, half), typeSInt32, std::nullopt},
        {"long of wrong size", bytes("long", "abc"), typeSInt16, std::nullopt},
        {"enum to type", enumCode("kSpN"), typeType, typed("type", "kSpN")},
        {"type to enum", typed("type", "kPSP"), typeEnumerated, enumCode("kPSP")},
        {"enum to long", enumCode("kPSP"), typeSInt32, std::nullopt},
        {"TEXT to utxt", text("caf\xc3\xa9"), typeUnicodeText,
         AEDesc::makeData(typeUnicodeText, UTF16BytesFromUTF8("caf\xc3\xa9"))},
        {"utxt to utf8", AEDesc::makeData(typeUnicodeText, UTF16BytesFromUTF8("\xe2\x99\xab")), typeUTF8Text,
         bytes("utf8", "\xe2\x99\xab")},
        {"utxt with an odd byte drops it", bytes("utxt", std::string("a\0b", 3)), typeChar, text("a")},
        {"vers to utxt is the short version", AEDesc::makeData(typeVersion, version, sizeof version),
         typeUnicodeText, AEDesc::makeData(typeUnicodeText, UTF16BytesFromUTF8("7.2.1"))},
        {"vers with a length beyond its data",
         AEDesc::makeData(typeVersion, truncatedVersion, sizeof truncatedVersion), typeUnicodeText,
         std::nullopt},
        {"TEXT to long", text("12"), typeSInt32, std::nullopt},
        {"alis to fsrf", bytes("alis", path), typeFSRef, AEDesc::makeData(typeFSRef, fsrf)},
        {"alis of a missing file to fsrf", bytes("alis", path + ".gone"), typeFSRef, std::nullopt},
        {"fsrf to alis", AEDesc::makeData(typeFSRef, fsrf), typeAlias, bytes("alis", path)},
        {"item to list", record("obj "), typeAEList, list(record("obj "))},
        {"record to long", record("obj "), typeSInt32, std::nullopt},
        {"anything to wildcard", text("x"), typeWildCard, text("x")},
    };
    for (Case& c : cases) {
        AEDesc result;
        const OSErr err = AECoerceDesc(&c.from, c.to, &result);
        if (!c.expected) {
            EXPECT_EQ(err, errAECoercionFail) << c.name;
            EXPECT_EQ(result.descriptorType, typeNull) << c.name;
        } else {
            EXPECT_EQ(err, noErr) << c.name;
            EXPECT_TRUE(result == *c.expected) << c.name << ": " << AEPrint(result);
        }
    }
    fs::remove(file);
}

TEST(AEPrint, CanonicalTexts) {
    const char16_t utxt[] = u"Bl\u00fce";
    const uint8_t raw[] = {0, 0xFF, 0x10};
    struct Case {
        const char* name;
        AEDesc desc;
        const char* text;
    };
    Case cases[] = {
        {"null", AEDesc(), "'null'()"},
        {"short integer", shor(-12), "-12"},
        {"small long", slong(120), "'long'(120)"},
        {"large long", slong(70000), "70000"},
        {"comp", comp(-1), "'comp'(-1)"},
        {"enum", enumCode("kPSP"), "'kPSP'"},
        {"type", typed("type", "pYr "), "'type'('pYr ')"},
        {"text", text("00A1"), "\"00A1\""},
        {"text with a quote", text("a\"b"), "'TEXT'($612262$)"},
        {"unicode text", AEDesc::makeData(typeUnicodeText, utxt, 8),
         "'utxt'(\"Bl\xc3\xbc"
         "e\")"},
        {"alias", bytes("alis", "/a b.mp3"), "'alis'(\"/a b.mp3\")"},
        {"raw data", AEDesc::makeData(code("PICT"), raw, 3), "'PICT'($00FF10$)"},
        {"unprintable code", value(typeEnumerated, FourCharCode{0x41424301}), "$41424301$"},
        {"process id", value(typeKernelProcessID, uint32_t{4242}), "'kpid'(4242)"},
        {"list", list(shor(1), enumCode("=")), "[1, '=   ']"},
        {"record", record("reco", field("----", AEDesc())), "{'----':'null'()}"},
        {"object specifier", obj("prop", typed("type", "prop"), typed("type", "pPos"), AEDesc()),
         "'obj '{'form':'prop', 'want':'type'('prop'), 'seld':'type'('pPos'), 'from':'null'()}"},
        {"event", AEDesc::makeEvent(kCoreEventClass, kAEGetData, AEDesc(), 1, 0), "'core'\\'getd'{}"},
    };
    for (Case& c : cases) EXPECT_EQ(AEPrint(c.desc), c.text) << c.name;

    // What the build syntax can spell reads back into the same tree.
    const AEDesc sample = record("obj ", field("form", enumCode("test")), field("seld", slong(5)),
                                 field("obj2", AEDesc::makeData(typeUnicodeText, utxt, 8)),
                                 field("x", comp(9)), field("from", empty("exmn")));
    AEDesc reread;
    ASSERT_EQ(AEBuildDesc(&reread, nullptr, AEPrint(sample)), noErr) << AEPrint(sample);
    EXPECT_TRUE(reread == sample) << AEPrint(reread);

    Handle h = nullptr;
    ASSERT_EQ(AEPrintDescToHandle(&sample, &h), noErr);
    EXPECT_EQ(std::string(*h), AEPrint(sample));
    DisposeHandle(h);
}

namespace {

AppleEvent sampleEvent() {
    const pid_t pid = 4242;
    AEDesc container = obj("indx", typed("type", "cPly"), shor(1), AEDesc());
    const char16_t search[] = u"x";
    AppleEvent event;
    AEBuildAppleEvent(fourCC("hook"), fourCC("Srch"), typeKernelProcessID, &pid, sizeof pid, 7, 3, &event,
                      nullptr, "'----':@, pTrm:'utxt'(@), list:@", &container, 2, search,
                      list(slong(1), text("a")).clone());
    event.event()->sendMode = kAEWaitReply | kAENeverInteract;
    event.event()->timeout = 120;
    AEPutAttributePtr(&event, code("misc"), typeSInt32, &pid, sizeof pid);
    return event;
}

}  // namespace

TEST(AEFlatten, RoundTripsEventsAndTrees) {
    const AppleEvent event = sampleEvent();
    ASSERT_EQ(event.count(), 3u);
    const std::vector<uint8_t> flat = AEFlatten(event);
    AEDesc back;
    ASSERT_EQ(AEUnflatten(flat, &back), noErr);
    EXPECT_TRUE(back == event) << AEPrint(back);
    EXPECT_EQ(back.event()->timeout, 120);
    EXPECT_EQ(back.event()->returnID, 7);
    SInt32 misc = 0;
    EXPECT_EQ(AEGetAttributePtr(&back, code("misc"), typeSInt32, nullptr, &misc, 4, nullptr), noErr);
    EXPECT_EQ(misc, 4242);

    Size size = 0;
    EXPECT_EQ(AEFlattenDesc(&event, nullptr, 0, &size), memFullErr);
    EXPECT_EQ(size, AESizeOfFlattenedDesc(&event));
    std::vector<char> buffer(static_cast<size_t>(size));
    EXPECT_EQ(AEFlattenDesc(&event, buffer.data(), size, &size), noErr);
    EXPECT_EQ(std::memcmp(buffer.data(), flat.data(), flat.size()), 0);
}

TEST(AEFlatten, RejectsTruncatedAndCorruptInput) {
    const std::vector<uint8_t> flat = AEFlatten(sampleEvent());
    AEDesc result;
    for (size_t length = 0; length < flat.size(); ++length) {
        const std::vector<uint8_t> cut(flat.begin(), flat.begin() + static_cast<std::ptrdiff_t>(length));
        EXPECT_EQ(AEUnflatten(cut, &result), errAECorruptData) << "cut at " << length;
    }
    std::vector<uint8_t> trailing = flat;
    trailing.push_back(0);
    EXPECT_EQ(AEUnflatten(trailing, &result), errAECorruptData);

    auto header = [](std::initializer_list<uint8_t> body) {
        std::vector<uint8_t> bytes = {'B', 'W', 'A', 'E', 1};
        bytes.insert(bytes.end(), body);
        return bytes;
    };
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    std::vector<uint8_t> deep = header({});
    for (int i = 0; i <= kAEFlattenMaxDepth + 1; ++i)
        deep.insert(deep.end(), {'l', 'i', 's', 't', 1, 0, 0, 0, 1});
    deep.insert(deep.end(), {'n', 'u', 'l', 'l', 0, 0, 0, 0, 0});
    const Case cases[] = {
        {"bad magic", {'B', 'W', 'A', 'F', 1, 'n', 'u', 'l', 'l', 0, 0, 0, 0, 0}},
        {"newer version", {'B', 'W', 'A', 'E', 2, 'n', 'u', 'l', 'l', 0, 0, 0, 0, 0}},
        {"unknown kind", header({'n', 'u', 'l', 'l', 9, 0, 0, 0, 0})},
        {"data longer than the buffer", header({'T', 'E', 'X', 'T', 0, 0xFF, 0xFF, 0xFF, 0xF0, 'a'})},
        {"huge item count", header({'l', 'i', 's', 't', 1, 0xFF, 0xFF, 0xFF, 0xFF})},
        {"record count beyond its fields",
         header({'r', 'e', 'c', 'o', 2, 0, 0, 0, 2, 'k', 'e', 'y', ' ', 'n', 'u', 'l', 'l', 0, 0, 0, 0, 0})},
        {"event with a structured address",
         header({'a', 'e', 'v', 't', 3, 'c', 'o', 'r', 'e', 'g', 'e', 't', 'd', 0, 1, 0, 0, 0, 0, 0, 0, 0,
                 0,   0,   0,   0,   0, 'l', 'i', 's', 't', 1,   0,   0,   0,   0, 0, 0, 0, 0, 0, 0, 0, 0})},
        {"nesting too deep", deep},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AEUnflatten(c.bytes, &result), errAECorruptData) << c.name;
        EXPECT_EQ(result.descriptorType, typeNull) << c.name;
    }
}
