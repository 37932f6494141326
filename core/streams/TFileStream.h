// A stream over an open file's data fork: the marker is the fork's mark, the length its size.
//
// Marker and length operations throw the file system's error as an `int`; raw transfers return
// it (eofErr for a read past the end). Not thread-safe.
#pragma once

#include "core/streams/TFile.h"
#include "core/streams/TStream.h"

class TFileStream : public TFile, public TStream {
public:
    TFileStream() = default;
    explicit TFileStream(const FSRef& fileRef) : TFile(fileRef) {}
    TFileStream(AliasHandle alias, bool& wasChanged, const FSRef* relativeTo = nullptr)
        : TFile(alias, wasChanged, relativeTo) {}

    void SetMarker(SInt64 offset, EStreamPositionMode mode) override;
    SInt64 GetMarker() const override;
    void SetLength(SInt64 length) override;
    SInt64 GetLength() const override;
    OSStatus PutBytes(const void* buffer, SInt32& count) override;
    OSStatus GetBytes(void* buffer, SInt32& count) override;
};
