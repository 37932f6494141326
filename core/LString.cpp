#include "core/LString.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/Carbon/MacMemory.h"

LString::~LString() = default;

namespace {

UInt8 ClipPosition(UInt8 position) {
    return position == 0 ? 1 : position;
}

}  // namespace

LString& LString::Assign(const LString& source, UInt8 start, UInt8 count) {
    start = ClipPosition(start);
    if (start > source.Length()) {
        fStorage[0] = 0;
        return *this;
    }
    const size_t available = source.Length() - start + 1u;
    return Assign(source.ConstTextPtr() + start - 1, std::min<size_t>(count, available));
}

LString& LString::Assign(ConstStr255Param source) {
    if (!source) return Assign(nullptr, 0);
    return Assign(source + 1, source[0]);
}

LString& LString::Assign(const void* bytes, size_t count) {
    const size_t n = bytes ? std::min<size_t>(count, GetMaxLength()) : 0;
    // memmove: the source may be this string's own text.
    if (n > 0) std::memmove(fStorage + 1, bytes, n);
    fStorage[0] = static_cast<unsigned char>(n);
    return *this;
}

LString& LString::Assign(unsigned char c) {
    return Assign(&c, 1);
}

LString& LString::Assign(Handle handle) {
    if (!handle || !*handle) return Assign(nullptr, 0);
    return Assign(*handle, static_cast<size_t>(std::max<Size>(GetHandleSize(handle), 0)));
}

LString& LString::Assign(SInt32 number) {
    char text[16];
    const int n = std::snprintf(text, sizeof text, "%d", static_cast<int>(number));
    return Assign(text, static_cast<size_t>(n));
}

LString& LString::Assign(UInt32 code) {
    const unsigned char text[4] = {static_cast<unsigned char>(code >> 24),
                                   static_cast<unsigned char>(code >> 16),
                                   static_cast<unsigned char>(code >> 8), static_cast<unsigned char>(code)};
    return Assign(text, 4);
}

LString& LString::Assign(long double number, SInt8 formatStyle, SInt16 digits) {
    char text[512];
    const int precision = std::clamp<int>(digits, 0, 100);
    const int n = std::snprintf(text, sizeof text, formatStyle == 0 ? "%.*Lf" : "%.*Le", precision, number);
    return Assign(text, n < 0 ? 0 : std::min<size_t>(static_cast<size_t>(n), sizeof text - 1));
}

const void* LString::LoadFromPtr(const void* pointer) {
    const auto* p = static_cast<const unsigned char*>(pointer);
    Assign(p);
    return p + 1 + p[0];
}

LString& LString::Append(SInt32 number) {
    char text[16];
    const int n = std::snprintf(text, sizeof text, "%d", static_cast<int>(number));
    return Append(text, static_cast<size_t>(n));
}

LString& LString::Append(const void* bytes, size_t count) {
    return Insert(bytes, count, 255);
}

LString& LString::Append(ConstStr255Param source) {
    if (!source) return *this;
    return Append(source + 1, source[0]);
}

LString& LString::Insert(const void* bytes, size_t count, UInt8 position) {
    const size_t length = Length();
    const size_t at = std::min<size_t>(ClipPosition(position), length + 1);
    const size_t n = bytes ? std::min<size_t>(count, GetMaxLength() - length) : 0;
    if (n == 0) return *this;
    // The inserted bytes may lie inside this string: copy them aside first.
    unsigned char aside[256];
    std::memcpy(aside, bytes, n);
    std::memmove(fStorage + at + n, fStorage + at, length - at + 1);
    std::memcpy(fStorage + at, aside, n);
    fStorage[0] = static_cast<unsigned char>(length + n);
    return *this;
}

LString& LString::Remove(UInt8 position, UInt8 count) {
    const size_t length = Length();
    const size_t at = ClipPosition(position);
    if (at > length || count == 0) return *this;
    const size_t n = std::min<size_t>(count, length - at + 1);
    std::memmove(fStorage + at, fStorage + at + n, length - at + 1 - n);
    fStorage[0] = static_cast<unsigned char>(length - n);
    return *this;
}

