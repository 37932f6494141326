// Length-byte strings: one length byte followed by at most capacity - 1 characters (bytes).
//
// `LString` is the abstract base with a capacity and an exchangeable compare function;
// `LStr255` keeps 255 characters inline; `LStringRef` is a view over a caller's buffer (its
// copies share that buffer). Positions are 1-based and a position of 0 counts as 1. Nothing
// fails on long input: every change cuts the text at the capacity.
#pragma once

#include <algorithm>
#include <cstddef>

#include "platform/Carbon/MacTypes.h"

using ConstStringPtr = const unsigned char*;

class LStr255;

class LString {
public:
    // Compares (first bytes, second bytes, first length, second length): <0, 0 or >0.
    using CompareFunc = SInt16 (*)(const void* first, const void* second, UInt8 firstLength,
                                   UInt8 secondLength);

    virtual ~LString() = 0;

    UInt8 Length() const { return fStorage[0]; }
    UInt16 GetMaxLength() const { return static_cast<UInt16>(fCapacity - 1); }
    UInt16 GetCapacity() const { return fCapacity; }
    // The length-byte string, and its characters.
    StringPtr GetStringPtr() { return fStorage; }
    operator StringPtr() { return fStorage; }
    operator ConstStringPtr() const { return fStorage; }
    unsigned char* TextPtr() { return fStorage + 1; }
    const unsigned char* ConstTextPtr() const { return fStorage + 1; }
    // The character at a 1-based index (not checked against the length).
    unsigned char& operator[](UInt8 index) { return fStorage[index]; }
    unsigned char operator[](UInt8 index) const { return fStorage[index]; }

    CompareFunc GetCompareFunc() const { return fCompareFunc; }
    void SetCompareFunc(CompareFunc func) { fCompareFunc = func ? func : ToolboxCompareText; }

    LString& operator=(const LString& source) { return Assign(source); }
    LString& operator=(ConstStr255Param source) { return Assign(source); }
    LString& operator=(const char* source) { return Assign(source, CStringLength(source)); }
    LString& operator=(unsigned char c) { return Assign(c); }
    LString& operator=(char c) { return Assign(c); }

    LString& Assign(const LString& source, UInt8 start = 1, UInt8 count = 255);
    LString& Assign(ConstStr255Param source);
    LString& Assign(const void* bytes, size_t count);
    LString& Assign(unsigned char c);
    LString& Assign(char c) { return Assign(static_cast<unsigned char>(c)); }
    LString& Assign(Handle handle);
    LString& Assign(SInt32 number);  // decimal text
    LString& Assign(UInt32 code);    // four-character code
    // style 0 is fixed-point with `digits` decimals, any other style scientific.
    LString& Assign(long double number, SInt8 formatStyle, SInt16 digits);
    // Loads a length-byte string kept at `pointer`; answers the first byte after it.
    const void* LoadFromPtr(const void* pointer);

    LString& Append(unsigned char c) { return Append(&c, 1); }
    LString& Append(char c) { return Append(static_cast<unsigned char>(c)); }
    LString& Append(SInt32 number);
    LString& Append(const void* bytes, size_t count);
    LString& Append(const LString& source) { return Append(source.ConstTextPtr(), source.Length()); }
    LString& Append(ConstStr255Param source);
    LString& operator+=(const LString& source) { return Append(source); }
    LString& operator+=(ConstStr255Param source) { return Append(source); }
    LString& operator+=(unsigned char c) { return Append(c); }

    LString& Insert(const void* bytes, size_t count, UInt8 position);
    LString& Remove(UInt8 position, UInt8 count);
    LString& Replace(UInt8 position, UInt8 count, const void* bytes, size_t byteCount);

    // First position at or after `start` where the compare function finds the pattern; 0 for none.
    UInt8 Find(const void* pattern, size_t count, UInt8 start = 1) const;
    UInt8 Find(const LString& pattern, UInt8 start = 1) const {
        return Find(pattern.ConstTextPtr(), pattern.Length(), start);
    }
    // Last position at or before `start` where the pattern begins; 0 for none.
    UInt8 ReverseFind(const void* pattern, size_t count, UInt8 start = 255) const;
    // As Find and ReverseFind, comparing bytes for equality.
    UInt8 FindWithin(const void* pattern, size_t count, UInt8 start = 1) const;
    UInt8 ReverseFindWithin(const void* pattern, size_t count, UInt8 start = 255) const;
    bool BeginsWith(const void* pattern, size_t count) const;
    bool BeginsWith(const LString& pattern) const {
        return BeginsWith(pattern.ConstTextPtr(), pattern.Length());
    }
    bool EndsWith(const void* pattern, size_t count) const;
    bool EndsWith(const LString& pattern) const { return EndsWith(pattern.ConstTextPtr(), pattern.Length()); }

