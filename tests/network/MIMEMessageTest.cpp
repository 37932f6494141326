#include <gtest/gtest.h>

#include <string>

#include "core/TDynamicBuffer.h"
#include "network/NetworkErrors.h"
#include "network/THeaderField.h"
#include "network/TMIMEMessage.h"
#include "network/TMailMessage.h"
#include "network/UInternet.h"

namespace {

std::string Text(TDynamicBuffer& buffer) {
    return UInternet::BufferText(buffer);
}

TMIMEMessage* TextPart(const char* body) {
    auto* part = new TMIMEMessage;
    part->SetContentType("text/plain");
    part->SetMessageBody(body, 0);
    return part;
}

// Two text parts, a nested multipart of one part, and a preamble.
void BuildSample(TMIMEMessage& message) {
    message.SetContentType("multipart/mixed; boundary=\"outer\"");
    message.SetMIMEPreamble("This is a multipart message.\r\n", 0);
    message.AddMessageBodySegment(TextPart("first part\r\nwith two lines"));
    auto* nested = new TMIMEMessage;
    nested->SetContentType("multipart/alternative; boundary=\"inner\"");
    nested->AddMessageBodySegment(TextPart("nested -- not a boundary\r\n--outerX neither"));
    message.AddMessageBodySegment(nested);
    message.AddMessageBodySegment(TextPart("last"));
}

// Each part's content type and body, nested parts indented.
std::string Outline(TMIMEMessage& message, const std::string& indent = "") {
    std::string outline;
    TInternetMessageList& parts = message.GetMessageBodyList();
    for (ArrayIndexT index = 1; index <= static_cast<ArrayIndexT>(parts.GetCount()); ++index) {
        TMIMEMessage* part = parts.MessageAt(index);
        outline += indent + part->GetContentType() + ": ";
        if (part->GetMessageBodyList().GetCount() > 0) {
            outline += "\n" + Outline(*part, indent + "  ");
        } else {
            outline += Text(*part->GetMessageBody()) + "\n";
        }
    }
    return outline;
}

}  // namespace

TEST(MIMEMessageTest, ContentTypesAndBoundaries) {
    TMIMEMessage generated;
    generated.SetContentType("multipart/mixed");
    EXPECT_EQ(generated.GetBoundary(), "==_Boundary-1_==");
    EXPECT_TRUE(generated.GetIsMIME());
    EXPECT_EQ(generated.GetMIMEVersion(), "1.0");

    struct Case {
        const char* type;
        const char* stored;
        const char* boundary;
    };
    const Case cases[] = {
        {"multipart/mixed; boundary=\"x\"", "multipart/mixed", "x"},
        {"Multipart/Related; BOUNDARY=\"a b\"", "Multipart/Related", "a b"},
        {"multipart/form-data; boundary=bare42", "multipart/form-data", "bare42"},
        {"text/html; boundary=\"kept\"", "text/html; boundary=\"kept\"", "==_Boundary-1_=="},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        TMIMEMessage message;
        message.SetContentType(c.type);
        EXPECT_EQ(message.GetContentType(), c.stored);
        EXPECT_EQ(message.GetBoundary(), c.boundary);
    }

    TMIMEMessage plain;
    plain.SetIsMIME(true, "1.0");
    EXPECT_EQ(plain.GetContentType(), "text/plain; charset=\"us-ascii\"");
    plain.SetIsMIME(false, nullptr);
    EXPECT_EQ(plain.GetContentType(), "");

    TMIMEMessage parent;
    EXPECT_THROW(parent.AddMessageBodySegment(&parent), int);
    try {
        parent.AddMessageBodySegment(nullptr);
    } catch (int error) {
        EXPECT_EQ(error, kMissingObjectErr);
    }
    parent.AddMessageBodySegment(new TMIMEMessage);
    EXPECT_EQ(parent.GetContentType(), "multipart/mixed");
    EXPECT_EQ(parent.GetMessageBodyList().MessageAt(1)->GetSegmentDepth(), 2);
}

