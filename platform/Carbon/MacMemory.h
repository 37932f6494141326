// Memory Manager handles and pointers: owned, resizable byte blocks with the classic calls.
//
// A Handle points at a master pointer whose target is the block's bytes, so `*h` reaches the
// data as callers expect; moving a block on resize updates the master pointer. A Ptr knows
// its own size. MemError() reports the last call's status for the calling thread.
#pragma once

#include <memory>

#include "platform/Carbon/MacTypes.h"

Handle NewHandle(Size byteCount);
Handle NewHandleClear(Size byteCount);
void DisposeHandle(Handle h);
Size GetHandleSize(Handle h);
void SetHandleSize(Handle h, Size newSize);
OSErr PtrToHand(const void* source, Handle* result, Size byteCount);
OSErr HandToHand(Handle* theHandle);
OSErr PtrAndHand(const void* source, Handle h, Size byteCount);
// Locking is a no-op: blocks never move except on resize.
void HLock(Handle h);
void HUnlock(Handle h);
void HLockHi(Handle h);

Ptr NewPtr(Size byteCount);
Ptr NewPtrClear(Size byteCount);
void DisposePtr(Ptr p);
Size GetPtrSize(Ptr p);
void SetPtrSize(Ptr p, Size newSize);

void BlockMoveData(const void* source, void* dest, Size byteCount);
void BlockZero(void* dest, Size byteCount);

OSErr MemError();

struct HandleDisposer {
    void operator()(Handle h) const { DisposeHandle(h); }
};
// The owner of a Handle: its block is disposed with it.
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle h) : mHandle(h) {}
    Handle get() const { return mHandle.get(); }
    Handle release() { return mHandle.release(); }
    void reset(Handle h = nullptr) { mHandle.reset(h); }
    explicit operator bool() const { return mHandle != nullptr; }

private:
    std::unique_ptr<char*, HandleDisposer> mHandle;
};
