#include "core/UStringFunctions.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace {

unsigned char U(char c) {
    return static_cast<unsigned char>(c);
}
char Lower(char c) {
    return static_cast<char>(std::tolower(U(c)));
}

void RemoveIf(char* text, bool (*drop)(unsigned char)) {
    if (!text) return;
    char* out = text;
    for (const char* in = text; *in; ++in)
        if (!drop(U(*in))) *out++ = *in;
    *out = 0;
}

// Writes `replaced` back into `text` (a buffer of `size` bytes), stopping before a piece that
// would not fit whole.
template <typename Replace>
void ReplaceInPlace(char* text, size_t size, Replace replace) {
    if (!text || size == 0) return;
    std::string out;
    for (const char* p = text; *p; ++p) {
        const std::string_view piece = replace(*p);
        if (out.size() + piece.size() > size - 1) break;
        out += piece;
    }
    std::memcpy(text, out.c_str(), out.size() + 1);
}

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Base64Value(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

int HexValue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Latin-1 names of the bytes 0xA0 to 0xFF, in order.
constexpr const char* kLatin1Entities[96] = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",    "copy",
    "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn", "sup2",   "sup3",
    "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",   "raquo",  "frac14", "frac12",
    "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil",
    "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave", "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde",
    "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",
    "Uuml",   "Yacute", "THORN",  "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",
    "aelig",  "ccedil", "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",
    "eth",    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
    "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml",
};

struct Entity {
    const char* name;
    unsigned char value;
};
constexpr Entity kAsciiEntities[] = {{"quot", '"'}, {"amp", '&'}, {"apos", '\''}, {"lt", '<'}, {"gt", '>'}};

// The byte of the reference that starts at `p` (just after '&') and its length up to and
// including ';', or -1 when it is not one.
int ParseReference(const char* p, size_t& length) {
    const char* semicolon = std::strchr(p, ';');
    if (!semicolon || semicolon == p || semicolon - p > 8) return -1;
    const std::string_view body(p, static_cast<size_t>(semicolon - p));
    length = body.size() + 1;
    if (body[0] == '#') {
        const bool hex = body.size() > 1 && (body[1] == 'x' || body[1] == 'X');
        const std::string_view digits = body.substr(hex ? 2 : 1);
        if (digits.empty()) return -1;
        int value = 0;
        for (char c : digits) {
            const int d = hex ? HexValue(U(c)) : (std::isdigit(U(c)) ? c - '0' : -1);
            if (d < 0) return -1;
            value = value * (hex ? 16 : 10) + d;
            if (value > 255) return -1;
        }
        return value;
    }
    for (const Entity& e : kAsciiEntities)
        if (body == e.name) return e.value;
    for (int i = 0; i < 96; ++i)
        if (body == kLatin1Entities[i]) return 0xA0 + i;
    return -1;
}

}  // namespace

void strtolower(char* text) {
    for (; text && *text; ++text) *text = Lower(*text);
}

void strtolower(char* text, unsigned long n) {
    if (!text || n < 2) return;
    for (unsigned long i = 0; i < n - 1 && text[i]; ++i) text[i] = Lower(text[i]);
}

void stripquotes(char* text) {
    RemoveIf(text, [](unsigned char c) { return c == '"'; });
}

void striptabs(char* text) {
    RemoveIf(text, [](unsigned char c) { return c == '\t'; });
}

void striptabspacenewline(char* text) {
    RemoveIf(text, [](unsigned char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; });
}

