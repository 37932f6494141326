#include "core/ULineReaders.h"

#include <sys/types.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string_view>

#include "core/streams/TStream.h"

namespace {

constexpr bool IsLineEnd(int c) {
    return c == '\r' || c == '\n';
}

// Byte sources for the line reader: get() answers the next byte or EOF, unget(c) gives back
// the byte get() answered last (EOF gives back nothing).
class TextSource {
public:
    explicit TextSource(const char*& text) : fText(text) {}
    int get() { return *fText ? static_cast<unsigned char>(*fText++) : EOF; }
    void unget(int c) {
        if (c != EOF) --fText;
    }

private:
    const char*& fText;
};

class FileSource {
public:
    explicit FileSource(std::FILE* file) : fFile(file) {}
    int get() { return std::getc(fFile); }
    void unget(int c) { std::ungetc(c, fFile); }

private:
    std::FILE* fFile;
};

// Reads the stream in blocks; finish() puts the marker right after the bytes taken, which
// pushes back what was read ahead.
class StreamSource {
public:
    explicit StreamSource(TStream& stream) : fStream(stream), fStart(stream.GetMarker()) {}
    int get() {
        if (fNext == fCount) {
            SInt32 count = sizeof fBlock;
            fStream.GetBytes(fBlock, count);
            fCount = std::max<SInt32>(count, 0);
            fNext = 0;
            if (fCount == 0) return EOF;
        }
        ++fTaken;
        return fBlock[fNext++];
    }
    void unget(int c) {
        if (c == EOF) return;
        --fNext;
        --fTaken;
    }
    void finish() { fStream.SetMarker(fStart + fTaken, kStreamFromStart); }

private:
    TStream& fStream;
    SInt64 fStart;
    SInt64 fTaken{0};
    unsigned char fBlock[512];
    SInt32 fCount{0};
    SInt32 fNext{0};
};

// The line reader all sources share. `complete` tells whether the whole line fitted.
template <class Source>
bool ReadLineFrom(Source& source, char* buffer, size_t size, size_t& length, bool& complete) {
    length = 0;
    complete = false;
    if (!buffer || size < 2) {
        if (buffer && size) buffer[0] = '\0';
        return false;
    }
    int c = source.get();
    while (IsLineEnd(c)) c = source.get();
    if (c == EOF) {
        buffer[0] = '\0';
        return false;
    }
    while (c != EOF && !IsLineEnd(c) && length < size - 1) {
        buffer[length++] = static_cast<char>(c);
        c = source.get();
    }
    complete = c == EOF || IsLineEnd(c);
    while (IsLineEnd(c)) c = source.get();
    source.unget(c);
    buffer[length] = '\0';
    return true;
}

// How many of `count` bytes read make whole lines; `atEnd` when nothing follows them.
size_t CompleteLinesLength(const char* data, size_t count, bool atEnd) {
    if (atEnd || count == 0) return count;
    for (size_t i = count; i-- > 0;)
        if (data[i] == '\n' || (data[i] == '\r' && i + 1 < count)) return i + 1;
    // One line longer than the chunk: keep it, but leave a final CR to meet its LF.
    if (count > 1 && data[count - 1] == '\r') return count - 1;
    return count;
}

SInt32 StreamCount(size_t size) {
    return static_cast<SInt32>(std::min<size_t>(size - 1, INT32_MAX));
}

}  // namespace

bool ReadLine(const char*& text, char* buffer, size_t size) {
    if (!text) {
        if (buffer && size) buffer[0] = '\0';
        return false;
    }
    TextSource source(text);
    size_t length = 0;
    bool complete = false;
    return ReadLineFrom(source, buffer, size, length, complete);
}

bool ReadLineFromFile(std::FILE* file, char* buffer, size_t size) {
    size_t length = 0;
    return ReadBinaryLine(file, buffer, size, length);
}

bool ReadBinaryLine(std::FILE* file, char* buffer, size_t size, size_t& length) {
    length = 0;
    if (!file) {
        if (buffer && size) buffer[0] = '\0';
        return false;
    }
    FileSource source(file);
    bool complete = false;
    return ReadLineFrom(source, buffer, size, length, complete);
}

bool ReadLineFromStream(TStream& stream, char* buffer, size_t size) {
    StreamSource source(stream);
    size_t length = 0;
    bool complete = false;
    const bool read = ReadLineFrom(source, buffer, size, length, complete);
    source.finish();
    return read && !(complete && length == 1 && buffer[0] == '.');
}