TEST(MIMEMessageTest, WritesMultipartBodiesAndCountsWhatItWrites) {
    TMIMEMessage message;
    message.SetContentType("multipart/mixed; boundary=\"b\"");
    message.SetMIMEPreamble("pre", 0);
    message.AddMessageBodySegment(TextPart("one"));
    message.AddMessageBodySegment(TextPart("two"));
    const std::string part1 = "MIME-Version: 1.0\r\nContent-Type: text/plain\r\n\r\none";
    const std::string part2 = "MIME-Version: 1.0\r\nContent-Type: text/plain\r\n\r\ntwo";
    const std::string body = "pre\r\n\r\n--b\r\n" + part1 + "\r\n--b\r\n" + part2 + "\r\n--b--\r\n";
    EXPECT_EQ(Text(*message.GetMessageBody()), body);
    EXPECT_EQ(Text(*message.GetHeader()),
              "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n");
    EXPECT_EQ(message.GetMessageBodySize(), static_cast<SInt64>(body.size()));

    TMIMEMessage nested;
    BuildSample(nested);
    EXPECT_EQ(nested.GetMessageBodySize(), nested.GetMessageBody()->GetBufferStream()->GetLength());
}

TEST(MIMEMessageTest, PieceByPieceWritingGivesTheWholeMessage) {
    TMIMEMessage message;
    BuildSample(message);
    std::string written;
    TDynamicBuffer piece;
    message.GetPartialMessage(piece, true);
    written += Text(piece);
    bool done = false;
    for (int calls = 0; !done && calls < 100; ++calls) {
        done = message.GetPartialMessage(piece, false);
        written += Text(piece);
    }
    ASSERT_TRUE(done);
    EXPECT_EQ(written, Text(*message.GetMessage()));
}

TEST(MIMEMessageTest, ParsesAWholeMultipartMessage) {
    TMIMEMessage source;
    BuildSample(source);
    const std::string text = Text(*source.GetMessage());

    TMIMEMessage parsed(text.c_str(), 0);
    EXPECT_EQ(parsed.GetBoundary(), "outer");
    EXPECT_EQ(parsed.GetMIMEPreamble(), "This is a multipart message.\r\n");
    EXPECT_EQ(Outline(parsed), Outline(source));
    EXPECT_EQ(Outline(parsed),
              "text/plain: first part\r\nwith two lines\n"
              "multipart/alternative: \n"
              "  text/plain: nested -- not a boundary\r\n--outerX neither\n"
              "text/plain: last\n");

    TMIMEMessage unterminated(
        "Content-Type: multipart/mixed; boundary=\"z\"\r\n\r\n--z\r\n\r\nkept\r\n--z\r\n\r\ndropped", 0);
    EXPECT_EQ(Outline(unterminated), ": kept\n") << "a stretch not closed by a boundary line is no part";

    const char adjacent[] =
        "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\n--b\r\n\r\nx\r\n--b--\r\n";
    TMIMEMessage whole(adjacent, 0);
    EXPECT_EQ(Outline(whole), ": \n: x\n") << "a boundary line right after another gives an empty part";
    TMIMEMessage received;
    TDynamicBuffer pending;
    for (const char* byte = adjacent; *byte; ++byte) {
        pending.ConcatenateBuffer(byte, 1);
        received.SetPartialMessage(pending);
    }
    EXPECT_EQ(Outline(received), Outline(whole));
}

TEST(MIMEMessageTest, AMultipartBodyFedOneByteAtATimeParsesAsAWhole) {
    TMIMEMessage source;
    BuildSample(source);
    const std::string text = Text(*source.GetMessage()) + "epilogue to ignore\r\n";

    TMIMEMessage whole(text.c_str(), 0);
    TMIMEMessage received;
    TDynamicBuffer pending;
    for (char byte : text) {
        pending.ConcatenateBuffer(&byte, 1);
        received.SetPartialMessage(pending);
    }
    EXPECT_EQ(received.GetContentType(), "multipart/mixed");
    EXPECT_EQ(received.GetMIMEPreamble(), whole.GetMIMEPreamble());
    EXPECT_EQ(Outline(received), Outline(whole));
    EXPECT_EQ(Text(*received.GetMessageBody()), Text(*whole.GetMessageBody()));

    // Pieces of other sizes, across the boundary lines.
    for (size_t size : {2u, 7u, 13u, 64u}) {
        SCOPED_TRACE(size);
        TMIMEMessage chunked;
        for (size_t at = 0; at < text.size(); at += size) {
            pending.ConcatenateBuffer(text.data() + at,
                                      static_cast<SInt32>(std::min(size, text.size() - at)));
            chunked.SetPartialMessage(pending);
        }
        EXPECT_EQ(Outline(chunked), Outline(whole));
    }
}

