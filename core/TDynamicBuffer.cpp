#include "core/TDynamicBuffer.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "platform/Carbon/MacMemory.h"

namespace {

// Bytes moved per pass when copying between streams.
constexpr SInt64 kScratchSize = 0x10000;

}  // namespace

TDynamicBuffer::TDynamicBuffer(SInt32 presize) {
    if (presize != 0) CheckStreamSize(presize);
}

TDynamicBuffer::TDynamicBuffer(const char* text) {
    if (text && *text) ConcatenateBuffer(text, static_cast<SInt32>(std::strlen(text)));
}

TDynamicBuffer::TDynamicBuffer(const void* bytes, SInt32 count) {
    ConcatenateBuffer(bytes, count);
}

TDynamicBuffer::TDynamicBuffer(TStream* stream, SInt32 count) {
    ConcatenateBuffer(stream, count);
}

TDynamicBuffer::TDynamicBuffer(const TDynamicBuffer& other) : fLimit(other.fLimit) {
    if (other.fStream) ConcatenateBuffer(other.fStream, -1);
}

TDynamicBuffer::~TDynamicBuffer() = default;

void TDynamicBuffer::InitMembers() {
    fStream = nullptr;
    fHandleStream = nullptr;
    fTempFileStream = nullptr;
    fOwnsStream = true;
}

void TDynamicBuffer::ResetBuffer() {
    fOwnedStream.reset();
    InitMembers();
}

void TDynamicBuffer::Classify() {
    fHandleStream = dynamic_cast<THandleStream*>(fStream);
    fTempFileStream = dynamic_cast<TTemporaryFileStream*>(fStream);
}

void TDynamicBuffer::AdoptOwned(std::unique_ptr<TStream> stream) {
    fOwnedStream = std::move(stream);
    fStream = fOwnedStream.get();
    fOwnsStream = true;
    Classify();
}

void TDynamicBuffer::AdoptStreamOf(TDynamicBuffer& other) {
    ResetBuffer();
    fOwnedStream = std::move(other.fOwnedStream);
    fStream = other.fStream;
    fOwnsStream = other.fOwnsStream;
    Classify();
    other.InitMembers();
}

TStream* TDynamicBuffer::GetBufferStream() {
    if (!fStream) CheckStreamSize(0);
    return fStream;
}

bool TDynamicBuffer::GetBufferHandle(Handle& handle) {
    if (!fHandleStream) return false;
    // An adopted stream may have no block yet: in memory means a block, if only an empty one.
    if (!fHandleStream->GetDataHandle()) {
        try {
            fHandleStream->SetLength(0);
        } catch (int) {
            return false;
        }
    }
    handle = fHandleStream->GetDataHandle();
    return handle != nullptr;
}

bool TDynamicBuffer::GetBufferFile(FSRef& fileRef) {
    if (!fTempFileStream) return false;
    fTempFileStream->GetFile(fileRef);
    return true;
}

Handle TDynamicBuffer::GetBufferDataH(SInt32 maxCount) {
    SInt64 length = fStream ? fStream->GetLength() : 0;
    SInt64 n = (maxCount != 0 && maxCount <= length) ? maxCount : length;
    UniqueHandle block(NewHandle(static_cast<Size>(n)));
    if (!block) return nullptr;
    if (n > 0) {
        fStream->SetMarker(0, kStreamFromStart);
        fStream->ReadData(*block.get(), static_cast<SInt32>(n));
    }
    return block.release();
}

bool TDynamicBuffer::BufferToHandle(Handle handle, SInt32 maxCount, bool terminate) {
    if (!handle) return false;
    SInt64 length = fStream ? fStream->GetLength() : 0;
    SInt64 n = (maxCount != 0 && maxCount <= length) ? maxCount : length;
    SetHandleSize(handle, static_cast<Size>(n + (terminate ? 1 : 0)));
    if (MemError() != noErr) return false;
    if (n > 0) {
        fStream->SetMarker(0, kStreamFromStart);
        fStream->ReadData(*handle, static_cast<SInt32>(n));
    }
    if (terminate) (*handle)[n] = '\0';
    return true;
}

