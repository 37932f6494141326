// The base of the MIME part encoders: turns the contents of a file, named by a file URL, into
// the body of a part, one output buffer at a time.
//
// Errors are thrown as an `int`: kEncoderNoFileErr for a missing URL or file, the open error
// otherwise. Not thread-safe.
#pragma once

#include <string>
#include <vector>

#include "core/UFileUtilities.h"
#include "platform/Carbon/MacTypes.h"

constexpr int kEncoderNoFileErr = static_cast<int>(fourCC("nilP"));

class CEncoder {
public:
    // `url` is a "file://" URL.
    explicit CEncoder(const std::string& url);
    CEncoder(const CEncoder&) = delete;
    CEncoder& operator=(const CEncoder&) = delete;
    virtual ~CEncoder();

    // Opens the file; returns the bytes left to encode.
    virtual SInt32 PreEncode();
    // Closes the file and zeroes the counts; returns 0.
    virtual SInt32 PostEncode();
    // The file's size from its path, 0 when it cannot be read.
    virtual SInt32 GetRawSize();
    // The room that holds everything Encode writes for the bytes left.
    virtual SInt32 GetEncodedSize() = 0;
    virtual const char* GetContentTransferEncoding() = 0;
    // Null: the encoders leave the content type to their caller.
    virtual const char* GetContentType();
    // Writes whole lines into `out`, never more than `room` bytes; returns the bytes written.
    virtual SInt32 Encode(char* out, SInt32 room) = 0;
    virtual SInt32 BeginPart(char* out, SInt32 room);
    virtual SInt32 EndPart(char* out, SInt32 room);
    virtual const char* GetCharSet();
    virtual void SetArticle(void* article);

    void SetURL(const std::string& url);
    const std::string& GetURL() const { return fURL; }
    void OpenFile();
    void CloseFile();
    void ReadFileInfo();
    // Reads up to `count` bytes at the file position; returns the number read.
    SInt32 ReadData(void* buffer, SInt32 count);
    // The Base64 size of n bytes in lines of `lineLength` with their line breaks.
    static SInt32 Base64Length(SInt32 n, SInt32 lineLength);

    SInt32 GetBytesLeft() const { return fBytesLeft; }

protected:
    // Steps back over at most the last 256 bytes that ReadData gave.
    void UnreadData(SInt32 count);
    // Moves the file to an offset from its start.
    void SeekData(SInt32 offset);

    std::string fURL;
    SInt16 fVolume{0};
    SInt32 fStartOffset{0};
    UniqueFile fFile;
    SInt32 fFileLength{0};
    bool fHasFileInfo{false};
    SInt64 fFileSize{0};
    SInt32 fBytesAfterOffset{0};
    SInt32 fBytesLeft{0};
    void* fArticle{nullptr};

private:
    // Read-ahead of the file; the bytes before fBufferPos are kept across refills for UnreadData.
    std::vector<unsigned char> fBuffer;
    size_t fBufferPos{0};
    size_t fBufferEnd{0};
};
