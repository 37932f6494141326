// The abstract byte stream: a 64-bit marker and length, raw transfers that return an error code
// and block transfers and serialisation operations that throw one as an `int`.
//
// Streams are not thread-safe.
#pragma once

#include "platform/Carbon/MacTypes.h"

// How SetMarker reads its offset. Any other value leaves the marker where it is (then clamped).
enum EStreamPositionMode : int {
    kStreamFromStart = 1,
    kStreamFromEnd = 2,
    kStreamFromMarker = 3,
};

// The stream errors of the base class: a short read and a write that the stream cannot take.
enum : OSStatus {
    readErr = -19,
    writErr = -20,
};

class TStream {
public:
    TStream() = default;
    TStream(const TStream&) = default;
    TStream& operator=(const TStream&) = default;
    virtual ~TStream() = default;

    // The new marker is offset, length - offset or marker + offset, clamped to 0..GetLength().
    virtual void SetMarker(SInt64 offset, EStreamPositionMode mode);
    virtual SInt64 GetMarker() const;
    // Stores the length and pulls the marker back to it when it lay beyond.
    virtual void SetLength(SInt64 length);
    virtual SInt64 GetLength() const;
    // Raw transfers at the marker: `count` becomes the bytes moved and the error is returned.
    virtual OSStatus PutBytes(const void* buffer, SInt32& count);
    virtual OSStatus GetBytes(void* buffer, SInt32& count);
    // Reads and returns the count actually read; the error is dropped.
    virtual SInt32 ReadData(void* buffer, SInt32 count);

    // Block transfers: a nonzero error is thrown as an `int`.
    void WriteBlock(const void* buffer, SInt32 count);
    void ReadBlock(void* buffer, SInt32 count);
    // Reads without moving the marker; returns the count read.
    SInt32 PeekData(void* buffer, SInt32 count);

    // Serialisation. Lengths are 32-bit big-endian; each returns the bytes written or read.
    // A reader whose length exceeds the bytes that remain throws readErr before it allocates or
    // copies anything and leaves the marker where it was.
    SInt32 WritePtr(Ptr block);  // a null block is the length 0xFFFFFFFF alone
    SInt32 ReadPtr(Ptr& block);  // a new block the caller disposes (DisposePtr), or null
    SInt32 WriteHandle(Handle handle);
    SInt32 ReadHandle(Handle& handle);  // a new handle the caller disposes, or null
    SInt32 WritePString(ConstStr255Param text);
    SInt32 ReadPString(StringPtr buffer);  // the buffer holds 256 bytes
    SInt32 WriteCString(const char* text);
    // Reads into a buffer of `capacity` bytes and terminates it; a text that would not fit with
    // its terminator throws paramErr and leaves the marker where it was.
    SInt32 ReadCString(char* buffer, SInt32 capacity);

    TStream& operator<<(double value);
    TStream& operator>>(double& value);

private:
    UInt32 ReadLength();
    // Throws readErr (marker restored to `start`) when fewer than `length` bytes remain.
    void RequireRemaining(UInt32 length, SInt64 start);

    SInt64 fMarker{0};
    SInt64 fLength{0};
};