size_t URIEscapeStr(const char* source, char* destination, size_t destinationSize, const char* keep) {
    if (!destination || destinationSize == 0) return 0;
    destination[0] = 0;
    if (!source) return 0;
    static constexpr char kUnreserved[] = "@!'()*-._~";
    static constexpr char kHex[] = "0123456789ABCDEF";
    size_t written = 0;
    size_t consumed = 0;
    for (; source[consumed]; ++consumed) {
        const unsigned char c = U(source[consumed]);
        // ASCII letters and digits only: std::isalnum would follow the locale.
        const bool asciiAlnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        const bool plain = asciiAlnum || std::strchr(kUnreserved, c) || (keep && std::strchr(keep, c));
        const size_t need = plain ? 1 : 3;
        if (written + need > destinationSize - 1) break;
        if (plain) {
            destination[written++] = static_cast<char>(c);
        } else {
            destination[written++] = '%';
            destination[written++] = kHex[c >> 4];
            destination[written++] = kHex[c & 0xF];
        }
    }
    destination[written] = 0;
    return consumed;
}

bool IsQuotedLine(const char* line, unsigned char strict) {
    if (!line) return false;
    switch (line[0]) {
        case ':':
        case '>':
        case ']':
        case '|':
            return true;
        case ')':
        case '~':
            return strict == 0;
        default:
            return false;
    }
}

const char* CIstrstr(const char* text, const char* pattern) {
    if (!text || !pattern) return nullptr;
    if (!*pattern) return text;
    char lowered[256];
    size_t n = 0;
    while (n < 255 && pattern[n]) {
        lowered[n] = Lower(pattern[n]);
        ++n;
    }
    lowered[n] = 0;
    for (const char* p = text; *p; ++p) {
        size_t i = 0;
        while (i < n && p[i] && Lower(p[i]) == lowered[i]) ++i;
        if (i == n) return p;
    }
    return nullptr;
}

int stricmp(const char* a, const char* b) {
    return strnicmp(a, b, static_cast<size_t>(-1));
}

int strnicmp(const char* a, const char* b, size_t n) {
    if (!a) a = "";
    if (!b) b = "";
    for (size_t i = 0; i < n; ++i) {
        const int ca = std::tolower(U(a[i]));
        const int cb = std::tolower(U(b[i]));
        if (ca != cb) return ca - cb;
        if (ca == 0) return 0;
    }
    return 0;
}

bool IsNumberOrPuncOnly(const char* text) {
    if (!text) return false;
    for (; *text; ++text)
        if (!std::isdigit(U(*text)) && !std::ispunct(U(*text)) && !std::isblank(U(*text))) return false;
    return true;
}

bool IsNumber(const char* text) {
    if (!text || !*text) return false;
    for (++text; *text; ++text)
        if (!std::isdigit(U(*text))) return false;
    return true;
}

int NumDigitsInString(const char* text) {
    int n = 0;
    for (; text && *text; ++text) n += std::isdigit(U(*text)) ? 1 : 0;
    return n;
}

bool TruncateString(char* text, size_t length) {
    if (!text || std::strlen(text) <= length || length == 0) return false;
    const size_t total = std::strlen(text);
    const size_t keep = (length - 1) / 2;
    text[keep] = static_cast<char>(0xC9);
    std::memmove(text + keep + 1, text + total - keep, keep);
    text[2 * keep + 1] = 0;
    return true;
}

const char* strnchr(const char* text, char ch, size_t n) {
    if (!text) return nullptr;
    for (size_t i = 0; i < n; ++i) {
        if (text[i] == ch) return text + i;
        if (!text[i]) return nullptr;
    }
    return nullptr;
}

UInt16 HashString(const char* text) {
    unsigned sum = 0;
    for (unsigned i = 0; text && text[i]; ++i) sum += U(text[i]) * (i + 1);
    return static_cast<UInt16>(sum);
}

void SwapNewlines(char* text) {
    for (; text && *text; ++text)
        if (*text == '\n') *text = '\r';
}

void SwapCarriageReturns(char* text) {
    for (; text && *text; ++text)
        if (*text == '\r') *text = '\n';
}

void EncodePathForHTML(char* text, size_t size) {
    ReplaceInPlace(text, size, [](const char& c) -> std::string_view {
        if (c == '?') return "%3F";
        if (c == ' ') return "%20";
        return {&c, 1};
    });
}