LString& LString::Replace(UInt8 position, UInt8 count, const void* bytes, size_t byteCount) {
    unsigned char aside[256];
    const size_t n = bytes ? std::min<size_t>(byteCount, sizeof aside) : 0;
    if (n) std::memcpy(aside, bytes, n);
    Remove(position, count);
    return Insert(aside, n, position);
}

UInt8 LString::Find(const void* pattern, size_t count, UInt8 start) const {
    if (!pattern || count == 0 || count > Length()) return 0;
    const size_t last = Length() - count + 1;
    for (size_t p = ClipPosition(start); p <= last; ++p)
        if (fCompareFunc(fStorage + p, pattern, static_cast<UInt8>(count), static_cast<UInt8>(count)) == 0)
            return static_cast<UInt8>(p);
    return 0;
}

UInt8 LString::ReverseFind(const void* pattern, size_t count, UInt8 start) const {
    if (!pattern || count == 0 || count > Length()) return 0;
    for (size_t p = std::min<size_t>(ClipPosition(start), Length() - count + 1); p >= 1; --p)
        if (fCompareFunc(fStorage + p, pattern, static_cast<UInt8>(count), static_cast<UInt8>(count)) == 0)
            return static_cast<UInt8>(p);
    return 0;
}

UInt8 LString::FindWithin(const void* pattern, size_t count, UInt8 start) const {
    if (!pattern || count == 0 || count > Length()) return 0;
    const size_t last = Length() - count + 1;
    for (size_t p = ClipPosition(start); p <= last; ++p)
        if (std::memcmp(fStorage + p, pattern, count) == 0) return static_cast<UInt8>(p);
    return 0;
}

UInt8 LString::ReverseFindWithin(const void* pattern, size_t count, UInt8 start) const {
    if (!pattern || count == 0 || count > Length()) return 0;
    for (size_t p = std::min<size_t>(ClipPosition(start), Length() - count + 1); p >= 1; --p)
        if (std::memcmp(fStorage + p, pattern, count) == 0) return static_cast<UInt8>(p);
    return 0;
}

bool LString::BeginsWith(const void* pattern, size_t count) const {
    if (!pattern || Length() < count) return false;
    return fCompareFunc(fStorage + 1, pattern, static_cast<UInt8>(count), static_cast<UInt8>(count)) == 0;
}

bool LString::EndsWith(const void* pattern, size_t count) const {
    if (!pattern || Length() < count) return false;
    return fCompareFunc(fStorage + 1 + Length() - count, pattern, static_cast<UInt8>(count),
                        static_cast<UInt8>(count)) == 0;
}

LStr255 LString::operator()(UInt8 position, UInt8 count) const {
    LStr255 result;
    result.SetCompareFunc(fCompareFunc);
    result.Assign(*this, position, count);
    return result;
}

LString::operator SInt32() const {
    char text[256];
    std::memcpy(text, ConstTextPtr(), Length());
    text[Length()] = 0;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (end == text) return 0;
    if (errno == ERANGE || value > INT32_MAX || value < INT32_MIN) return value < 0 ? INT32_MIN : INT32_MAX;
    return static_cast<SInt32>(value);
}

LString::operator UInt32() const {
    FourCharCode code = 0;
    PStrToFourCharCode(fStorage, code);
    return code;
}

UInt8 LString::CStringLength(const char* text) {
    if (!text) return 0;
    size_t n = 0;
    while (n < 255 && text[n]) ++n;
    return static_cast<UInt8>(n);
}

StringPtr LString::CopyPStr(ConstStr255Param source, StringPtr destination, SInt16 size) {
    if (!destination || size <= 0) return destination;
    const size_t n = source ? std::min<size_t>(source[0], static_cast<size_t>(size - 1)) : 0;
    if (n) std::memmove(destination + 1, source + 1, n);
    destination[0] = static_cast<unsigned char>(n);
    return destination;
}

StringPtr LString::CToPStr(char* text) {
    auto* p = reinterpret_cast<unsigned char*>(text);
    if (!p) return p;
    const size_t n = CStringLength(text);
    std::memmove(p + 1, p, n);
    p[0] = static_cast<unsigned char>(n);
    return p;
}

char* LString::PToCStr(unsigned char* text) {
    if (!text) return nullptr;
    const size_t n = text[0];
    std::memmove(text, text + 1, n);
    text[n] = 0;
    return reinterpret_cast<char*>(text);
}

