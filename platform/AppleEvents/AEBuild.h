// The build syntax: descriptors and events made from a text and a list of arguments.
//
// Forms understood (and no others):
//   key:value, key:value      parameters of an event, fields of a record (keys are codes)
//   code                      an enumeration ('enum'); bare (form, =, exmn) or quoted ('all ')
//   'code'                    codes of 1 to 4 characters, padded with spaces ('pYr ' == pYr)
//   123, -5                   integers: 'shor' when they fit 16 bits, else 'long'
//   "text"                    'TEXT', the bytes between the quotes (no escapes)
//   (value)                   the value itself
//   type{ key:value, ... }    a record of that type ({ ... } alone is a 'reco')
//   type()                    that type with no data: null(), 'null'(), exmn()
//   type(code)                that type with the code's four bytes: type(prop), abso('all ')
//   type(value)               the value coerced to the type: 'utxt'("a"), comp(5)
//   @                         the next argument, a descriptor (copied)
//   type(@)                   the next two arguments, a byte count and a pointer to the data
//   long(@)                   the next argument, the 32-bit value itself
//   type(@@)                  the next argument, a Handle whose bytes are the data
// Arguments are checked against the forms: a missing, surplus or wrongly typed argument is an
// error like a malformed text. Errors return errAEBuildSyntaxError and say what and where.
// The parser never reads past the end of the text, and nesting is bounded.
#pragma once

#include <array>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/AppleEvents/AEDescriptor.h"
#include "platform/Carbon/MacMemory.h"

enum AEBuildErrorCode : UInt32 {
    aeBuildSyntaxNoErr = 0,
    aeBuildSyntaxBadToken,           // a character that starts no form
    aeBuildSyntaxBadEOF,             // the text ends inside a form
    aeBuildSyntaxNoEOF,              // text follows a complete form
    aeBuildSyntaxBadNumber,          // a lone '-' or an integer beyond 32 bits
    aeBuildSyntaxMissingQuote,       // a quoted code without its closing quote
    aeBuildSyntaxBadCode,            // a code of no or more than four characters
    aeBuildSyntaxNoCloseString,      // "text without its closing quote
    aeBuildSyntaxBadData,            // a value that cannot take the type put on it
    aeBuildSyntaxNoCloseParen,       // ( without )
    aeBuildSyntaxNoCloseBrace,       // { without }
    aeBuildSyntaxNoKey,              // a field without a key
    aeBuildSyntaxNoColon,            // a key without its ':'
    aeBuildSyntaxUncoercedDoubleAt,  // @@ without a type
    aeBuildSyntaxBadArgument,        // an argument missing, surplus or of the wrong kind
    aeBuildSyntaxTooDeep,            // nesting beyond kAEBuildMaxDepth
};

inline constexpr int kAEBuildMaxDepth = 32;

struct AEBuildError {
    AEBuildErrorCode fError{aeBuildSyntaxNoErr};
    UInt32 fErrorPos{0};  // byte offset in the text where the error was found
};

// One argument for '@' forms: a descriptor, an integer (a count or a long(@) value), a pointer
// or a Handle.
class AEBuildArgument {
public:
    enum class Kind : UInt8 { descriptor, integer, pointer, handle };

    AEBuildArgument(const AEDesc* desc) : fKind(Kind::descriptor), fDesc(desc) {}
    AEBuildArgument(const AEDesc& desc) : fKind(Kind::descriptor), fDesc(&desc) {}
    AEBuildArgument(Handle handle) : fKind(Kind::handle), fHandle(handle) {}
    AEBuildArgument(const UniqueHandle& handle) : fKind(Kind::handle), fHandle(handle.get()) {}
    template <typename T>
    requires(std::is_integral_v<T> || std::is_enum_v<T>) AEBuildArgument(T value)
        : fKind(Kind::integer), fInteger(static_cast<int64_t>(value)) {}
    template <typename T>
    AEBuildArgument(const T* pointer) : fKind(Kind::pointer), fPointer(pointer) {}

    Kind kind() const { return fKind; }
    const AEDesc* descriptor() const { return fDesc; }
    int64_t integer() const { return fInteger; }
    const void* pointer() const { return fPointer; }
    Handle handle() const { return fHandle; }

private:
    Kind fKind;
    const AEDesc* fDesc{nullptr};
    int64_t fInteger{0};
    const void* fPointer{nullptr};
    Handle fHandle{nullptr};
};

using AEBuildArgumentList = std::span<const AEBuildArgument>;

// A build text: any string view, or a C string (null reads as empty).
struct AEBuildText {
    AEBuildText(const char* text) : view(text ? std::string_view(text) : std::string_view()) {}
    AEBuildText(std::string_view text) : view(text) {}
    AEBuildText(const std::string& text) : view(text) {}
    std::string_view view;
};

OSStatus vAEBuildDesc(AEDesc* dst, AEBuildError* error, AEBuildText src, AEBuildArgumentList args);
OSStatus vAEBuildParameters(AppleEvent* event, AEBuildError* error, AEBuildText format,
                            AEBuildArgumentList args);
OSStatus vAEBuildAppleEvent(AEEventClass eventClass, AEEventID eventID, DescType addressType,
                            const void* addressData, Size addressLength, AEReturnID returnID,
                            AETransactionID transactionID, AppleEvent* result, AEBuildError* error,
                            AEBuildText paramsFormat, AEBuildArgumentList args);

// One descriptor from a single value.
template <typename... Args>
OSStatus AEBuildDesc(AEDesc* dst, AEBuildError* error, AEBuildText src, const Args&... args) {
    const std::array<AEBuildArgument, sizeof...(Args)> list{AEBuildArgument(args)...};
    return vAEBuildDesc(dst, error, src, list);
}

// Adds parameters to an event; on failure the event is left as it was.
template <typename... Args>
OSStatus AEBuildParameters(AppleEvent* event, AEBuildError* error, AEBuildText format, const Args&... args) {
    const std::array<AEBuildArgument, sizeof...(Args)> list{AEBuildArgument(args)...};
    return vAEBuildParameters(event, error, format, list);
}

// An event addressed by (addressType, addressData), its parameters from a key:value list.
template <typename... Args>
OSStatus AEBuildAppleEvent(AEEventClass eventClass, AEEventID eventID, DescType addressType,
                           const void* addressData, Size addressLength, AEReturnID returnID,
                           AETransactionID transactionID, AppleEvent* result, AEBuildError* error,
                           AEBuildText paramsFormat, const Args&... args) {
    const std::array<AEBuildArgument, sizeof...(Args)> list{AEBuildArgument(args)...};
    return vAEBuildAppleEvent(eventClass, eventID, addressType, addressData, addressLength, returnID,
                              transactionID, result, error, paramsFormat, list);
}
