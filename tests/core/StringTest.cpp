#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/CString.h"
#include "core/LString.h"
#include "core/UStringFunctions.h"
#include "platform/Carbon/TextEncoding.h"

namespace {

std::string Text(const LString& s) {
    return std::string(reinterpret_cast<const char*>(s.ConstTextPtr()), s.Length());
}

}  // namespace

TEST(LStr255, CutsAtItsCapacity) {
    const std::string longText(300, 'x');
    LStr255 s(longText.c_str());
    EXPECT_EQ(s.Length(), 255);
    s.Assign(longText.data(), longText.size());
    EXPECT_EQ(s.Length(), 255);
    s.Append('y');
    EXPECT_EQ(Text(s), std::string(255, 'x'));
    EXPECT_EQ((s + LStr255("abc")).Length(), 255);

    unsigned char buffer[8] = {0};
    LStringRef small(8, buffer);
    small = "abcdefghij";
    EXPECT_EQ(Text(small), "abcdefg");
    small.Insert("XY", 2, 1);
    EXPECT_EQ(Text(small), "abcdefg") << "no room left, nothing inserted";

    // A buffer larger than a length byte can count still holds at most 255 characters.
    std::vector<unsigned char> wide(1024, 0);
    LStringRef big(1000, wide.data());
    EXPECT_EQ(big.GetMaxLength(), 255);
    const std::string bytes300(300, 'a'), bytes600(600, 'b');
    big.Assign(bytes300.data(), bytes300.size());
    EXPECT_EQ(big.Length(), 255);
    big = "xyz";
    big.Insert(bytes600.data(), bytes600.size(), 2);
    EXPECT_EQ(Text(big), "x" + std::string(252, 'b') + "yz");
    EXPECT_EQ(wide[256], 0) << "nothing written past the length byte's reach";
    big.SetStringRef(-5, wide.data());
    EXPECT_EQ(big.GetMaxLength(), 0);
}

TEST(LStr255, EditsClipPositionsAndCounts) {
    struct Case {
        const char* name;
        void (*edit)(LString&);
        const char* expected;
    };
    const Case cases[] = {
        {"insert at 0 counts as 1", [](LString& s) { s.Insert("X", 1, 0); }, "Xhello"},
        {"insert past the end appends", [](LString& s) { s.Insert("X", 1, 200); }, "helloX"},
        {"remove count clipped to the end", [](LString& s) { s.Remove(4, 100); }, "hel"},
        {"remove past the end does nothing", [](LString& s) { s.Remove(6, 1); }, "hello"},
        {"replace", [](LString& s) { s.Replace(2, 3, "ipp", 3); }, "hippo"},
        {"replace with own text", [](LString& s) { s.Replace(1, 1, s.ConstTextPtr() + 1, 4); }, "elloello"},
        {"assign substring clipped", [](LString& s) { s.Assign(LStr255("abcdef"), 4, 100); }, "def"},
        {"substring operator", [](LString& s) { s = s(2, 3); }, "ell"},
        {"integer append", [](LString& s) { s.Append(SInt32{-42}); }, "hello-42"},
        {"four-character code", [](LString& s) { s.Assign(UInt32{0x54455854}); }, "TEXT"},
    };
    for (const Case& c : cases) {
        LStr255 s("hello");
        c.edit(s);
        EXPECT_EQ(Text(s), c.expected) << c.name;
    }
}

TEST(LStr255, DefaultCompareIgnoresEachSidesLastCharacter) {
    LStr255 line("Content-Type:text/html");
    // Pattern of 14 characters: only the first 13 ("content-type:") take part.
    LStr255 lowered(line);
    strtolower(reinterpret_cast<char*>(lowered.TextPtr()), lowered.Length());
    EXPECT_TRUE(lowered.BeginsWith("content-type: ", 14));
    EXPECT_FALSE(lowered.BeginsWith("content-tipe: ", 14));
    EXPECT_FALSE(LStr255("ab").BeginsWith("abc", 3)) << "shorter than the pattern";

    LStr255 bytewise("abcabc");
    bytewise.SetCompareFunc(LString::CompareBytes);
    EXPECT_EQ(bytewise.Find("ca", 2), 3);
    EXPECT_EQ(bytewise.ReverseFind("abc", 3), 4);
    EXPECT_TRUE(bytewise.EndsWith("bc", 2));
    EXPECT_FALSE(bytewise.BeginsWith("abd", 3));
    EXPECT_EQ(LStr255().Find("a", 1), 0);
    EXPECT_EQ(LStr255("xyz").FindWithin("yz", 2), 2);
}