void TDynamicBuffer::BufferToFile(TFile& file) {
    if (!fStream) return;
    fStream->SetMarker(0, kStreamFromStart);
    SInt64 length = fStream->GetLength();
    file.OpenFile(fsRdWrPerm);
    try {
        Handle block = nullptr;
        if (GetBufferHandle(block)) {
            file.WriteFile(*block, static_cast<SInt32>(length));
        } else {
            file.WriteFile(nullptr, 0);
            std::vector<char> scratch(static_cast<size_t>(std::min(length, kScratchSize)));
            for (SInt64 done = 0; done < length;) {
                SInt32 got = fStream->ReadData(
                    scratch.data(), static_cast<SInt32>(std::min<SInt64>(length - done, kScratchSize)));
                if (got <= 0) break;
                file.AppendFile(scratch.data(), got);
                done += got;
            }
        }
    } catch (...) {
        try {
            file.CloseFile();
        } catch (...) {
        }
        throw;
    }
    file.CloseFile();
}

void TDynamicBuffer::SetStream(TStream* stream, bool owns) {
    if (stream && stream == fStream) {
        // Already the stream: only the ownership changes.
        if (owns && !fOwnsStream) fOwnedStream.reset(stream);
        if (!owns && fOwnsStream) static_cast<void>(fOwnedStream.release());
        fOwnsStream = owns;
        return;
    }
    ResetBuffer();
    if (owns) fOwnedStream.reset(stream);
    fStream = stream;
    fOwnsStream = owns;
    Classify();
}

void TDynamicBuffer::SetBuffer(const void* bytes, SInt32 count) {
    ResetBuffer();
    ConcatenateBuffer(bytes, count);
}

void TDynamicBuffer::SetBuffer(TStream* stream, SInt32 count) {
    if (stream && stream == fStream) {
        // The source would be deleted by the reset: keep its bytes first.
        TDynamicBuffer copy(*this);
        copy.SetLimit(fLimit);
        AdoptStreamOf(copy);
        return;
    }
    ResetBuffer();
    ConcatenateBuffer(stream, count);
}

void TDynamicBuffer::SetBuffer(const TDynamicBuffer* buffer) {
    if (buffer == this) return;
    ResetBuffer();
    ConcatenateBuffer(buffer);
}

void TDynamicBuffer::CheckStreamSize(SInt64 add) {
    if (fTempFileStream) return;
    SInt64 need = (fStream ? fStream->GetLength() : 0) + add;
    if (!fStream) {
        if (need > fLimit) {
            AdoptOwned(std::make_unique<TTemporaryFileStream>());
        } else {
            auto memory = std::make_unique<THandleStream>();
            memory->SetLength(0);  // an empty block, so the handle is never null in memory
            AdoptOwned(std::move(memory));
        }
    } else if (fHandleStream && need > fLimit) {
        auto file = std::make_unique<TTemporaryFileStream>();
        if (Handle block = fHandleStream->GetDataHandle())
            file->WriteBlock(*block, static_cast<SInt32>(fHandleStream->GetLength()));
        // A memory stream the caller handed in stays with the caller.
        AdoptOwned(std::move(file));
    }
}

void TDynamicBuffer::ConcatenateBuffer(const void* bytes, SInt32 count) {
    if (!bytes) return;
    if (count < 0) count = 0;
    CheckStreamSize(count);
    fStream->SetMarker(0, kStreamFromEnd);
    SInt32 written = count;
    OSStatus err = fStream->PutBytes(bytes, written);
    if (err != noErr && written < count) throw static_cast<int>(err);
}

void TDynamicBuffer::ConcatenateBuffer(const TDynamicBuffer* buffer) {
    if (!buffer || !buffer->fStream) return;
    ConcatenateBuffer(buffer->fStream, -1);
}

void TDynamicBuffer::ConcatenateBuffer(TStream* stream, SInt32 count) {
    if (!stream) return;
    SInt64 wanted = count;
    if (count < 0) {
        stream->SetMarker(0, kStreamFromStart);
        wanted = stream->GetLength();
    }
    if (stream == fStream) {
        // Appending to itself: read the bytes before the stream grows under the reader.
        std::vector<char> bytes(static_cast<size_t>(
            std::max<SInt64>(0, std::min(wanted, stream->GetLength() - stream->GetMarker()))));
        SInt32 got = bytes.empty() ? 0 : stream->ReadData(bytes.data(), static_cast<SInt32>(bytes.size()));
        ConcatenateBuffer(bytes.data(), got);
        return;
    }
    CheckStreamSize(wanted);
    fStream->SetMarker(0, kStreamFromEnd);
    if (wanted <= 0) return;
    if (fHandleStream) {
        SInt64 oldLength = fHandleStream->GetLength();
        fHandleStream->SetLength(oldLength + wanted);
        SInt32 got =
            stream->ReadData(*fHandleStream->GetDataHandle() + oldLength, static_cast<SInt32>(wanted));
        // The length follows what the source gave.
        if (got < wanted) fHandleStream->SetLength(oldLength + std::max<SInt32>(got, 0));
    } else {
        CopyFromStream(stream, wanted);
    }
}

