// The integer codes that tasks, connections and sockets throw or return, and the predicates that
// sort them. Four-character codes are the big-endian value of their letters.
#pragma once

#include <cerrno>

#include "platform/Carbon/MacTypes.h"

inline constexpr int kNetTimeoutErr = 0x10000064;
inline constexpr int kNetClosedErr = 0x10000065;
inline constexpr int kNetNoSocketErr = 0x10000066;
// Nothing produces it; the notification rules treat it like kNetClosedErr.
inline constexpr int kNetReservedErr = 0x10000067;
// A reply that cannot be read: a line longer than the receive window, more bytes than the
// response holds, or a body cut short of its Content-Length.
inline constexpr int kNetBadReplyErr = 0x10000068;
inline constexpr int kNetLastAppErr = 0x100000C8;

inline constexpr int kUserCanceledErr = -128;
inline constexpr int kDiskFullErr = -34;
inline constexpr int kMemFullErr = -108;
inline constexpr int kKillTransportErr = -3162;

inline constexpr int kMissingObjectErr = static_cast<int>(fourCC("nilP"));
inline constexpr int kAssertionErr = static_cast<int>(fourCC("asrt"));
inline constexpr int kSocketOpenErr = static_cast<int>(fourCC("SCfa"));
// A TLS connection that was closed or failed.
inline constexpr int kTLSClosedErr = 32;
inline constexpr int kTLSNoConnectionErr = 6;
inline constexpr int kTLSSyscallErr = static_cast<int>(fourCC("Slss"));

inline constexpr int kTaskExceptionErr = 30000;
inline constexpr int kJobStillQueuedErr = 30001;

// Every error number the system defines, from EPERM to EHWPOISON (1 to 133 on Linux).
inline constexpr bool IsASocketErr(int error) {
    return error >= EPERM && error <= EHWPOISON;
}

inline constexpr bool IsAMacTCPErr(int error) {
    return error >= -23050 && error <= -23000;
}

inline constexpr bool IsAOTErr(int error) {
    return error >= -3299 && error <= -3140;
}

inline constexpr bool IsAPP_NetworkErr(int error) {
    return error >= kNetTimeoutErr && error <= kNetLastAppErr;
}

// Codes after which the worker drops everything it holds.
inline constexpr bool IsAKillErr(int error) {
    constexpr int kKillCodes[] = {0,           kNetClosedErr, kKillTransportErr, kUserCanceledErr,
                                  kMemFullErr, kDiskFullErr};
    for (int code : kKillCodes) {
        if (code == error) return true;
    }
    return IsASocketErr(error);
}

// Closing and cancelling are the user's own doing and are not reported.
inline constexpr bool IsNotifyErr(int error) {
    return error != kNetClosedErr && error != kNetReservedErr && error != kUserCanceledErr;
}
