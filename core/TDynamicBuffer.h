// A growable byte buffer that keeps its contents in memory while they are small and moves them,
// once and for good, to a temporary file when they would exceed its limit (0x40000 bytes unless
// set otherwise). Prepend, insert and remove on file contents rebuild the contents in a fresh
// stream, which may be in memory again when the result fits.
//
// Not thread-safe. Copying appends the source's whole contents; assignment is not offered.
#pragma once

#include <memory>

#include "core/streams/THandleStream.h"
#include "core/streams/TTemporaryFileStream.h"

class TDynamicBuffer {
public:
    static constexpr SInt32 kDefaultLimit = 0x40000;

    // A nonzero presize creates the backing stream (in a file when it exceeds the limit).
    explicit TDynamicBuffer(SInt32 presize = 0);
    explicit TDynamicBuffer(const char* text);
    TDynamicBuffer(const void* bytes, SInt32 count);
    TDynamicBuffer(TStream* stream, SInt32 count);
    TDynamicBuffer(const TDynamicBuffer& other);
    TDynamicBuffer& operator=(const TDynamicBuffer&) = delete;
    virtual ~TDynamicBuffer();

    // Deletes an owned stream (and so a temporary file) and leaves the buffer empty.
    virtual void ResetBuffer();
    // The current stream, an empty memory stream when there was none.
    virtual TStream* GetBufferStream();
    // True with the memory block while the contents are in memory.
    virtual bool GetBufferHandle(Handle& handle);
    // True with the temporary file's reference once the contents are in a file.
    virtual bool GetBufferFile(FSRef& fileRef);
    // A new handle (the caller owns it) of the first maxCount bytes, or of everything when
    // maxCount is 0 or above the length; null when memory cannot be had.
    virtual Handle GetBufferDataH(SInt32 maxCount = 0);
    // Resizes the caller's handle to those bytes (plus a zero byte when `terminate`) and copies
    // them; false when the handle cannot be resized.
    virtual bool BufferToHandle(Handle handle, SInt32 maxCount, bool terminate);
    // Replaces the file's contents with the buffer's (opens and closes the file); errors thrown.
    virtual void BufferToFile(TFile& file);
    // Adopts a stream; with `owns` it is deleted (with `delete`) when the buffer lets it go.
    // A stream the buffer does not own is left to its owner, also when the contents spill.
    virtual void SetStream(TStream* stream, bool owns);
    virtual void SetBuffer(const void* bytes, SInt32 count);
    virtual void SetBuffer(TStream* stream, SInt32 count);
    virtual void SetBuffer(const TDynamicBuffer* buffer);
    // Appends; a short write throws its error as an `int`.
    virtual void ConcatenateBuffer(const void* bytes, SInt32 count);
    virtual void ConcatenateBuffer(const TDynamicBuffer* buffer);
    // Appends `count` bytes read from the stream's marker, or its whole contents from its start
    // when `count` is negative. A source that runs dry appends only what it gave.
    virtual void ConcatenateBuffer(TStream* stream, SInt32 count);
    // Both do nothing for null bytes or a count of 0; data starting with a zero byte is kept.
    virtual void PrependBuffer(const void* bytes, SInt32 count);
    // At or beyond the end this appends.
    virtual void InsertBuffer(const void* bytes, SInt32 position, SInt32 count);
    // The count is cut at the end; a position at or beyond the end changes nothing.
    virtual void RemoveFromBuffer(SInt32 position, SInt32 count);
    virtual void LowerBuffer();
    virtual void UpperBuffer();
    // Makes room for `add` more bytes: creates the stream, or moves memory contents to a file
    // when they would exceed the limit. Once in a file the contents stay there.
    virtual void CheckStreamSize(SInt64 add);
    virtual void InitMembers();

    bool IsTempFileStream() const { return fTempFileStream != nullptr; }
    bool IsHandleFileStream() const { return fHandleStream != nullptr; }
    THandleStream* GetHandleStream() const { return fHandleStream; }
    TTemporaryFileStream* GetTempFileStream() const { return fTempFileStream; }

    // The size beyond which the contents move to a file; takes effect at the next growth.
    SInt32 GetLimit() const { return fLimit; }
    void SetLimit(SInt32 limit) { fLimit = limit; }

private:
    void AdoptOwned(std::unique_ptr<TStream> stream);
    // Takes the other buffer's stream and ownership; the other is left empty.
    void AdoptStreamOf(TDynamicBuffer& other);
    void Classify();
    // Appends `count` bytes from the source's marker through a scratch buffer; stops when the
    // source gives nothing.
    void CopyFromStream(TStream* source, SInt64 count);
    template <typename Transform>
    void TransformBytes(Transform transform);

    SInt32 fLimit{kDefaultLimit};
    TStream* fStream{nullptr};
    THandleStream* fHandleStream{nullptr};
    TTemporaryFileStream* fTempFileStream{nullptr};
    // Holds fStream when the buffer owns it.
    std::unique_ptr<TStream> fOwnedStream;
    bool fOwnsStream{true};
};