TEST(LStr255, CompareFunctionsOrderUnsignedBytes) {
    const unsigned char high[] = {0xE9};
    EXPECT_GT(LString::CompareBytes(high, "a", 1, 1), 0);
    EXPECT_LT(LString::CompareBytes("ab", "abc", 2, 3), 0);
    EXPECT_EQ(LString::CompareBytes("abc", "abc", 3, 3), 0);
    EXPECT_GT(LString::ToolboxCompareText("\xE9x", "ax", 2, 2), 0);
}

TEST(LStr255, ConvertsNumbersAndCodes) {
    EXPECT_EQ(static_cast<SInt32>(LStr255("123")), 123);
    EXPECT_EQ(static_cast<SInt32>(LStr255("abc")), 0);
    EXPECT_EQ(static_cast<UInt32>(LStr255("TEXT")), 0x54455854u);
    EXPECT_EQ(static_cast<UInt32>(LStr255("AB")), 0x4142u) << "short text fills the low bytes";

    unsigned char p[256];
    LString::FourCharCodeToPStr(0x54455854, p);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(p + 1), p[0]), "TEXT");
    FourCharCode code = 0;
    LString::PStrToFourCharCode(p, code);
    EXPECT_EQ(code, 0x54455854u);

    const unsigned char a[] = "\x05hello";
    const unsigned char b[] = "\x04help";
    EXPECT_EQ(LString::GetCommonPrefixLen(a, b), 3);
    unsigned char small[4];
    LString::CopyPStr(a, small, 4);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(small + 1), small[0]), "hel");
}

TEST(CStringTest, IsAtOnceALengthByteAndACString) {
    const std::string longText(300, 'q');
    CString s(longText.c_str());
    EXPECT_EQ(s.Length(), 255);
    EXPECT_EQ(s.PStr()[0], 255);
    EXPECT_EQ(std::strlen(s.CStr()), 255u);
    EXPECT_EQ(s.CStr()[255], 0);

    CString copy(s);
    EXPECT_TRUE(copy == s);
    copy = copy.CStr();  // its own text
    EXPECT_TRUE(copy == s);
    copy = copy.CStr() + 5;  // a shorter piece of its own text
    EXPECT_EQ(copy.Length(), 250);

    CString empty;
    EXPECT_TRUE(empty == "");
    EXPECT_TRUE(CString('x') == 'x');
    EXPECT_TRUE(CString("ab") == reinterpret_cast<ConstStr255Param>("\x02"
                                                                    "ab"));
    empty = "";
    EXPECT_TRUE(empty.IsEmpty());
}

TEST(CStringTest, SetValueBlanksControlsAndGetValueConverts) {
    CString s;
    s.SetValue(fourCC("cstr"), "a\tb\r\nc");
    EXPECT_STREQ(s.CStr(), "a b  c");
    CString other;
    other.SetValue(fourCC("strC"), &s);
    EXPECT_TRUE(other == s);

    s = ".caf\x8e:x";  // Mac Roman 0x8E is e acute
    HFSUniStr255 name;
    s.GetValue(fourCC("strU"), &name);
    EXPECT_EQ(HFSUniStr255ToUTF8(name), ".caf\xC3\xA9:x");
    s.GetValue(fourCC("stFN"), &name);
    EXPECT_EQ(HFSUniStr255ToUTF8(name), "_caf\xC3\xA9-x");
    EXPECT_THROW(s.GetValue(fourCC("what"), &name), int);
}

TEST(CStringHelpers, StrtolowerStopsBeforeTheNthCharacter) {
    char text[] = "ABC";
    strtolower(text, 3);
    EXPECT_STREQ(text, "abC");
    char other[] = "ABC";
    strtolower(other, 1);
    EXPECT_STREQ(other, "ABC");
    char high[] = "\xC9Z";
    strtolower(high);
    EXPECT_STREQ(high, "\xC9z") << "bytes above 0x7F stay as they are";

    char quoted[] = "\"a\"\tb \r\nc";
    stripquotes(quoted);
    EXPECT_STREQ(quoted, "a\tb \r\nc");
    striptabspacenewline(quoted);
    EXPECT_STREQ(quoted, "abc");
}
