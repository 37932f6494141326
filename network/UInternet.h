// Finding fields and the start of the body in internet-message text, buffers and streams, and
// a few mail helpers. Line ends are CR LF; a header ends at its first empty line.
#pragma once

#include <string>
#include <string_view>

#include "platform/Carbon/MacTypes.h"

class LArray;
class TDynamicBuffer;
class THeaderField;
class TStream;

namespace UInternet {

// Items of address lists are NUL-terminated texts in 256-byte slots.
inline constexpr UInt32 kListItemSize = 256;

// Finds the line that starts with name + ": " (case-insensitively); continuation lines never
// start a field. The field with its continuation lines is parsed into `field`.
bool FindField(std::string_view name, std::string_view header, THeaderField& field);
// The offset of the field's first line and the characters it occupies, continuation lines and
// line end included, so cutting them removes the whole field; both 0 when not found.
bool FindField(std::string_view name, std::string_view header, size_t& start, size_t& length);

// Where the body begins: 0 when the text has no header. A length of 0 means the text's own.
size_t FindBodyStarts(const char* text, size_t length = 0);
// From the stream's marker (from its start for a negative length): the offset after the
// separator, or 0 when no complete header lies within the length. The marker is kept.
SInt64 FindBodyStarts(TStream& stream, SInt64 length);
SInt64 FindBodyStarts(TDynamicBuffer& buffer);

// After the next LF, CR or CR LF; the end of the text when there is none.
const char* PointToNextLine(const char* text);
// Reads past the next LF, or past a CR and an LF directly after it.
void PointToNextLine(TStream& stream);

void CommaStringToList(const char* text, LArray& list);
std::string ListToCommaString(const LArray& list);

// The whole contents of a buffer.
std::string BufferText(TDynamicBuffer& buffer);
// The "Content-Length" of the header at the front of the buffer; 0 without one.
SInt32 GetContentLength(TDynamicBuffer& buffer);
// The local offset from GMT in seconds, kept to 24 signed bits.
SInt32 GetGMTOffset();
// 32 lower-case hexadecimal digits.
std::string MD5String(std::string_view text);
// Reduces a length-prefixed address text to the bare address.
void GetCleanAddress(StringPtr address);

// Dot-stuffs for SMTP and ends the data with "\r\n.\r\n"; false for a line over 998
// characters or a byte of 0x80 or more (the buffer is then unchanged).
bool SMTPEncode(TDynamicBuffer& buffer);
// Undoes SMTPEncode up to the "." line, with LF line ends; false for a line over 1000.
bool SMTPDecode(TDynamicBuffer& buffer);
bool CheckSMTPValid(TDynamicBuffer& buffer);
void RemoveLF(TDynamicBuffer& buffer);

}  // namespace UInternet