    // The substring, with this string's compare function.
    LStr255 operator()(UInt8 position, UInt8 count) const;

    // The text read as a decimal number, 0 when it is not one.
    explicit operator SInt32() const;
    // The text as a four-character code.
    explicit operator UInt32() const;

    // C length capped at 255; 0 for null.
    static UInt8 CStringLength(const char* text);
    static StringPtr CopyPStr(ConstStr255Param source, StringPtr destination, SInt16 size = 256);
    // Convert in place; the C form is cut at 255 characters.
    static StringPtr CToPStr(char* text);
    static char* PToCStr(unsigned char* text);
    static StringPtr AppendPStr(StringPtr destination, ConstStr255Param source, SInt16 size = 256);
    static StringPtr FourCharCodeToPStr(FourCharCode code, StringPtr destination);
    static void PStrToFourCharCode(ConstStr255Param source, FourCharCode& code);
    static UInt8 GetCommonPrefixLen(ConstStr255Param a, ConstStr255Param b);
    static UInt8 GetCommonSuffixLen(ConstStr255Param a, ConstStr255Param b);

    // Compares all but the last character of each side as C text (so a pattern of n characters
    // matches on its first n - 1); header-field look-ups rely on exactly this.
    static SInt16 ToolboxCompareText(const void* first, const void* second, UInt8 firstLength,
                                     UInt8 secondLength);
    // Compares the common length as unsigned bytes, then the lengths.
    static SInt16 CompareBytes(const void* first, const void* second, UInt8 firstLength, UInt8 secondLength);

protected:
    LString(UInt16 capacity, StringPtr storage, CompareFunc compare = ToolboxCompareText)
        : fCapacity(capacity), fStorage(storage), fCompareFunc(compare ? compare : ToolboxCompareText) {}
    LString(const LString&) = default;

    UInt16 fCapacity;
    StringPtr fStorage;
    CompareFunc fCompareFunc;
};

// A length-byte string with room for 255 characters inline.
class LStr255 : public LString {
public:
    LStr255() : LString(256, fBuffer) {}
    LStr255(const LStr255& source) : LString(256, fBuffer, source.fCompareFunc) { Assign(source); }
    LStr255(const LString& source) : LString(256, fBuffer, source.GetCompareFunc()) { Assign(source); }
    LStr255(ConstStr255Param source) : LString(256, fBuffer) { Assign(source); }
    explicit LStr255(unsigned char c) : LString(256, fBuffer) { Assign(c); }
    explicit LStr255(char c) : LString(256, fBuffer) { Assign(c); }
    LStr255(const char* text) : LString(256, fBuffer) { Assign(text, CStringLength(text)); }
    LStr255(const void* bytes, size_t count) : LString(256, fBuffer) { Assign(bytes, count); }
    explicit LStr255(Handle handle) : LString(256, fBuffer) { Assign(handle); }
    explicit LStr255(SInt32 number) : LString(256, fBuffer) { Assign(number); }
    explicit LStr255(SInt16 number) : LString(256, fBuffer) { Assign(static_cast<SInt32>(number)); }
    LStr255(double number, SInt8 formatStyle, SInt16 digits) : LString(256, fBuffer) {
        Assign(static_cast<long double>(number), formatStyle, digits);
    }
    LStr255(long double number, SInt8 formatStyle, SInt16 digits) : LString(256, fBuffer) {
        Assign(number, formatStyle, digits);
    }
    explicit LStr255(UInt32 code) : LString(256, fBuffer) { Assign(code); }
    ~LStr255() override {}

    using LString::operator=;
    LStr255& operator=(const LStr255& source) {
        Assign(source);
        return *this;
    }

private:
    unsigned char fBuffer[256]{};
};

// A length-byte string over a caller's buffer of `capacity` bytes (length byte included).
class LStringRef : public LString {
public:
    LStringRef(SInt16 capacity, unsigned char* buffer) : LString(ClampedCapacity(capacity), buffer) {}
    LStringRef(const LStringRef& source) = default;
    ~LStringRef() override {}

    using LString::operator=;
    LStringRef& operator=(const LStringRef& source) {
        Assign(source);
        return *this;
    }
    void SetStringRef(SInt16 capacity, unsigned char* buffer) {
        fCapacity = ClampedCapacity(capacity);
        fStorage = buffer;
    }

private:
    // One length byte holds at most 255 characters, whatever buffer the caller hands in.
    static UInt16 ClampedCapacity(SInt16 capacity) {
        return static_cast<UInt16>(std::clamp<SInt16>(capacity, 1, 256));
    }
};

LStr255 operator+(const LString& a, const LString& b);
LStr255 operator+(const LString& a, ConstStr255Param b);
LStr255 operator+(ConstStr255Param a, const LString& b);
LStr255 operator+(const LString& a, unsigned char b);
LStr255 operator+(unsigned char a, const LString& b);