bool ReadResponseFromStream(TStream& stream, char* buffer, size_t size) {
    if (!buffer || size < 2) {
        if (buffer && size) buffer[0] = '\0';
        return false;
    }
    const SInt64 start = stream.GetMarker();
    bool atLineStart = start == 0;
    if (!atLineStart) {
        char previous = 0;
        stream.SetMarker(start - 1, kStreamFromStart);
        SInt32 one = 1;
        stream.GetBytes(&previous, one);
        atLineStart = one == 1 && previous == '\n';
        stream.SetMarker(start, kStreamFromStart);
    }
    // Read an end line's length beyond what the buffer holds, so that one starting right after
    // the text that fits is seen.
    constexpr std::string_view kEnd = "\r\n.\r\n";
    const size_t capacity = std::min<size_t>(size - 1, INT32_MAX - kEnd.size());
    std::string ahead(capacity + kEnd.size(), '\0');
    SInt32 count = static_cast<SInt32>(ahead.size());
    stream.GetBytes(ahead.data(), count);
    const std::string_view text(ahead.data(), static_cast<size_t>(std::max<SInt32>(count, 0)));

    size_t length = std::min(text.size(), capacity);
    size_t after = length;
    bool ended = false;
    if (atLineStart && text.starts_with(kEnd.substr(2))) {
        length = 0;
        after = 3;
        ended = true;
    } else if (const size_t found = text.find(kEnd); found <= capacity) {
        length = found;
        after = found + kEnd.size();
        ended = true;
    }
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
    stream.SetMarker(start + static_cast<SInt64>(after), kStreamFromStart);
    return ended;
}

size_t ReadChunkFromFile(std::FILE* file, char* buffer, size_t size) {
    if (!file || !buffer || size < 2) {
        if (buffer && size) buffer[0] = '\0';
        return 0;
    }
    const size_t count = std::fread(buffer, 1, size - 1, file);
    bool atEnd = count < size - 1;
    if (!atEnd) {
        const int next = std::getc(file);
        atEnd = next == EOF;
        std::ungetc(next, file);
    }
    size_t keep = CompleteLinesLength(buffer, count, atEnd);
    if (keep < count && fseeko(file, -static_cast<off_t>(count - keep), SEEK_CUR) != 0) keep = count;
    buffer[keep] = '\0';
    return keep;
}

size_t ReadChunkFromStream(TStream& stream, char* buffer, size_t size) {
    if (!buffer || size < 2) {
        if (buffer && size) buffer[0] = '\0';
        return 0;
    }
    const SInt64 start = stream.GetMarker();
    SInt32 count = StreamCount(size);
    stream.GetBytes(buffer, count);
    const size_t read = static_cast<size_t>(std::max<SInt32>(count, 0));
    const size_t keep = CompleteLinesLength(buffer, read, start + count >= stream.GetLength());
    stream.SetMarker(start + static_cast<SInt64>(keep), kStreamFromStart);
    buffer[keep] = '\0';
    return keep;
}

OSStatus ReadChunkFromFileRefNum(FSIORefNum forkRefNum, char* buffer, ByteCount size, ByteCount* actual) {
    if (actual) *actual = 0;
    if (!buffer || size < 2 || !actual) return paramErr;
    buffer[0] = '\0';
    SInt64 start = 0;
    if (OSStatus err = FSGetForkPosition(forkRefNum, &start)) return err;
    ByteCount count = 0;
    const OSStatus read = FSReadFork(forkRefNum, fsAtMark, 0, size - 1, buffer, &count);
    if (read != noErr && read != eofErr) return read;
    if (count == 0) return eofErr;
    SInt64 forkSize = 0;
    if (OSStatus err = FSGetForkSize(forkRefNum, &forkSize)) return err;
    const size_t keep = CompleteLinesLength(buffer, count, start + static_cast<SInt64>(count) >= forkSize);
    if (OSStatus err = FSSetForkPosition(forkRefNum, fsFromStart, start + static_cast<SInt64>(keep)))
        return err;
    buffer[keep] = '\0';
    *actual = keep;
    return noErr;
}

OSStatus ReadLinesFromFileRefNum(FSIORefNum forkRefNum, ByteCount size, std::vector<std::string>& lines) {
    lines.clear();
    if (size < 2) return paramErr;
    std::string chunk(size, '\0');
    ByteCount actual = 0;
    if (OSStatus err = ReadChunkFromFileRefNum(forkRefNum, chunk.data(), size, &actual)) return err;
    const std::string_view text(chunk.data(), actual);
    size_t begin = 0;
    while (begin < text.size()) {
        begin = text.find_first_not_of("\r\n", begin);
        if (begin == std::string_view::npos) break;
        const size_t end = std::min(text.find_first_of("\r\n", begin), text.size());
        lines.emplace_back(text.substr(begin, end - begin));
        begin = end;
    }
    return noErr;
}

OSStatus GetNewLineOffset(FSIORefNum forkRefNum, SInt64* offset) {
    if (!offset) return paramErr;
    SInt64 start = 0;
    if (OSStatus err = FSGetForkPosition(forkRefNum, &start)) return err;
    char block[512];
    SInt64 position = start;
    OSStatus result = eofErr;
    for (;;) {
        ByteCount count = 0;
        const OSStatus read = FSReadFork(forkRefNum, fsFromStart, position, sizeof block, block, &count);
        if (read != noErr && read != eofErr) {
            result = read;
            break;
        }
        if (const void* lf = std::memchr(block, '\n', count)) {
            *offset = position + (static_cast<const char*>(lf) - block) + 1;
            result = noErr;
            break;
        }
        position += static_cast<SInt64>(count);
        if (count < sizeof block) {
            *offset = position;
            break;
        }
    }
    FSSetForkPosition(forkRefNum, fsFromStart, start);
    return result;
}
