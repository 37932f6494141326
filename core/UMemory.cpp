#include "core/UMemory.h"

#include <algorithm>
#include <cstring>

namespace {

[[noreturn]] void ThrowMemError() {
    const OSErr error = MemError();
    throw error != noErr ? static_cast<int>(error) : static_cast<int>(memFullErr);
}

Handle Duplicate(Handle handle) {
    if (!handle) return nullptr;
    Handle copy = handle;
    if (HandToHand(&copy) != noErr || !copy) ThrowMemError();
    return copy;
}

Ptr Duplicate(Ptr pointer) {
    if (!pointer) return nullptr;
    const Size size = GetPtrSize(pointer);
    Ptr copy = NewPtr(size);
    if (!copy) ThrowMemError();
    std::memcpy(copy, pointer, static_cast<size_t>(size));
    return copy;
}

}  // namespace

StHandleLocker::StHandleLocker(Handle handle) {
    Adopt(handle);
}

void StHandleLocker::Adopt(Handle handle) {
    if (!handle) throw static_cast<int>(nilHandleErr);
    RestoreLockState();
    fHandle = handle;
    HLock(fHandle);
    fLockedHere = true;
}

void StHandleLocker::RestoreLockState() {
    if (fHandle && fLockedHere) HUnlock(fHandle);
    fLockedHere = false;
}

Handle StHandleLocker::Release() {
    RestoreLockState();
    Handle handle = fHandle;
    fHandle = nullptr;
    return handle;
}

StHandleBlock::StHandleBlock(Size byteCount, bool throwFail, bool useTempMem) {
    fHandle = NewHandle(byteCount);
    // There is one heap here, so temporary memory is a second try of the same.
    if (!fHandle && useTempMem) fHandle = NewHandle(byteCount);
    if (!fHandle && throwFail) ThrowMemError();
    fOwned = fHandle != nullptr;
}

StHandleBlock::StHandleBlock(Handle handle, bool owned) : fHandle(handle), fOwned(owned && handle) {}

StHandleBlock::StHandleBlock(const StHandleBlock& other)
    : fHandle(Duplicate(other.fHandle)), fOwned(fHandle) {}

void StHandleBlock::Dispose() {
    if (fHandle && fOwned) DisposeHandle(fHandle);
    fHandle = nullptr;
    fOwned = false;
}

void StHandleBlock::Adopt(Handle handle) {
    if (handle != fHandle) Dispose();
    fHandle = handle;
    fOwned = handle != nullptr;
}

void StHandleBlock::CopyAndAdopt(Handle handle) {
    Adopt(Duplicate(handle));
}

Handle StHandleBlock::GetCopy() const {
    return Duplicate(fHandle);
}

Handle StHandleBlock::Release() {
    fOwned = false;
    return fHandle;
}

StPointerBlock::StPointerBlock(Size byteCount, bool throwFail, bool clearBytes) {
    fPointer = clearBytes ? NewPtrClear(byteCount) : NewPtr(byteCount);
    if (!fPointer && throwFail) ThrowMemError();
    fOwned = fPointer != nullptr;
}

StPointerBlock::StPointerBlock(Ptr pointer, bool owned) : fPointer(pointer), fOwned(owned && pointer) {}

StPointerBlock::StPointerBlock(const StPointerBlock& other)
    : fPointer(Duplicate(other.fPointer)), fOwned(fPointer) {}

void StPointerBlock::Dispose() {
    if (fPointer && fOwned) DisposePtr(fPointer);
    fPointer = nullptr;
    fOwned = false;
}

void StPointerBlock::Adopt(Ptr pointer) {
    if (pointer != fPointer) Dispose();
    fPointer = pointer;
    fOwned = pointer != nullptr;
}

void StPointerBlock::CopyAndAdopt(Ptr pointer) {
    Adopt(Duplicate(pointer));
}

Ptr StPointerBlock::Release() {
    fOwned = false;
    return fPointer;
}

SInt32 BlockCompare(const void* first, const void* second, size_t length) {
    const auto* a = static_cast<const unsigned char*>(first);
    const auto* b = static_cast<const unsigned char*>(second);
    for (size_t i = 0; i < length; ++i)
        if (a[i] != b[i]) return SInt32{a[i]} - SInt32{b[i]};
    return 0;
}

SInt32 BlockCompare(const void* first, const void* second, size_t firstLength, size_t secondLength) {
    const SInt32 r = BlockCompare(first, second, std::min(firstLength, secondLength));
    if (r != 0) return r;
    return static_cast<SInt32>(static_cast<SInt64>(firstLength) - static_cast<SInt64>(secondLength));
}
