#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/LArray.h"
#include "core/TDynamicBuffer.h"
#include "core/streams/THandleStream.h"
#include "network/THeaderField.h"
#include "network/TInternetMessage.h"
#include "network/UInternet.h"

namespace {

std::string Text(TDynamicBuffer& buffer) {
    return UInternet::BufferText(buffer);
}

std::string Repeat(char c, size_t n) {
    return std::string(n, c);
}

}  // namespace

TEST(HeaderFieldTest, FoldsAtSixtyCharacters) {
    struct Case {
        const char* name;
        std::string text;
        std::string folded;
    };
    const std::string a30 = Repeat('a', 30);
    const Case cases[] = {
        {"60 characters stay", a30 + " " + Repeat('b', 29), a30 + " " + Repeat('b', 29)},
        {"61 characters break at the blank", a30 + " " + Repeat('b', 30),
         a30 + "\r\n     " + Repeat('b', 30)},
        {"61 without a blank stay unbroken", Repeat('c', 61), Repeat('c', 61)},
        {"trailing white space goes first", a30 + " " + Repeat('b', 29) + "  \t",
         a30 + " " + Repeat('b', 29)},
        {"the last blank at or before column 60",
         Repeat('a', 10) + " " + Repeat('b', 49) + " " + Repeat('c', 20),
         Repeat('a', 10) + " " + Repeat('b', 49) + "\r\n     " + Repeat('c', 20)},
        {"blanks before a break are dropped", a30 + "   " + Repeat('b', 40),
         a30 + "\r\n     " + Repeat('b', 40)},
        {"several breaks", Repeat('a', 59) + " " + Repeat('b', 59) + " " + Repeat('c', 10),
         Repeat('a', 59) + "\r\n     " + Repeat('b', 59) + "\r\n     " + Repeat('c', 10)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(THeaderField::Fold(c.text), c.folded);
    }

    EXPECT_EQ(THeaderField("X-Long", Repeat('v', 61)).GetField(), "X-Long: " + Repeat('v', 61) + "\r\n")
        << "a field's own separator is no break";
    EXPECT_EQ(THeaderField("X-Long", "").GetField(), "");
}

TEST(HeaderFieldTest, ParsesContinuationLinesAndUnfolds) {
    THeaderField field("Subject: a\r\n b\r\nTo: x\r\n");
    EXPECT_EQ(field.GetTitle(), "Subject");
    EXPECT_EQ(field.GetBody(), "a b");

    THeaderField folded("X: one\r\n\t  two\n   three\rNext: y");
    EXPECT_EQ(folded.GetBody(), "one two three");

    THeaderField empty("Empty: \r\n continued\r\n");
    EXPECT_EQ(empty.GetTitle(), "Empty");
    EXPECT_EQ(empty.GetBody(), "");

    THeaderField untouched("Kept", "value");
    untouched.SetField("no separator here");
    EXPECT_EQ(untouched.GetTitle(), "Kept");

    const std::string long_ = Repeat('w', 40) + " " + Repeat('z', 40);
    THeaderField roundTrip(THeaderField("Long", long_).GetField());
    EXPECT_EQ(roundTrip.GetBody(), long_);
}

TEST(UInternetTest, FindsBodyStarts) {
    struct Case {
        const char* text;
        size_t length;
        size_t start;
    };
    const Case cases[] = {
        {"\nbody", 0, 1},
        {"\r\nbody", 0, 2},
        {"A: 1\r\n\r\nbody", 0, 8},
        {"A: 1\n\nbody", 0, 6},
        {"A: 1\r\n\r\n\r\n\nbody", 0, 11},
        {"A: 1\r\nno empty line", 0, 0},
        {"A: 1\r\n\r\nbody", 6, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(UInternet::FindBodyStarts(c.text, c.length), c.start);
    }

    struct StreamCase {
        const char* text;
        SInt64 start;
    };
    const StreamCase streamCases[] = {
        {"\nbody", 1},       {"\r\nbody", 2},       {"A: 1\r\n\r\nbody", 8},
        {"A: 1\n\nbody", 6}, {"A: 1\r\n\nbody", 7}, {"A: 1\r\nA: 2\r\n", 0},
    };
    for (const StreamCase& c : streamCases) {
        SCOPED_TRACE(c.text);
        TDynamicBuffer buffer(c.text);
        EXPECT_EQ(UInternet::FindBodyStarts(buffer), c.start);
    }
    TDynamicBuffer header("A: 1\r\n\r\nbody");
    EXPECT_EQ(UInternet::FindBodyStarts(*header.GetBufferStream(), 5), 0) << "beyond the length";
}

TEST(UInternetTest, FindsFieldsCaseInsensitivelyAndNeverInContinuations) {
    const std::string header =
        "content-type: text/html\r\nX-A: 1\r\n Content-Length: 9\r\nContent-Length: 12\r\n";
    THeaderField field;
    ASSERT_TRUE(UInternet::FindField("Content-Type", header, field));
    EXPECT_EQ(field.GetBody(), "text/html");
    ASSERT_TRUE(UInternet::FindField("Content-Length", header, field));
    EXPECT_EQ(field.GetBody(), "12");
    EXPECT_FALSE(UInternet::FindField("Missing", header, field));

    TDynamicBuffer reply("HTTP/1.0 200 OK\r\ncontent-length: 42\r\n\r\nbody");
    EXPECT_EQ(UInternet::GetContentLength(reply), 42);
    TDynamicBuffer partial("HTTP/1.0 200 OK\r\nContent-Length: 42\r\n");
    EXPECT_EQ(UInternet::GetContentLength(partial), 0);
}

TEST(InternetMessageTest, BuildsFieldsInTitleOrder) {
    TInternetMessage message;
    message.SetArbitraryField("X-B", "2");
    message.SetArbitraryField("X-A", "1");
    message.SetArbitraryField("x-a", "lower");
    message.SetArbitraryField("X-B", "replaced");
    message.SetArbitraryField("X-Gone", "3");
    message.SetArbitraryField("X-Gone", nullptr);
    message.SetMessageBody("hello", 0);
    auto whole = message.GetMessage();
    EXPECT_EQ(Text(*whole), "X-A: 1\r\nX-B: replaced\r\nx-a: lower\r\n\r\nhello");
    EXPECT_EQ(message.GetArbitraryFieldIndex("X-B"), 2);
    EXPECT_EQ(message.GetArbitraryFieldIndex("X-C"), 0);
}

TEST(InternetMessageTest, ParsesReceivedTextAndEditsItsHeader) {
    const std::string text =
        "Subject: " + Repeat('s', 40) + "\r\n     " + Repeat('t', 40) + "\r\nX-Kept: yes\r\n\r\nthe body";
    TInternetMessage message(text.c_str(), 0);
    ASSERT_TRUE(message.HasCustomHeader());
    EXPECT_EQ(Text(*message.GetMessageBody()), "the body");
    THeaderField subject;
    ASSERT_TRUE(message.GetArbitraryField("subject", subject));
    EXPECT_EQ(subject.GetBody(), Repeat('s', 40) + " " + Repeat('t', 40));

    // A folded field goes with all its lines.
    message.RemoveArbitraryField("Subject");
    EXPECT_EQ(message.GetInternalHeaderString(), "X-Kept: yes\r\n");
    message.SetArbitraryField("X-New", "1");
    EXPECT_EQ(Text(*message.GetHeader()), "X-Kept: yes\r\nX-New: 1\r\n");

    TInternetMessage bodyOnly("no header at all", 0);
    EXPECT_FALSE(bodyOnly.HasCustomHeader());
    EXPECT_EQ(Text(*bodyOnly.GetMessageBody()), "no header at all");
}

TEST(InternetMessageTest, PartialDataWaitsForACompleteHeader) {
    TInternetMessage message;
    TDynamicBuffer piece("Content-Type: te");
    message.SetPartialMessage(piece);
    EXPECT_FALSE(message.HasCustomHeader());
    EXPECT_EQ(Text(piece), "Content-Type: te") << "the bytes stay where they are";

    piece.ConcatenateBuffer("xt/plain\r\n\r\nfirst ", 18);
    message.SetPartialMessage(piece);
    EXPECT_TRUE(message.HasCustomHeader());
    EXPECT_EQ(Text(piece), "");
    TDynamicBuffer more("second");
    message.SetPartialMessage(more);
    EXPECT_EQ(Text(*message.GetMessage()), "Content-Type: text/plain\r\n\r\nfirst second");
}

TEST(InternetMessageTest, ReadsFromStreamsAndClones) {
    TDynamicBuffer source("X-A: 1\r\n\r\nstream body");
    TInternetMessage message;
    message.SetMessage(*source.GetBufferStream(), -1);
    EXPECT_EQ(message.GetInternalHeaderString(), "X-A: 1\r\n");
    EXPECT_EQ(Text(*message.GetMessageBody()), "stream body");

    TInternetMessage built;
    built.SetArbitraryField("X-B", "2");
    built.SetMessageBody("b", 0);
    TInternetMessage copy;
    copy.Clone(built);
    EXPECT_FALSE(copy.HasCustomHeader());
    EXPECT_EQ(Text(*copy.GetMessage()), "X-B: 2\r\n\r\nb");
}

TEST(UInternetTest, MailHelpers) {
    TDynamicBuffer data(".starts\nplain\r\n");
    ASSERT_TRUE(UInternet::SMTPEncode(data));
    EXPECT_EQ(Text(data), "..starts\r\nplain\r\n.\r\n");
    ASSERT_TRUE(UInternet::SMTPDecode(data));
    EXPECT_EQ(Text(data), ".starts\nplain\n");

    TDynamicBuffer wide("caf\xc3\xa9");
    EXPECT_FALSE(UInternet::SMTPEncode(wide));
    EXPECT_EQ(Text(wide), "caf\xc3\xa9");
    EXPECT_FALSE(UInternet::CheckSMTPValid(wide));
    TDynamicBuffer longLine(Repeat('x', 1001).c_str());
    EXPECT_FALSE(UInternet::CheckSMTPValid(longLine));

    struct AddressCase {
        const char* in;
        const char* out;
    };
    for (const AddressCase& c :
         {AddressCase{"Ann Lee <ann@x.org>", "ann@x.org"}, AddressCase{"ann@x.org (Ann)", "ann@x.org"},
          AddressCase{" ann @x.org", "ann@x.org"}}) {
        unsigned char address[256];
        address[0] = static_cast<unsigned char>(std::strlen(c.in));
        std::memcpy(address + 1, c.in, address[0]);
        UInternet::GetCleanAddress(address);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(address + 1), address[0]), c.out) << c.in;
    }

    EXPECT_EQ(UInternet::MD5String("abc"), "900150983cd24fb0d6963f7d28e17f72");
    LArray list(UInternet::kListItemSize);
    UInternet::CommaStringToList("a@x, b@y\tc@z", list);
    EXPECT_EQ(UInternet::ListToCommaString(list), "a@x, b@y, c@z");
}
