// A stream over a growable memory block (a Memory Manager handle) that the stream owns.
#pragma once

#include "core/streams/TStream.h"

class THandleStream : public TStream {
public:
    THandleStream() = default;
    // Takes ownership of the block; the length is its size and the marker 0.
    explicit THandleStream(Handle block);
    // Duplicate the other's block; a duplication error is thrown.
    THandleStream(const THandleStream& other);
    THandleStream& operator=(const THandleStream& other);
    ~THandleStream() override;

    // Resizes the block (creating it when there is none); a memory error is thrown.
    void SetLength(SInt64 length) override;
    // Grows the block to exactly marker + count when needed. A block that cannot grow takes
    // what fits within the old length, and the error is returned.
    OSStatus PutBytes(const void* buffer, SInt32& count) override;
    // A read past the end delivers what there is, cuts the count and returns readErr.
    OSStatus GetBytes(void* buffer, SInt32& count) override;

    Handle GetDataHandle() const { return fDataHandle; }
    // Frees the old block and adopts this one (may be null): length its size, marker 0.
    void SetDataHandle(Handle block);
    // Gives the block to the caller, who then owns it; the stream is left empty.
    Handle DetachDataHandle();

private:
    Handle fDataHandle{nullptr};
};
