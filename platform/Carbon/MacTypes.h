// Basic types and status codes of the platform layers, shared by every subsystem.
#pragma once

#include <cstddef>
#include <cstdint>

using OSErr = int16_t;
using OSStatus = int32_t;
using OSType = uint32_t;
using FourCharCode = uint32_t;
using ResType = uint32_t;
using DescType = uint32_t;
using Boolean = bool;
using Size = long;
using SInt8 = int8_t;
using UInt8 = uint8_t;
using SInt16 = int16_t;
using UInt16 = uint16_t;
using SInt32 = int32_t;
using UInt32 = uint32_t;
using SInt64 = int64_t;
using UInt64 = uint64_t;
using Ptr = char*;
using Handle = char**;
using ConstStr255Param = const unsigned char*;
using StringPtr = unsigned char*;
using Str255 = unsigned char[256];

// Four-character codes are built from four characters, never from multi-character literals.
constexpr FourCharCode fourCC(const char (&code)[5]) {
    return (static_cast<FourCharCode>(static_cast<unsigned char>(code[0])) << 24) |
           (static_cast<FourCharCode>(static_cast<unsigned char>(code[1])) << 16) |
           (static_cast<FourCharCode>(static_cast<unsigned char>(code[2])) << 8) |
           static_cast<FourCharCode>(static_cast<unsigned char>(code[3]));
}

// Status codes the layers return; the table that maps errno onto them lives in Errors.cpp.
enum : OSStatus {
    noErr = 0,
    paramErr = -50,
    memFullErr = -108,
    nilHandleErr = -109,
    memWZErr = -111,
    dirFulErr = -33,
    dskFulErr = -34,
    nsvErr = -35,
    ioErr = -36,
    bdNamErr = -37,
    fnOpnErr = -38,
    eofErr = -39,
    posErr = -40,
    tmfoErr = -42,
    fnfErr = -43,
    wPrErr = -44,
    fLckdErr = -45,
    vLckdErr = -46,
    fBsyErr = -47,
    dupFNErr = -48,
    opWrErr = -49,
    permErr = -54,
    wrPermErr = -61,
    dirNFErr = -120,
    afpAccessDenied = -5000,
    errFSNotAFolder = -1407,
    procNotFound = -600,
    userCanceledErr = -128,
    unimpErr = -4,
};