StringPtr LString::AppendPStr(StringPtr destination, ConstStr255Param source, SInt16 size) {
    if (!destination || !source || size <= 0) return destination;
    const size_t room = static_cast<size_t>(size - 1) > destination[0] ? size - 1 - destination[0] : 0;
    const size_t n = std::min<size_t>(source[0], room);
    std::memmove(destination + 1 + destination[0], source + 1, n);
    destination[0] = static_cast<unsigned char>(destination[0] + n);
    return destination;
}

StringPtr LString::FourCharCodeToPStr(FourCharCode code, StringPtr destination) {
    destination[0] = 4;
    for (int i = 0; i < 4; ++i) destination[1 + i] = static_cast<unsigned char>(code >> (24 - 8 * i));
    return destination;
}

void LString::PStrToFourCharCode(ConstStr255Param source, FourCharCode& code) {
    code = 0;
    if (!source) return;
    const size_t n = std::min<size_t>(source[0], 4);
    for (size_t i = 0; i < n; ++i) code = (code << 8) | source[1 + i];
}

UInt8 LString::GetCommonPrefixLen(ConstStr255Param a, ConstStr255Param b) {
    if (!a || !b) return 0;
    const size_t n = std::min(a[0], b[0]);
    size_t i = 0;
    while (i < n && a[1 + i] == b[1 + i]) ++i;
    return static_cast<UInt8>(i);
}

UInt8 LString::GetCommonSuffixLen(ConstStr255Param a, ConstStr255Param b) {
    if (!a || !b) return 0;
    const size_t n = std::min(a[0], b[0]);
    size_t i = 0;
    while (i < n && a[a[0] - i] == b[b[0] - i]) ++i;
    return static_cast<UInt8>(i);
}

SInt16 LString::ToolboxCompareText(const void* first, const void* second, UInt8 firstLength,
                                   UInt8 secondLength) {
    unsigned char a[256] = {};
    unsigned char b[256] = {};
    const auto copyText = [](unsigned char* to, const void* from, UInt8 length) {
        const auto* p = static_cast<const unsigned char*>(from);
        for (size_t i = 0; p && i + 1 < length && p[i]; ++i) to[i] = p[i];
    };
    copyText(a, first, firstLength);
    copyText(b, second, secondLength);
    const int r = std::strcmp(reinterpret_cast<const char*>(a), reinterpret_cast<const char*>(b));
    return static_cast<SInt16>(r < 0 ? -1 : r > 0 ? 1 : 0);
}

SInt16 LString::CompareBytes(const void* first, const void* second, UInt8 firstLength, UInt8 secondLength) {
    const auto* a = static_cast<const unsigned char*>(first);
    const auto* b = static_cast<const unsigned char*>(second);
    const size_t n = std::min(firstLength, secondLength);
    for (size_t i = 0; i < n; ++i)
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    if (firstLength == secondLength) return 0;
    return firstLength < secondLength ? -1 : 1;
}

namespace {

LStr255 Concatenate(LString::CompareFunc compare, const void* a, size_t aCount, const void* b,
                    size_t bCount) {
    LStr255 result(a, aCount);
    result.SetCompareFunc(compare);
    result.Append(b, bCount);
    return result;
}

}  // namespace

LStr255 operator+(const LString& a, const LString& b) {
    return Concatenate(a.GetCompareFunc(), a.ConstTextPtr(), a.Length(), b.ConstTextPtr(), b.Length());
}

LStr255 operator+(const LString& a, ConstStr255Param b) {
    return Concatenate(a.GetCompareFunc(), a.ConstTextPtr(), a.Length(), b ? b + 1 : nullptr, b ? b[0] : 0);
}

LStr255 operator+(ConstStr255Param a, const LString& b) {
    return Concatenate(LString::ToolboxCompareText, a ? a + 1 : nullptr, a ? a[0] : 0, b.ConstTextPtr(),
                       b.Length());
}

LStr255 operator+(const LString& a, unsigned char b) {
    return Concatenate(a.GetCompareFunc(), a.ConstTextPtr(), a.Length(), &b, 1);
}

LStr255 operator+(unsigned char a, const LString& b) {
    return Concatenate(LString::ToolboxCompareText, &a, 1, b.ConstTextPtr(), b.Length());
}
