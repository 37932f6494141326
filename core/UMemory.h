// Scope owners of Memory Manager handles and heap blocks, and byte-block comparison.
//
// The owners throw the Memory Manager error as an int where said. None is thread-safe.
#pragma once

#include <cstddef>

#include "platform/Carbon/MacMemory.h"
#include "platform/Carbon/MacTypes.h"

// Keeps a handle locked for a scope, unlocking only what it locked itself.
class StHandleLocker {
public:
    // Throws nilHandleErr for a null handle.
    explicit StHandleLocker(Handle handle);
    ~StHandleLocker() { RestoreLockState(); }
    StHandleLocker(const StHandleLocker&) = delete;
    StHandleLocker& operator=(const StHandleLocker&) = delete;

    // Restores the current handle, then locks the new one.
    void Adopt(Handle handle);
    void RestoreLockState();
    // Gives the handle up as it was found.
    Handle Release();

private:
    Handle fHandle{nullptr};
    bool fLockedHere{false};
};

// Owns a handle (unless told not to) and disposes it at the end of its scope.
class StHandleBlock {
public:
    // A new handle; when allocation fails the error is thrown if `throwFail`, else the block is null.
    explicit StHandleBlock(Size byteCount, bool throwFail = true, bool useTempMem = false);
    explicit StHandleBlock(Handle handle = nullptr, bool owned = true);
    // Duplicates the other's handle; throws on failure.
    StHandleBlock(const StHandleBlock& other);
    StHandleBlock& operator=(const StHandleBlock&) = delete;
    ~StHandleBlock() { Dispose(); }

    Handle Get() const { return fHandle; }
    operator Handle() const { return fHandle; }
    void Dispose();
    // Disposes the current handle when it differs, and owns the new one.
    void Adopt(Handle handle);
    // Owns a duplicate of the handle; throws on failure.
    void CopyAndAdopt(Handle handle);
    // A new duplicate the caller owns, null when there is no handle; throws on failure.
    Handle GetCopy() const;
    // Gives up ownership; the handle stays held here.
    Handle Release();
    // Resources are not kept in handles here, so this is always false.
    bool IsAResource() const { return false; }

private:
    Handle fHandle{nullptr};
    bool fOwned{false};
};

// Owns a heap block (unless told not to) and disposes it at the end of its scope.
class StPointerBlock {
public:
    explicit StPointerBlock(Size byteCount, bool throwFail = true, bool clearBytes = false);
    // Owned only when `owned` and the pointer is not null.
    explicit StPointerBlock(Ptr pointer = nullptr, bool owned = true);
    // Duplicates the block; throws the Memory Manager error (memFullErr when it gives none).
    StPointerBlock(const StPointerBlock& other);
    StPointerBlock& operator=(const StPointerBlock&) = delete;
    ~StPointerBlock() { Dispose(); }

    Ptr Get() const { return fPointer; }
    operator Ptr() const { return fPointer; }
    void Dispose();
    void Adopt(Ptr pointer);
    void CopyAndAdopt(Ptr pointer);
    Ptr Release();

private:
    Ptr fPointer{nullptr};
    bool fOwned{false};
};

// The difference of the first differing bytes as unsigned values, 0 when equal.
SInt32 BlockCompare(const void* first, const void* second, size_t length);
// The same over the shorter length; when equal there, first length minus second length.
SInt32 BlockCompare(const void* first, const void* second, size_t firstLength, size_t secondLength);
