// Emits a file as text lines of at most 78 characters (80 for quoted lines) in us-ascii,
// iso-8859-1 or utf-8, as 7bit, 8bit or quoted-printable. Every line ends with CR LF, whatever
// line ends the file has; a cut never splits a UTF-8 character or a percent-escape.
#pragma once

#include "core/CEncoder.h"

class CTextEncoder : public CEncoder {
public:
    enum : SInt16 { kUSASCII = 1, kISOLatin1 = 2, kUTF8 = 4 };

    explicit CTextEncoder(const std::string& url);

    // 2: iso-8859-1 with quoted-printable; 1: iso-8859-1; anything else: utf-8.
    void SetTextEncoding(SInt16 setting);
    // Outside utf-8, a file whose bytes to encode are all plain ASCII is sent as us-ascii.
    SInt32 PreEncode() override;
    const char* GetCharSet() override;
    const char* GetContentTransferEncoding() override;
    // A true upper bound, with room to spare for the last line: one Encode into a buffer of
    // this size encodes everything that is left.
    SInt32 GetEncodedSize() override;
    // Emits lines while bytes are left and the next line fits the room; a room of line length
    // + 3 always takes one. Lines never overrun the room, and in any room of kLongestLine or
    // more they are cut as in one large room.
    SInt32 Encode(char* out, SInt32 room) override;

    SInt16 GetCharSetCode() const { return fCharSet; }
    bool IsQuotedPrintable() const { return fQuotedPrintable != 0; }

    // The room of a longest line, 80 characters and CR LF: from it on, lines come out as they
    // would in any larger room; below it, a quoted line keeps the common length.
    static constexpr SInt32 kLongestLine = 82;

private:
    // Emits the next line when it fits the room; 0, with nothing consumed, when it does not.
    // `fitToRoom` shapes the line to a room below a longest line's.
    SInt32 EncodeLine(char* out, SInt32 room, bool fitToRoom);

    SInt16 fCharSet{kUTF8};
    SInt16 fTextEncoding{0};
    SInt16 fQuotedPrintable{0};
    SInt16 fLineLength{78};
};
