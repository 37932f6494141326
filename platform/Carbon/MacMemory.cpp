#include "platform/Carbon/MacMemory.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// The master pointer comes first, so a Handle is the address of this block's `data`.
struct HandleBlock {
    char* data;
    Size size;
};
static_assert(offsetof(HandleBlock, data) == 0);

thread_local OSErr sMemError = noErr;

HandleBlock* blockOf(Handle h) { return reinterpret_cast<HandleBlock*>(h); }

OSErr setMemError(OSErr err) {
    sMemError = err;
    return err;
}

// Pointers carry their size in a header in front of the bytes they give out.
struct alignas(std::max_align_t) PtrHeader {
    Size size;
};

PtrHeader* headerOf(Ptr p) { return reinterpret_cast<PtrHeader*>(p) - 1; }

}  // namespace

Handle NewHandle(Size byteCount) {
    if (byteCount < 0) {
        setMemError(paramErr);
        return nullptr;
    }
    auto* block = new (std::nothrow) HandleBlock{nullptr, byteCount};
    if (!block) {
        setMemError(memFullErr);
        return nullptr;
    }
    // A zero-length handle still has a valid (one-byte) block, so *h is never null.
    block->data = static_cast<char*>(std::malloc(byteCount > 0 ? byteCount : 1));
    if (!block->data) {
        delete block;
        setMemError(memFullErr);
        return nullptr;
    }
    setMemError(noErr);
    return &block->data;
}

Handle NewHandleClear(Size byteCount) {
    Handle h = NewHandle(byteCount);
    if (h && byteCount > 0) std::memset(*h, 0, byteCount);
    return h;
}

void DisposeHandle(Handle h) {
    if (!h) {
        setMemError(nilHandleErr);
        return;
    }
    HandleBlock* block = blockOf(h);
    std::free(block->data);
    delete block;
    setMemError(noErr);
}

Size GetHandleSize(Handle h) {
    if (!h) {
        setMemError(nilHandleErr);
        return 0;
    }
    setMemError(noErr);
    return blockOf(h)->size;
}

void SetHandleSize(Handle h, Size newSize) {
    if (!h) {
        setMemError(nilHandleErr);
        return;
    }
    if (newSize < 0) {
        setMemError(paramErr);
        return;
    }
    HandleBlock* block = blockOf(h);
    char* moved = static_cast<char*>(std::realloc(block->data, newSize > 0 ? newSize : 1));
    if (!moved) {
        setMemError(memFullErr);
        return;
    }
    block->data = moved;
    block->size = newSize;
    setMemError(noErr);
}

OSErr PtrToHand(const void* source, Handle* result, Size byteCount) {
    *result = NewHandle(byteCount);
    if (!*result) return MemError();
    if (byteCount > 0) std::memcpy(**result, source, byteCount);
    return noErr;
}

OSErr HandToHand(Handle* theHandle) {
    if (!theHandle || !*theHandle) return setMemError(nilHandleErr);
    Handle copy = nullptr;
    OSErr err = PtrToHand(**theHandle, &copy, GetHandleSize(*theHandle));
    if (err == noErr) *theHandle = copy;
    return err;
}

OSErr PtrAndHand(const void* source, Handle h, Size byteCount) {
    if (!h) return setMemError(nilHandleErr);
    Size old = GetHandleSize(h);
    SetHandleSize(h, old + byteCount);
    if (MemError() != noErr) return MemError();
    if (byteCount > 0) std::memcpy(*h + old, source, byteCount);
    return noErr;
}

void HLock(Handle) { setMemError(noErr); }
void HUnlock(Handle) { setMemError(noErr); }
void HLockHi(Handle) { setMemError(noErr); }

Ptr NewPtr(Size byteCount) {
    if (byteCount < 0) {
        setMemError(paramErr);
        return nullptr;
    }
    void* raw = std::malloc(sizeof(PtrHeader) + byteCount);
    if (!raw) {
        setMemError(memFullErr);
        return nullptr;
    }
    auto* header = static_cast<PtrHeader*>(raw);
    header->size = byteCount;
    setMemError(noErr);
    return reinterpret_cast<Ptr>(header + 1);
}

Ptr NewPtrClear(Size byteCount) {
    Ptr p = NewPtr(byteCount);
    if (p && byteCount > 0) std::memset(p, 0, byteCount);
    return p;
}

void DisposePtr(Ptr p) {
    if (p) std::free(headerOf(p));
    setMemError(noErr);
}

Size GetPtrSize(Ptr p) {
    if (!p) {
        setMemError(nilHandleErr);
        return 0;
    }
    setMemError(noErr);
    return headerOf(p)->size;
}

void SetPtrSize(Ptr p, Size newSize) {
    // A pointer's block cannot move, so only shrinking succeeds.
    if (!p) {
        setMemError(nilHandleErr);
        return;
    }
    if (newSize < 0 || newSize > headerOf(p)->size) {
        setMemError(memFullErr);
        return;
    }
    headerOf(p)->size = newSize;
    setMemError(noErr);
}

void BlockMoveData(const void* source, void* dest, Size byteCount) {
    if (byteCount > 0) std::memmove(dest, source, byteCount);
}

void BlockZero(void* dest, Size byteCount) {
    if (byteCount > 0) std::memset(dest, 0, byteCount);
}

OSErr MemError() { return sMemError; }
