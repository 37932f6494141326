#include "core/streams/THandleStream.h"

#include <cstring>

#include "platform/Carbon/MacMemory.h"

namespace {

// A copy of the block, or null for null; the Memory Manager error is thrown.
Handle duplicate(Handle block) {
    if (!block) return nullptr;
    Handle copy = block;
    if (OSErr err = HandToHand(&copy)) throw static_cast<int>(err);
    return copy;
}

}  // namespace

THandleStream::THandleStream(Handle block) {
    SetDataHandle(block);
}

THandleStream::THandleStream(const THandleStream& other)
    : TStream(other), fDataHandle(duplicate(other.fDataHandle)) {}

THandleStream& THandleStream::operator=(const THandleStream& other) {
    if (this == &other) return *this;
    Handle copy = duplicate(other.fDataHandle);
    if (fDataHandle) DisposeHandle(fDataHandle);
    fDataHandle = copy;
    TStream::operator=(other);
    return *this;
}

THandleStream::~THandleStream() {
    if (fDataHandle) DisposeHandle(fDataHandle);
}

void THandleStream::SetLength(SInt64 length) {
    if (length < 0) throw static_cast<int>(paramErr);
    if (!fDataHandle) {
        fDataHandle = NewHandle(static_cast<Size>(length));
        if (!fDataHandle) throw static_cast<int>(MemError());
    } else {
        SetHandleSize(fDataHandle, static_cast<Size>(length));
        if (OSErr err = MemError()) throw static_cast<int>(err);
    }
    TStream::SetLength(length);
}

OSStatus THandleStream::PutBytes(const void* buffer, SInt32& count) {
    OSStatus result = noErr;
    if (count < 0) count = 0;
    SInt64 marker = GetMarker();
    if (marker + count > GetLength()) {
        try {
            SetLength(marker + count);
        } catch (int err) {
            result = err;
            count = static_cast<SInt32>(GetLength() - marker);
        }
    }
    if (count > 0) {
        std::memcpy(*fDataHandle + marker, buffer, static_cast<size_t>(count));
        SetMarker(count, kStreamFromMarker);
    }
    return result;
}

OSStatus THandleStream::GetBytes(void* buffer, SInt32& count) {
    OSStatus result = noErr;
    if (count < 0) count = 0;
    SInt64 marker = GetMarker();
    if (marker + count > GetLength()) {
        count = static_cast<SInt32>(GetLength() - marker);
        result = readErr;
    }
    if (fDataHandle && count > 0) {
        std::memcpy(buffer, *fDataHandle + marker, static_cast<size_t>(count));
        SetMarker(count, kStreamFromMarker);
    }
    return result;
}

void THandleStream::SetDataHandle(Handle block) {
    if (fDataHandle && fDataHandle != block) DisposeHandle(fDataHandle);
    fDataHandle = block;
    TStream::SetLength(block ? GetHandleSize(block) : 0);
    SetMarker(0, kStreamFromStart);
}

Handle THandleStream::DetachDataHandle() {
    Handle block = fDataHandle;
    fDataHandle = nullptr;
    SetMarker(0, kStreamFromStart);
    TStream::SetLength(0);
    return block;
}
