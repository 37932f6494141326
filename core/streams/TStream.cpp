#include "core/streams/TStream.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>

#include "platform/Carbon/MacMemory.h"

namespace {

constexpr UInt32 kNullLength = 0xFFFFFFFF;

void storeBigEndian(UInt32 value, unsigned char* bytes) {
    for (int i = 3; i >= 0; --i, value >>= 8) bytes[i] = static_cast<unsigned char>(value & 0xFF);
}

UInt32 loadBigEndian(const unsigned char* bytes) {
    return (UInt32{bytes[0]} << 24) | (UInt32{bytes[1]} << 16) | (UInt32{bytes[2]} << 8) | UInt32{bytes[3]};
}

}  // namespace

void TStream::SetMarker(SInt64 offset, EStreamPositionMode mode) {
    SInt64 marker = fMarker;
    switch (mode) {
        case kStreamFromStart:
            marker = offset;
            break;
        case kStreamFromEnd:
            marker = GetLength() - offset;
            break;
        case kStreamFromMarker:
            marker = fMarker + offset;
            break;
    }
    fMarker = std::clamp<SInt64>(marker, 0, std::max<SInt64>(GetLength(), 0));
}

SInt64 TStream::GetMarker() const {
    return fMarker;
}

void TStream::SetLength(SInt64 length) {
    fLength = length;
    if (GetMarker() > length) SetMarker(length, kStreamFromStart);
}

SInt64 TStream::GetLength() const {
    return fLength;
}

OSStatus TStream::PutBytes(const void*, SInt32& count) {
    count = 0;
    return writErr;
}

OSStatus TStream::GetBytes(void*, SInt32& count) {
    count = 0;
    return readErr;
}

SInt32 TStream::ReadData(void* buffer, SInt32 count) {
    GetBytes(buffer, count);
    return count;
}

void TStream::WriteBlock(const void* buffer, SInt32 count) {
    if (OSStatus err = PutBytes(buffer, count)) throw static_cast<int>(err);
}

void TStream::ReadBlock(void* buffer, SInt32 count) {
    if (OSStatus err = GetBytes(buffer, count)) throw static_cast<int>(err);
}

SInt32 TStream::PeekData(void* buffer, SInt32 count) {
    SInt64 marker = GetMarker();
    SInt32 read = ReadData(buffer, count);
    SetMarker(marker, kStreamFromStart);
    return read;
}

UInt32 TStream::ReadLength() {
    unsigned char bytes[4];
    ReadBlock(bytes, 4);
    return loadBigEndian(bytes);
}

void TStream::RequireRemaining(UInt32 length, SInt64 start) {
    if (static_cast<SInt64>(length) > GetLength() - GetMarker()) {
        SetMarker(start, kStreamFromStart);
        throw static_cast<int>(readErr);
    }
}

SInt32 TStream::WritePtr(Ptr block) {
    unsigned char bytes[4];
    if (!block) {
        storeBigEndian(kNullLength, bytes);
        WriteBlock(bytes, 4);
        return 4;
    }
    auto length = static_cast<SInt32>(GetPtrSize(block));
    storeBigEndian(static_cast<UInt32>(length), bytes);
    WriteBlock(bytes, 4);
    WriteBlock(block, length);
    return 4 + length;
}

SInt32 TStream::ReadPtr(Ptr& block) {
    block = nullptr;
    SInt64 start = GetMarker();
    UInt32 length = ReadLength();
    if (length == kNullLength) return 4;
    RequireRemaining(length, start);
    std::unique_ptr<char, void (*)(Ptr)> owned(NewPtr(static_cast<Size>(length)), DisposePtr);
    if (!owned) throw static_cast<int>(MemError());
    ReadBlock(owned.get(), static_cast<SInt32>(length));
    block = owned.release();
    return 4 + static_cast<SInt32>(length);
}

SInt32 TStream::WriteHandle(Handle handle) {
    unsigned char bytes[4];
    if (!handle) {
        storeBigEndian(kNullLength, bytes);
        WriteBlock(bytes, 4);
        return 4;
    }
    auto length = static_cast<SInt32>(GetHandleSize(handle));
    storeBigEndian(static_cast<UInt32>(length), bytes);
    WriteBlock(bytes, 4);
    HLock(handle);
    try {
        WriteBlock(*handle, length);
    } catch (...) {
        HUnlock(handle);
        throw;
    }
    HUnlock(handle);
    return 4 + length;
}

SInt32 TStream::ReadHandle(Handle& handle) {
    handle = nullptr;
    SInt64 start = GetMarker();
    UInt32 length = ReadLength();
    if (length == kNullLength) return 4;
    RequireRemaining(length, start);
    UniqueHandle owned(NewHandle(static_cast<Size>(length)));
    if (!owned) throw static_cast<int>(MemError());
    ReadBlock(*owned.get(), static_cast<SInt32>(length));
    handle = owned.release();
    return 4 + static_cast<SInt32>(length);
}

SInt32 TStream::WritePString(ConstStr255Param text) {
    WriteBlock(text, 1 + text[0]);
    return 1 + text[0];
}

SInt32 TStream::ReadPString(StringPtr buffer) {
    SInt64 start = GetMarker();
    ReadBlock(buffer, 1);
    RequireRemaining(buffer[0], start);
    ReadBlock(buffer + 1, buffer[0]);
    return 1 + buffer[0];
}

SInt32 TStream::WriteCString(const char* text) {
    auto length = static_cast<SInt32>(std::strlen(text));
    unsigned char bytes[4];
    storeBigEndian(static_cast<UInt32>(length), bytes);
    WriteBlock(bytes, 4);
    WriteBlock(text, length);
    return 4 + length;
}

SInt32 TStream::ReadCString(char* buffer, SInt32 capacity) {
    SInt64 start = GetMarker();
    UInt32 length = ReadLength();
    if (capacity <= 0 || length > static_cast<UInt32>(capacity) - 1) {
        SetMarker(start, kStreamFromStart);
        throw static_cast<int>(paramErr);
    }
    RequireRemaining(length, start);
    ReadBlock(buffer, static_cast<SInt32>(length));
    buffer[length] = '\0';
    return 4 + static_cast<SInt32>(length);
}

TStream& TStream::operator<<(double value) {
    auto bits = std::bit_cast<UInt64>(value);
    unsigned char bytes[8];
    for (int i = 7; i >= 0; --i, bits >>= 8) bytes[i] = static_cast<unsigned char>(bits & 0xFF);
    WriteBlock(bytes, 8);
    return *this;
}

TStream& TStream::operator>>(double& value) {
    unsigned char bytes[8];
    ReadBlock(bytes, 8);
    UInt64 bits = 0;
    for (unsigned char byte : bytes) bits = (bits << 8) | byte;
    value = std::bit_cast<double>(bits);
    return *this;
}