void TDynamicBuffer::CopyFromStream(TStream* source, SInt64 count) {
    std::vector<char> scratch(static_cast<size_t>(std::min(count, kScratchSize)));
    for (SInt64 moved = 0; moved < count;) {
        SInt32 got =
            source->ReadData(scratch.data(), static_cast<SInt32>(std::min(count - moved, kScratchSize)));
        if (got <= 0) break;
        fStream->WriteBlock(scratch.data(), got);
        moved += got;
    }
}

void TDynamicBuffer::PrependBuffer(const void* bytes, SInt32 count) {
    if (!bytes || count <= 0) return;
    TDynamicBuffer fresh;
    fresh.SetLimit(fLimit);
    fresh.ConcatenateBuffer(bytes, count);
    if (fStream) fresh.ConcatenateBuffer(fStream, -1);
    AdoptStreamOf(fresh);
}

void TDynamicBuffer::InsertBuffer(const void* bytes, SInt32 position, SInt32 count) {
    if (!bytes || count <= 0) return;
    SInt64 length = fStream ? fStream->GetLength() : 0;
    if (!fStream || position >= length) {
        ConcatenateBuffer(bytes, count);
        return;
    }
    position = std::max<SInt32>(position, 0);
    TDynamicBuffer fresh;
    fresh.SetLimit(fLimit);
    fStream->SetMarker(0, kStreamFromStart);
    fresh.ConcatenateBuffer(fStream, position);
    fresh.ConcatenateBuffer(bytes, count);
    fStream->SetMarker(position, kStreamFromStart);
    fresh.ConcatenateBuffer(fStream, static_cast<SInt32>(length - position));
    AdoptStreamOf(fresh);
}

void TDynamicBuffer::RemoveFromBuffer(SInt32 position, SInt32 count) {
    if (!fStream || position < 0 || count <= 0) return;
    SInt64 length = fStream->GetLength();
    if (position >= length) return;
    SInt64 cut = std::min<SInt64>(count, length - position);
    if (fHandleStream) {
        char* data = *fHandleStream->GetDataHandle();
        std::memmove(data + position, data + position + cut, static_cast<size_t>(length - position - cut));
        fHandleStream->SetLength(length - cut);
        return;
    }
    TDynamicBuffer fresh;
    fresh.SetLimit(fLimit);
    fStream->SetMarker(0, kStreamFromStart);
    fresh.ConcatenateBuffer(fStream, position);
    fStream->SetMarker(position + cut, kStreamFromStart);
    fresh.ConcatenateBuffer(fStream, static_cast<SInt32>(length - position - cut));
    AdoptStreamOf(fresh);
}

template <typename Transform>
void TDynamicBuffer::TransformBytes(Transform transform) {
    if (!fStream) return;
    SInt64 length = fStream->GetLength();
    auto apply = [&](char* bytes, SInt64 count) {
        for (SInt64 i = 0; i < count; ++i)
            bytes[i] = static_cast<char>(transform(static_cast<unsigned char>(bytes[i])));
    };
    if (fHandleStream) {
        if (Handle block = fHandleStream->GetDataHandle()) apply(*block, length);
        return;
    }
    std::vector<char> scratch(static_cast<size_t>(std::min(length, kScratchSize)));
    for (SInt64 done = 0; done < length;) {
        fStream->SetMarker(done, kStreamFromStart);
        SInt32 got =
            fStream->ReadData(scratch.data(), static_cast<SInt32>(std::min(length - done, kScratchSize)));
        if (got <= 0) break;
        apply(scratch.data(), got);
        fStream->SetMarker(done, kStreamFromStart);
        fStream->WriteBlock(scratch.data(), got);
        done += got;
    }
}

void TDynamicBuffer::LowerBuffer() {
    TransformBytes([](unsigned char c) { return std::tolower(c); });
}

void TDynamicBuffer::UpperBuffer() {
    TransformBytes([](unsigned char c) { return std::toupper(c); });
}
