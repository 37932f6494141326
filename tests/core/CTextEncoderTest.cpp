#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "core/CBase64Encoder.h"
#include "core/CTextEncoder.h"
#include "platform/Carbon/FileReference.h"

namespace {

class EncoderFiles : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "encoder-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        fDir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(fDir); }

    std::string url(const std::string& contents) {
        std::string path = fDir + "/file" + std::to_string(fCount++);
        std::ofstream(path, std::ios::binary) << contents;
        return FileURLFromPath(path);
    }

    // Everything the encoder writes, in calls of `room` bytes.
    static std::string encodeAll(CEncoder& encoder, SInt32 room = 4096) {
        std::string out;
        std::vector<char> buffer(static_cast<size_t>(room));
        while (encoder.GetBytesLeft() > 0) {
            SInt32 written = encoder.Encode(buffer.data(), room);
            if (written == 0) break;
            out.append(buffer.data(), static_cast<size_t>(written));
        }
        return out;
    }

    std::string encode(const std::string& contents, SInt16 setting, std::string* transfer = nullptr,
                       std::string* charset = nullptr) {
        CTextEncoder encoder(url(contents));
        encoder.SetTextEncoding(setting);
        encoder.PreEncode();
        if (transfer) *transfer = encoder.GetContentTransferEncoding();
        if (charset) *charset = encoder.GetCharSet();
        std::string out = encodeAll(encoder);
        EXPECT_EQ(encoder.GetBytesLeft(), 0);
        return out;
    }

    std::string fDir;
    int fCount{0};
};

TEST_F(EncoderFiles, CharsetAndTransferEncoding) {
    struct Case {
        const char* what;
        std::string contents;
        SInt16 setting;
        const char* charset;
        const char* transfer;
        std::string output;
    } cases[] = {
        {"utf-8", "abc", 0, "utf-8", "8bit", "abc\r\n"},
        {"ascii under setting 1", "plain", 1, "us-ascii", "7bit", "plain\r\n"},
        {"latin-1 from utf-8 text", "caf\xC3\xA9", 1, "iso-8859-1", "8bit", "caf\xE9\r\n"},
        {"quoted-printable", "a=b\tc\xC3\xA9", 2, "iso-8859-1", "quoted-printable", "a=3Db=09c=E9\r\n"},
        {"ascii under setting 2", "a=b", 2, "us-ascii", "7bit", "a=b\r\n"},
        {"bytes that are not utf-8, quoted-printable", "x\xE9\xFFy", 2, "iso-8859-1", "quoted-printable",
         "x=E9=FFy\r\n"},
        // An 8-bit byte past the first 4096 used to go out labelled 7bit.
        {"latin-1 after 5000 ascii bytes", std::string(5000, 'a') + "\xC3\xA9", 1, "iso-8859-1", "8bit",
         [] {
             std::string lines;
             for (int i = 0; i < 64; ++i) lines += std::string(78, 'a') + "\r\n";
             return lines + std::string(8, 'a') + "\xE9\r\n";
         }()},
    };
    for (const auto& c : cases) {
        std::string transfer, charset;
        EXPECT_EQ(encode(c.contents, c.setting, &transfer, &charset), c.output) << c.what;
        EXPECT_EQ(charset, c.charset) << c.what;
        EXPECT_EQ(transfer, c.transfer) << c.what;
    }
}

