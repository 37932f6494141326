#include "core/streams/TFileStream.h"

void TFileStream::SetMarker(SInt64 offset, EStreamPositionMode mode) {
    if (OSStatus err = FSSetForkPosition(fForkRef, static_cast<UInt16>(mode), offset))
        throw static_cast<int>(err);
}

SInt64 TFileStream::GetMarker() const {
    SInt64 position = 0;
    if (OSStatus err = FSGetForkPosition(fForkRef, &position)) throw static_cast<int>(err);
    return position;
}

void TFileStream::SetLength(SInt64 length) {
    if (OSStatus err = FSSetForkSize(fForkRef, fsFromStart, length)) throw static_cast<int>(err);
    TStream::SetLength(length);
}

SInt64 TFileStream::GetLength() const {
    SInt64 size = 0;
    if (OSStatus err = FSGetForkSize(fForkRef, &size)) throw static_cast<int>(err);
    return size;
}

OSStatus TFileStream::PutBytes(const void* buffer, SInt32& count) {
    ByteCount moved = 0;
    OSStatus err =
        FSWriteFork(fForkRef, fsAtMark, 0, static_cast<ByteCount>(count < 0 ? 0 : count), buffer, &moved);
    count = static_cast<SInt32>(moved);
    return err;
}

OSStatus TFileStream::GetBytes(void* buffer, SInt32& count) {
    ByteCount moved = 0;
    OSStatus err =
        FSReadFork(fForkRef, fsAtMark, 0, static_cast<ByteCount>(count < 0 ? 0 : count), buffer, &moved);
    count = static_cast<SInt32>(moved);
    return err;
}