void SanitizeStringForHTML(char* text, size_t size) {
    ReplaceInPlace(text, size, [](const char& c) -> std::string_view {
        if (c == '&') return "&amp;";
        if (c == '>') return "&gt;";
        if (c == '<') return "&lt;";
        return {&c, 1};
    });
}

void SanitizeString(char* text) {
    for (; text && *text; ++text)
        if (*text == '\t' || *text == '\n' || *text == '\r') *text = ' ';
}

int CountChars(const char* text, char ch) {
    int n = 0;
    for (; text && *text; ++text) n += *text == ch ? 1 : 0;
    return n;
}

bool IsBreakingChar(char ch) {
    const unsigned char c = U(ch);
    // Bytes of multi-byte characters and the punctuation that sticks to a word never break.
    if (std::isalnum(c) || c >= 0x80) return false;
    return std::strchr("'\"_@#$%&([{<", c) == nullptr || c == 0;
}

void StripClosingCrap(char* text) {
    if (!text) return;
    size_t n = std::strlen(text);
    while (n > 0 && std::strchr(" \t\r\n", text[n - 1])) --n;
    text[n] = 0;
}

void StripClosingWhitespace(char* text) {
    if (!text) return;
    size_t n = std::strlen(text);
    while (n > 0 && text[n - 1] == ' ') --n;
    text[n] = 0;
}

void StripClosingWhitespace(StringPtr text) {
    if (!text) return;
    while (text[0] > 0 && text[text[0]] == ' ') --text[0];
}

const char* skipwhite(const char* text) {
    while (text && *text && std::isspace(U(*text))) ++text;
    return text;
}

bool str_insert(char* buffer, const char* text, size_t size, int blank) {
    if (!buffer || !text) return false;
    const size_t old = std::strlen(buffer);
    const size_t add = std::strlen(text) + (blank ? 1 : 0);
    if (old + add + 1 > size) return false;
    std::memmove(buffer + add, buffer, old + 1);
    std::memcpy(buffer, text, std::strlen(text));
    if (blank) buffer[add - 1] = ' ';
    return true;
}

unsigned char hexCharString(const char* twoDigits) {
    if (!twoDigits) return 0;
    const int high = HexValue(U(twoDigits[0]));
    const int low = twoDigits[0] ? HexValue(U(twoDigits[1])) : -1;
    return static_cast<unsigned char>((high < 0 ? 0 : high) * 16 + (low < 0 ? 0 : low));
}

std::unique_ptr<char[]> copystr(const char* text) {
    if (!text) return nullptr;
    const size_t n = std::strlen(text);
    auto copy = std::make_unique<char[]>(n + 1);
    std::memcpy(copy.get(), text, n + 1);
    return copy;
}

void SplitString(ConstStr255Param source, StringPtr first, StringPtr rest) {
    if (!source || !first || !rest) return;
    const size_t length = source[0];
    size_t blank = 0;
    while (blank < length && source[1 + blank] != ' ') ++blank;
    unsigned char aside[256];
    std::memcpy(aside, source, length + 1);
    first[0] = static_cast<unsigned char>(blank);
    std::memcpy(first + 1, aside + 1, blank);
    const size_t restLength = blank < length ? length - blank - 1 : 0;
    rest[0] = static_cast<unsigned char>(restLength);
    std::memcpy(rest + 1, aside + 2 + blank, restLength);
}

bool IsNumberChar(char ch) {
    return ch >= '0' && ch <= '9';
}

void NumToCString(int number, char* destination, size_t size) {
    if (destination && size > 0) std::snprintf(destination, size, "%d", number);
}

void NumToPString(int number, StringPtr destination, size_t size) {
    if (!destination || size == 0) return;
    char text[16];
    const size_t n =
        std::min<size_t>(static_cast<size_t>(std::snprintf(text, sizeof text, "%d", number)), size - 1);
    destination[0] = static_cast<unsigned char>(std::min<size_t>(n, 255));
    std::memcpy(destination + 1, text, destination[0]);
}

