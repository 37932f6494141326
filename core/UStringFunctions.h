// Plain C-string helpers of the core library: case folding, stripping, escaping for URIs and
// HTML, Base64, CRAM-MD5 and small tests on text. Every byte test works on unsigned bytes.
#pragma once

#include <cstddef>
#include <memory>

#include "platform/Carbon/MacTypes.h"

// Lower-cases in place (tolower on each byte).
void strtolower(char* text);
// Lower-cases at most n - 1 characters, stopping at a NUL; n of 0 or 1 changes nothing.
void strtolower(char* text, unsigned long n);
// Remove every double quote, every tab, or every tab, LF, CR and blank, in place.
void stripquotes(char* text);
void striptabs(char* text);
void striptabspacenewline(char* text);

// Percent-escapes `source` into `destination` of `destinationSize` bytes: letters, digits,
// @ ! ' ( ) * - . _ ~ and the bytes of `keep` are copied, any other byte becomes %XX. Stops
// before a character or escape that would not fit and always terminates (when the size is not
// 0). Answers the number of source bytes written out.
size_t URIEscapeStr(const char* source, char* destination, size_t destinationSize, const char* keep);

// True for a line starting with ':', '>', ']' or '|', and with ')' or '~' unless strict.
bool IsQuotedLine(const char* line, unsigned char strict);

// Case-insensitive search; the text itself for an empty pattern, null for none or a null argument.
const char* CIstrstr(const char* text, const char* pattern);
int stricmp(const char* a, const char* b);
int strnicmp(const char* a, const char* b, size_t n);
bool IsNumberOrPuncOnly(const char* text);
// True when every character after the first is a decimal digit.
bool IsNumber(const char* text);
int NumDigitsInString(const char* text);
// Cuts a text longer than `length` to its two ends joined by 0xC9; true when it cut.
bool TruncateString(char* text, size_t length);
// The first `ch` within n characters; for ch 0 the terminating NUL.
const char* strnchr(const char* text, char ch, size_t n);
UInt16 HashString(const char* text);
void SwapNewlines(char* text);         // LF -> CR
void SwapCarriageReturns(char* text);  // CR -> LF
// In-place replacements into a buffer of `size` bytes; a replacement that would not fit ends the text.
void EncodePathForHTML(char* text, size_t size);      // '?' -> %3F, ' ' -> %20
void SanitizeStringForHTML(char* text, size_t size);  // & > < -> entities
void SanitizeString(char* text);                      // tab, LF, CR -> blank
int CountChars(const char* text, char ch);
bool IsBreakingChar(char ch);
void StripClosingCrap(char* text);  // trailing blanks, tabs, LF and CR
void StripClosingWhitespace(char* text);
void StripClosingWhitespace(StringPtr text);
const char* skipwhite(const char* text);
// Puts `text` (followed by a blank when `blank` is not 0) before the buffer's text when the
// result fits in `size` bytes; else leaves the buffer. True when it inserted.
bool str_insert(char* buffer, const char* text, size_t size, int blank);
// The byte of two hexadecimal digits; a character that is not one counts as 0.
unsigned char hexCharString(const char* twoDigits);
std::unique_ptr<char[]> copystr(const char* text);
// Splits at the first blank: the part before and the part after it.
void SplitString(ConstStr255Param source, StringPtr first, StringPtr rest);
bool IsNumberChar(char ch);
void NumToCString(int number, char* destination, size_t size);
void NumToPString(int number, StringPtr destination, size_t size);
// A byte count in units of 1000 into 7 bytes: "999 B", "1.5 kB", "12 MB" (halves to even).
void formatByteCount(char* buffer, UInt64 count);

// Base64 with '=' padding. The encoder needs 4 * ((length + 2) / 3) + 1 bytes and works in
// place; false when the destination is too small. The decoder works in place too; false and
// length 0 at a character outside the alphabet or misplaced padding.
bool base64enc(const void* source, size_t length, char* destination, size_t destinationSize);
bool base64dec(const char* source, size_t length, unsigned char* destination, size_t& decodedLength);
// HMAC-MD5 of the text with the key into 16 bytes; throws 0x6e696c50 for a null key or text.
void cram_md5(const unsigned char* key, size_t keyLength, const unsigned char* text, size_t textLength,
              unsigned char digest[16]);
// Replaces HTML character references (named Latin-1 ones, &#ddd; and &#xhh;) by their byte.
void Convert_Physical_Entities(char* text);