TEST_F(EncoderFiles, LineBreaksAndCuts) {
    auto escapes = [](int count) {
        std::string text;
        for (int i = 0; i < count; ++i) text += i % 2 ? "%A9" : "%C3";
        return text;
    };
    std::string words;
    while (words.size() < 100) words += "word ";
    std::string a77(77, 'a'), a78(78, 'a');
    struct Case {
        const char* what;
        std::string contents;
        std::string output;
    } cases[] = {
        {"CR LF", "one\r\ntwo\r\n", "one\r\ntwo\r\n"},
        {"LF", "one\ntwo\n", "one\r\ntwo\r\n"},
        {"CR", "one\rtwo", "one\r\ntwo\r\n"},
        {"LF CR is two breaks", "one\n\rtwo", "one\r\n\r\ntwo\r\n"},
        {"empty lines", "\n\n", "\r\n\r\n"},
        {"200 characters without a space", std::string(200, 'x'),
         std::string(78, 'x') + "\r\n" + std::string(78, 'x') + "\r\n" + std::string(44, 'x') + "\r\n"},
        {"words cut after the last space", words,
         words.substr(0, 75) + "\r\n" + words.substr(75, 25) + "\r\n"},
        {"a full line and its CR LF", a78 + "\r\nb", a78 + "\r\nb\r\n"},
        {"a full line and its LF", a78 + "\nb", a78 + "\r\nb\r\n"},
        {"CR LF across the line buffer", a77 + "\r\nb", a77 + "\r\nb\r\n"},
        {"a quoted line takes 80", ">" + std::string(85, 'q'),
         ">" + std::string(79, 'q') + "\r\n" + std::string(6, 'q') + "\r\n"},
        {"a cut keeps a utf-8 character whole", a77 + "\xC3\xA9" + "bc",
         a77 + "\r\n\xC3\xA9"
               "bc\r\n"},
        // A form decoder reads "%2" CR LF "2" as other bytes.
        {"a cut keeps a percent-escape whole", std::string(76, 'x') + "%41yz",
         std::string(76, 'x') + "\r\n%41yz\r\n"},
        {"a cut keeps an escape's percent sign with it", a77 + "%41yz", a77 + "\r\n%41yz\r\n"},
        {"escapes after a two-byte start", "&=" + escapes(30),
         "&=" + escapes(30).substr(0, 75) + "\r\n" + escapes(30).substr(75) + "\r\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(encode(c.contents, 0), c.output) << c.what;
}

// Escape-heavy lines wrap, and input is counted in the UTF-8 bytes it came as, so nothing is
// lost or repeated.
TEST_F(EncoderFiles, QuotedPrintableLatin1KeepsEveryCharacter) {
    std::string text;
    for (int i = 0; i < 60; ++i) text += "\xC3\xA9";
    text += "=end";
    std::string out = encode(text, 2);
    std::string expected;
    for (int i = 0; i < 60; ++i) expected += "=E9";
    expected += "=3Dend";
    std::string joined;
    size_t start = 0;
    for (size_t end; (end = out.find("\r\n", start)) != std::string::npos; start = end + 2) {
        EXPECT_LE(end - start, 80u);
        joined += out.substr(start, end - start);
    }
    EXPECT_EQ(joined, expected);
}

// Encode emits every next line that fits the room, and a room of line length + 3 always takes
// one, so a caller looping in that room ends; a quoted line of 80 never overruns it.
TEST_F(EncoderFiles, EncodeTakesWhatFitsTheRoom) {
    struct Case {
        const char* what;
        std::string contents;
        SInt16 setting;
        SInt32 room;
        std::string first;  // the first call's output
    } cases[] = {
        {"a short line in 81", "abc", 0, 81, "abc\r\n"},
        {"a short line in its own length", "abc", 0, 5, "abc\r\n"},
        {"a line longer than the room", "abc", 0, 4, ""},
        {"a quoted line in 82", ">" + std::string(100, 'z'), 0, 82, ">" + std::string(79, 'z') + "\r\n"},
        {"a quoted line in 81 keeps 78", ">" + std::string(100, 'z'), 0, 81,
         ">" + std::string(77, 'z') + "\r\n"},
        {"escapes in 81 fill 79", "xx\xC3\xA9" + std::string(40, '='), 2, 81,
         "xx=E9" +
             [] {
                 std::string escaped;
                 for (int i = 0; i < 24; ++i) escaped += "=3D";
                 return escaped;
             }() +
             "\r\n"},
    };
    for (const Case& c : cases) {
        CTextEncoder encoder(url(c.contents));
        encoder.SetTextEncoding(c.setting);
        encoder.PreEncode();
        std::vector<char> out(static_cast<size_t>(c.room));
        const SInt32 written = encoder.Encode(out.data(), c.room);
        EXPECT_LE(written, c.room) << c.what;
        if (!c.first.empty()) {
            EXPECT_EQ(std::string(out.data(), static_cast<size_t>(written)), c.first) << c.what;
        }
        if (written == 0) {
            EXPECT_EQ(encoder.GetBytesLeft(), static_cast<SInt32>(c.contents.size())) << c.what;
        }
    }

    // Any room that holds a longest line cuts the lines as one large room does.
    const std::string shortThenQuoted = "ab\n>" + std::string(90, 'q') + "\n" + std::string(300, 'w');
    for (SInt32 room : {82, 84, 100, 163}) {
        CTextEncoder whole(url(shortThenQuoted)), piecewise(url(shortThenQuoted));
        whole.PreEncode();
        piecewise.PreEncode();
        EXPECT_EQ(encodeAll(piecewise, room), encodeAll(whole)) << room;
    }

    // Looping in 81 bytes ends, and loses nothing.
    std::string quoted;
    for (int i = 0; i < 20; ++i) quoted += ">" + std::string(90, 'q') + "\n";
    std::string escapes;
    for (int i = 0; i < 300; ++i) escapes += i % 30 == 29 ? " " : "\xC3\xA9=";
    for (auto [text, setting] : {std::pair{quoted, 0}, std::pair{escapes, 2}}) {
        CTextEncoder whole(url(text)), piecewise(url(text));
        for (CTextEncoder* e : {&whole, &piecewise}) {
            e->SetTextEncoding(static_cast<SInt16>(setting));
            e->PreEncode();
        }
        std::string joinedWhole, joinedPieces;
        auto join = [](const std::string& lines) {
            std::string joined;
            size_t start = 0;
            for (size_t end; (end = lines.find("\r\n", start)) != std::string::npos; start = end + 2) {
                EXPECT_LE(end - start, 80u);
                joined += lines.substr(start, end - start);
            }
            return joined;
        };
        EXPECT_EQ(join(encodeAll(piecewise, 81)), join(encodeAll(whole))) << setting;
        EXPECT_EQ(piecewise.GetBytesLeft(), 0) << setting;
    }
}

// One Encode into a buffer of GetEncodedSize holds everything, whatever the input.
TEST_F(EncoderFiles, EncodedSizeIsATrueUpperBound) {
    std::mt19937 random(5);
    std::string noise(5000, '\0');
    for (char& c : noise) c = static_cast<char>(random() & 0xFF);
    std::string spaced;
    for (int i = 0; i < 2000; ++i) spaced += (i % 40 == 0) ? std::string(76, 'y') : "x ";
    std::string escapes;
    for (int i = 0; i < 3000; ++i) escapes += (i % 27 == 26) ? " " : "\xC3\xA9";
    struct Case {
        const char* what;
        std::string contents;
        SInt16 setting;
    } cases[] = {
        {"bare line feeds", std::string(20000, '\n'), 0},
        {"bare line feeds, latin-1", std::string(20000, '\r'), 1},
        {"short words", spaced, 0},
        {"escapes", escapes, 2},
        {"escaped line feeds", std::string(3000, '=') + std::string(3000, '\n'), 2},
        {"noise", noise, 2},
        {"noise, utf-8", noise, 0},
        {"empty", "", 0},
    };
    for (const auto& c : cases) {
        CTextEncoder encoder(url(c.contents));
        encoder.SetTextEncoding(c.setting);
        encoder.PreEncode();
        SInt32 size = encoder.GetEncodedSize();
        std::vector<char> out(static_cast<size_t>(size));
        SInt32 written = encoder.Encode(out.data(), size);
        EXPECT_LE(written, size) << c.what;
        EXPECT_EQ(encoder.GetBytesLeft(), 0) << c.what;
    }
}

TEST_F(EncoderFiles, MissingFilesThrow) {
    CTextEncoder none("");
    EXPECT_THROW(none.PreEncode(), int);
    CTextEncoder missing(FileURLFromPath(fDir + "/absent"));
    try {
        missing.PreEncode();
        ADD_FAILURE() << "no error";
    } catch (int error) {
        EXPECT_EQ(error, ENOENT);
    }
}

TEST_F(EncoderFiles, Base64Lines) {
    std::string bytes(60, 'M');
    CBase64Encoder encoder(url(bytes));
    EXPECT_EQ(encoder.GetEncodedSize(), 80 + 4);
    encoder.PreEncode();
    std::string out = encodeAll(encoder);
    std::string line;
    for (int i = 0; i < 18; ++i) line += "TU1N";
    EXPECT_EQ(out, line + "\r\n" + "TU1NTU1N\r\n");
    char encoded[8];
    EXPECT_EQ(CBase64Encoder::EncodeData(reinterpret_cast<const unsigned char*>("ab"), 2, encoded), 4);
    EXPECT_EQ(std::string(encoded, 4), "YWI=");
    EXPECT_EQ(CEncoder::Base64Length(54, 72), 72 + (8 * 18 + 142) / 72);
}

}  // namespace