void formatByteCount(char* buffer, UInt64 count) {
    using Wide = unsigned __int128;
    const auto roundHalfEven = [](Wide n, Wide d) {
        Wide q = n / d;
        const Wide r = n % d;
        if (2 * r > d || (2 * r == d && (q & 1))) ++q;
        return q;
    };
    if (count < 1000) {
        std::snprintf(buffer, 7, "%u B", static_cast<unsigned>(count));
        return;
    }
    static constexpr char kUnits[] = "kMGTPEZY";
    Wide divisor = 1000;
    for (size_t unit = 0; unit < 8; ++unit, divisor *= 1000) {
        const Wide tenths = roundHalfEven(Wide(count) * 10, divisor);
        if (tenths < 100) {
            std::snprintf(buffer, 7, "%u.%u %cB", static_cast<unsigned>(tenths / 10),
                          static_cast<unsigned>(tenths % 10), kUnits[unit]);
            return;
        }
        const Wide whole = roundHalfEven(count, divisor);
        if (whole < 1000 || unit == 7) {
            std::snprintf(buffer, 7, "%u %cB", static_cast<unsigned>(whole), kUnits[unit]);
            return;
        }
    }
}

bool base64enc(const void* source, size_t length, char* destination, size_t destinationSize) {
    const size_t needed = 4 * ((length + 2) / 3);
    if (!destination || (!source && length) || destinationSize < needed + 1) return false;
    const auto* in = static_cast<const unsigned char*>(source);
    destination[needed] = 0;
    // Groups are written from the last to the first, so the source may be the destination.
    for (size_t group = (length + 2) / 3; group-- > 0;) {
        const size_t at = group * 3;
        const size_t n = std::min<size_t>(3, length - at);
        const unsigned value = (unsigned(in[at]) << 16) | (n > 1 ? unsigned(in[at + 1]) << 8 : 0) |
                               (n > 2 ? unsigned(in[at + 2]) : 0);
        char* out = destination + group * 4;
        out[3] = n > 2 ? kBase64[value & 0x3F] : '=';
        out[2] = n > 1 ? kBase64[(value >> 6) & 0x3F] : '=';
        out[1] = kBase64[(value >> 12) & 0x3F];
        out[0] = kBase64[value >> 18];
    }
    return true;
}

bool base64dec(const char* source, size_t length, unsigned char* destination, size_t& decodedLength) {
    decodedLength = 0;
    if (!destination || (!source && length)) return false;
    size_t out = 0;
    unsigned value = 0;
    int bits = 0;
    size_t padding = 0;
    for (size_t i = 0; i < length; ++i) {
        const unsigned char c = U(source[i]);
        if (c == '=') {
            // Padding only closes the last group of four and comes at most twice.
            ++padding;
            if (padding > 2 || (i % 4) < 2) return false;
            continue;
        }
        const int digit = Base64Value(c);
        if (digit < 0 || padding) return false;
        value = (value << 6) | unsigned(digit);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            destination[out++] = static_cast<unsigned char>(value >> bits);
        }
    }
    const size_t tail = (length - padding) % 4;
    if (tail == 1 || (padding && (length % 4) != 0)) {
        return false;
    }
    decodedLength = out;
    return true;
}

void cram_md5(const unsigned char* key, size_t keyLength, const unsigned char* text, size_t textLength,
              unsigned char digest[16]) {
    if (!key || !text || !digest) throw 0x6e696c50;
    unsigned int digestLength = 0;
    if (!HMAC(EVP_md5(), key, static_cast<int>(keyLength), text, textLength, digest, &digestLength))
        throw 0x6e696c50;
}

void Convert_Physical_Entities(char* text) {
    if (!text) return;
    char* out = text;
    for (const char* in = text; *in;) {
        size_t length = 0;
        const int value = *in == '&' ? ParseReference(in + 1, length) : -1;
        if (value > 0) {
            *out++ = static_cast<char>(value);
            in += 1 + length;
        } else {
            *out++ = *in++;
        }
    }
    *out = 0;
}