// A closing delimiter is the boundary and "--" followed only by blanks; a part that starts with
// its empty line has no header and is written back as it came. Whole and byte by byte alike.
TEST(MIMEMessageTest, DelimiterLinesAndHeaderlessParts) {
    const std::string head = "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n";
    struct Case {
        const char* what;
        std::string body;
        std::string outline;
        std::string written;
    } cases[] = {
        {"a line that only starts like the close", "--b\r\none\r\n--b--x\r\nstill one\r\n--b--\r\n",
         ": one\r\n--b--x\r\nstill one\n", "\r\n--b\r\n\r\none\r\n--b--x\r\nstill one\r\n--b--\r\n"},
        {"a close followed by blanks", "--b\r\n\r\none\r\n--b-- \t\r\nepilogue\r\n", ": one\n",
         "\r\n--b\r\n\r\none\r\n--b--\r\n"},
        {"a part without a header", "--b\r\n\r\ntwo\r\n--b--\r\n", ": two\n",
         "\r\n--b\r\n\r\ntwo\r\n--b--\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string text = head + c.body;
        TMIMEMessage whole(text.c_str(), 0);
        EXPECT_EQ(Outline(whole), c.outline);
        EXPECT_EQ(Text(*whole.GetMessageBody()), c.written);

        TMIMEMessage received;
        TDynamicBuffer pending;
        for (char byte : text) {
            pending.ConcatenateBuffer(&byte, 1);
            received.SetPartialMessage(pending);
        }
        EXPECT_EQ(Outline(received), c.outline);
        EXPECT_EQ(Text(*received.GetMessageBody()), c.written);
    }
}

TEST(MIMEMessageTest, AReplyWhoseHeaderIsIncompleteKeepsItsBytes) {
    TMIMEMessage message;
    TDynamicBuffer piece("Content-Type: multipart/mixed; boundary=\"q\"\r\nMIME-Vers");
    message.SetPartialMessage(piece);
    EXPECT_FALSE(message.HasCustomHeader());
    EXPECT_EQ(Text(piece), "Content-Type: multipart/mixed; boundary=\"q\"\r\nMIME-Vers");
}

TEST(MailMessageTest, WritesAndReadsTheMailFields) {
    TMailMessage mail;
    mail.SetFrom("ann@example.org");
    mail.SetTo("bob@example.org, cy@example.org");
    mail.AddCC("dee@example.org");
    mail.SetSubject("Tempo");
    mail.SetMessageID("1234@example.org");
    mail.SetMessageBody("Hello\r\n", 0);
    EXPECT_EQ(mail.GetMessageID(), "<1234@example.org>");
    EXPECT_TRUE(mail.ReadyToSend());

    const std::string header = Text(*mail.GetHeader());
    EXPECT_NE(header.find("To: bob@example.org, cy@example.org\r\n"), std::string::npos) << header;
    EXPECT_NE(header.find("CC: dee@example.org\r\n"), std::string::npos);
    EXPECT_NE(header.find("Message-Id: <1234@example.org>\r\n"), std::string::npos);
    EXPECT_NE(header.find("Date: "), std::string::npos);

    const std::string text = Text(*mail.GetMessage());
    TMailMessage read(text.c_str(), 0);
    EXPECT_EQ(read.GetFrom(), "ann@example.org");
    EXPECT_EQ(read.GetSubject(), "Tempo");
    EXPECT_EQ(read.GetTo().GetCount(), 2u);
    EXPECT_EQ(read.GetMessageID(), "<1234@example.org>");
    EXPECT_EQ(Text(*read.GetMessageBody()), "Hello\r\n");

    TMailMessage status("Status: RO\r\nBCC: a@x b@y\r\n\r\n", 0);
    EXPECT_TRUE(status.IsRead());
    EXPECT_EQ(status.GetBCC().GetCount(), 2u);

    struct Case {
        const char* name;
        const char* from;
        int recipients;
        const char* body;
        bool ready;
    };
    const Case cases[] = {
        {"no sender", "", 1, "ok", false},
        {"no recipient", "a@x", 0, "ok", false},
        {"100 recipients", "a@x", 100, "ok", true},
        {"101 recipients", "a@x", 101, "ok", false},
        {"8-bit body", "a@x", 1, "caf\xc3\xa9", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TMailMessage message;
        message.SetFrom(c.from);
        for (int i = 0; i < c.recipients; ++i) message.AddBCC(("r" + std::to_string(i) + "@x").c_str());
        message.SetMessageBody(c.body, 0);
        EXPECT_EQ(message.ReadyToSend(), c.ready);
    }
}
