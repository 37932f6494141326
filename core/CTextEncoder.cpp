#include "core/CTextEncoder.h"

#include <algorithm>
#include <cstring>

#include "core/UStringFunctions.h"

namespace {

constexpr SInt32 kDetectionChunk = 4096;
constexpr SInt32 kQuotedLineLength = 80;
// Quoted-printable output of one line, before its CR LF.
constexpr SInt32 kQuotedPrintableRoom = 80;
constexpr SInt32 kLineEnd = 2;
constexpr char kHexDigits[] = "0123456789ABCDEF";

bool isBreak(unsigned char c) {
    return c == '\r' || c == '\n';
}
bool isWhite(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Bytes a quoted-printable line copies as they are.
bool isPlainQuotedPrintable(unsigned char c) {
    return isBreak(c) || (c >= 32 && c <= 127 && c != '=');
}

// The length of the longest prefix of `bytes` that does not end inside a UTF-8 sequence.
SInt32 utf8Boundary(const unsigned char* bytes, SInt32 count) {
    SInt32 lead = count;
    for (SInt32 back = 1; back <= 3 && count - back >= 0; ++back) {
        unsigned char c = bytes[count - back];
        if ((c & 0xC0) != 0x80) {
            lead = count - back;
            break;
        }
    }
    if (lead == count) return count;
    unsigned char c = bytes[lead];
    SInt32 needed = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    return count - lead >= needed ? count : lead;
}

bool isHexDigit(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// Moves a hard cut back before a percent-escape it would split: a form decoder reads "%2" CR LF
// "2" as other bytes.
SInt32 escapeBoundary(const unsigned char* bytes, SInt32 count) {
    if (count >= 2 && bytes[count - 1] == '%') return count - 1;
    if (count >= 3 && bytes[count - 2] == '%' && isHexDigit(bytes[count - 1])) return count - 2;
    return count;
}

// Decodes strict UTF-8 into Latin-1 characters, remembering where each one began; false when
// the bytes are not UTF-8 or hold a character beyond Latin-1.
bool utf8ToLatin1(const unsigned char* bytes, SInt32 count, unsigned char* latin1, SInt32* starts,
                  SInt32* length) {
    SInt32 out = 0;
    for (SInt32 i = 0; i < count;) {
        unsigned char c = bytes[i];
        starts[out] = i;
        if (c < 0x80) {
            latin1[out++] = c;
            ++i;
        } else if ((c & 0xE0) == 0xC0 && i + 1 < count && (bytes[i + 1] & 0xC0) == 0x80) {
            unsigned codePoint = ((c & 0x1Fu) << 6) | (bytes[i + 1] & 0x3Fu);
            if (codePoint < 0x80 || codePoint > 0xFF) return false;
            latin1[out++] = static_cast<unsigned char>(codePoint);
            i += 2;
        } else {
            return false;
        }
    }
    starts[out] = count;
    *length = out;
    return true;
}

// Escapes into at most `room` characters; returns the characters taken.
SInt32 escapeQuotedPrintable(const unsigned char* chars, SInt32 count, SInt32 room, char* out,
                             SInt32* written) {
    SInt32 used = 0;
    SInt32 taken = 0;
    for (; taken < count; ++taken) {
        unsigned char c = chars[taken];
        if (isPlainQuotedPrintable(c)) {
            if (used + 1 > room) break;
            out[used++] = static_cast<char>(c);
        } else {
            if (used + 3 > room) break;
            out[used++] = '=';
            out[used++] = kHexDigits[c >> 4];
            out[used++] = kHexDigits[c & 0xF];
        }
    }
    *written = used;
    return taken;
}

}  // namespace

CTextEncoder::CTextEncoder(const std::string& url) : CEncoder(url) {}

void CTextEncoder::SetTextEncoding(SInt16 setting) {
    fTextEncoding = setting;
    fCharSet = setting == 2 || setting == 1 ? kISOLatin1 : kUTF8;
    fQuotedPrintable = setting == 2 ? 1 : 0;
}

SInt32 CTextEncoder::PreEncode() {
    SInt32 left = CEncoder::PreEncode();
    if (fCharSet != kUTF8) {
        // Every byte decides: one 8-bit byte anywhere must not go out under a 7bit label.
        fCharSet = kUSASCII;
        unsigned char chunk[kDetectionChunk];
        for (SInt32 looked = 0; looked < left && fCharSet == kUSASCII;) {
            SInt32 got = ReadData(chunk, std::min(left - looked, kDetectionChunk));
            if (got <= 0) break;
            if (std::any_of(chunk, chunk + got, [](unsigned char c) { return c >= 0x80; }))
                fCharSet = kISOLatin1;
            looked += got;
        }
        SeekData(fStartOffset);
    }
    return left;
}

const char* CTextEncoder::GetCharSet() {
    switch (fCharSet) {
        case kUTF8:
            return "utf-8";
        case kISOLatin1:
            return "iso-8859-1";
        default:
            return "us-ascii";
    }
}

const char* CTextEncoder::GetContentTransferEncoding() {
    if (fCharSet == kUSASCII) return "7bit";
    if (fCharSet != kUTF8 && fQuotedPrintable) return "quoted-printable";
    return "8bit";
}

SInt32 CTextEncoder::GetEncodedSize() {
    // A line without its own break holds at least two bytes unless it is the last, and a line
    // with one consumes it, so lines add at most one byte of CR LF per input byte; quoted-
    // printable escapes take up to three per character. The slack keeps the room for the last
    // line.
    SInt64 n = std::max<SInt32>(fBytesLeft, 0);
    SInt64 perByte = (fCharSet == kISOLatin1 && fQuotedPrintable) ? 4 : 2;
    return static_cast<SInt32>(std::min<SInt64>(perByte * n + 1024, 0x7FFFFFFF));
}

SInt32 CTextEncoder::Encode(char* out, SInt32 room) {
    // Lines are cut alike in every room that holds a longest line, so the text does not depend
    // on how it is taken; only a smaller room shapes them to fit.
    const bool fitToRoom = room < kLongestLine;
    SInt32 total = 0;
    while (fBytesLeft > 0 && room - total > kLineEnd) {
        SInt32 written = EncodeLine(out + total, room - total, fitToRoom);
        if (written == 0) break;
        total += written;
    }
    return total;
}

SInt32 CTextEncoder::EncodeLine(char* out, SInt32 room, bool fitToRoom) {
    // Fitted, a quoted line keeps the common length and quoted-printable fills only the room,
    // so a room of line length + 3 always takes a line.
    const SInt32 escapeRoom = fitToRoom
                                  ? std::clamp<SInt32>(room - kLineEnd, fLineLength, kQuotedPrintableRoom)
                                  : kQuotedPrintableRoom;
    // Room for a quoted line and two bytes peeked after it.
    unsigned char buffer[kQuotedLineLength + 4];
    SInt32 lineLength = fLineLength;
    SInt32 read = ReadData(buffer, std::min<SInt32>(lineLength, fBytesLeft));
    if (read <= 0) {
        fBytesLeft = 0;  // the file ended early
        return 0;
    }
    if (lineLength <= 79 && !fitToRoom) {
        char first[2] = {static_cast<char>(buffer[0]), '\0'};
        if (IsQuotedLine(first, 0)) {
            read +=
                ReadData(buffer + read, std::min<SInt32>(kQuotedLineLength - lineLength, fBytesLeft - read));
            lineLength = kQuotedLineLength;
        }
    }
    auto peek = [&] {
        if (fBytesLeft - read <= 0) return false;
        return ReadData(buffer + read, 1) == 1 ? (++read, true) : false;
    };

    SInt32 n = static_cast<SInt32>(std::find_if(buffer, buffer + read, isBreak) - buffer);
    bool hasBreak = n < read;
    // A full line whose break comes right after it is a whole line, not a cut one.
    if (!hasBreak && read >= lineLength && peek()) hasBreak = isBreak(buffer[n]);
    SInt32 breakLength = 0;
    if (hasBreak) {
        breakLength = 1;
        if (buffer[n] == '\r') {
            if (n + 1 == read) peek();
            if (n + 1 < read && buffer[n + 1] == '\n') breakLength = 2;
        }
    }

    bool mustWrap = false;
    if (fQuotedPrintable) {
        SInt32 escapes = static_cast<SInt32>(
            std::count_if(buffer, buffer + n, [](unsigned char c) { return !isPlainQuotedPrintable(c); }));
        mustWrap = n + 2 * escapes > lineLength;
    }

    SInt32 content = n;
    SInt32 consumed = n + breakLength;
    if (!hasBreak || mustWrap) {
        // The cut looks only before the break, so a line never carries a bare break inside.
        SInt32 cut = -1;
        for (SInt32 i = n - 1; i >= 0 && cut < 0; --i)
            if (buffer[i] == ' ') cut = i;
        for (SInt32 i = n - 1; i >= 0 && cut < 0; --i)
            if (buffer[i] == '-') cut = i;
        bool textBefore =
            cut > 0 && std::any_of(buffer, buffer + cut, [](unsigned char c) { return !isWhite(c); });
        if (cut >= 0 && textBefore && (read >= lineLength || mustWrap)) {
            content = cut + 1;
            consumed = content;
        } else if (!hasBreak) {
            SInt32 whole = escapeBoundary(buffer, utf8Boundary(buffer, n));
            content = whole > 0 ? whole : n;
            consumed = content;
        }
    }

    // The line is made here and copied out only when it fits, so nothing is consumed otherwise.
    char line[kQuotedPrintableRoom + kLineEnd];
    SInt32 written = 0;
    if (fCharSet == kISOLatin1) {
        unsigned char latin1[kQuotedLineLength + 4];
        SInt32 starts[kQuotedLineLength + 5];
        SInt32 characters = 0;
        bool converted = utf8ToLatin1(buffer, content, latin1, starts, &characters);
        if (!converted) {
            // Bytes that are not UTF-8 text go out as they are (escaped when quoted-printable).
            std::memcpy(latin1, buffer, static_cast<size_t>(content));
            for (SInt32 i = 0; i <= content; ++i) starts[i] = i;
            characters = content;
        }
        if (fQuotedPrintable) {
            SInt32 taken = escapeQuotedPrintable(latin1, characters, escapeRoom, line, &written);
            // Input is counted in the bytes it came as.
            if (taken < characters) consumed = starts[taken];
        } else {
            std::memcpy(line, latin1, static_cast<size_t>(characters));
            written = characters;
        }
    } else {
        std::memcpy(line, buffer, static_cast<size_t>(content));
        written = content;
    }
    line[written++] = '\r';
    line[written++] = '\n';
    if (written > room) {
        UnreadData(read);
        return 0;
    }
    std::memcpy(out, line, static_cast<size_t>(written));

    if (consumed <= 0) consumed = read;
    fBytesLeft -= consumed;
    if (read > consumed) UnreadData(read - consumed);
    return written;
}
