#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "TestFolder.h"
#include "core/ULineReaders.h"
#include "core/streams/TFileStream.h"
#include "core/streams/THandleStream.h"
#include "platform/Carbon/MacMemory.h"

namespace {

using Lines = std::vector<std::string>;

THandleStream StreamOf(const std::string& bytes) {
    Handle block = NewHandle(static_cast<Size>(bytes.size()));
    if (!bytes.empty()) std::memcpy(*block, bytes.data(), bytes.size());
    return THandleStream(block);
}

// A C file holding the bytes, positioned at the start; closed at the end of the scope.
struct TempFile {
    explicit TempFile(const std::string& bytes) : file(std::tmpfile()) {
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::rewind(file);
    }
    ~TempFile() { std::fclose(file); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    std::FILE* file;
};

// An open fork on a file holding the bytes.
struct TempFork {
    explicit TempFork(const std::string& bytes) {
        std::ofstream(folder / "data", std::ios::binary) << bytes;
        FSRef ref;
        FSPathMakeRef(folder / "data", &ref);
        FSOpenFork(&ref, fsRdPerm, &refNum);
    }
    ~TempFork() { FSCloseFork(refNum); }
    TempFork(const TempFork&) = delete;
    TempFork& operator=(const TempFork&) = delete;
    TestFolder folder;
    FSIORefNum refNum{-1};
};

struct LineCase {
    const char* name;
    std::string input;
    size_t bufferSize;
    Lines lines;
};

const LineCase kLineCases[] = {
    {"LF", "one\ntwo\n", 16, {"one", "two"}},
    {"CR", "one\rtwo\r", 16, {"one", "two"}},
    {"CR LF", "one\r\ntwo\r\n", 16, {"one", "two"}},
    {"mixed ends", "a\rb\nc\r\nd\n\re", 16, {"a", "b", "c", "d", "e"}},
    {"no end at the last line", "one\ntwo", 16, {"one", "two"}},
    {"empty lines are skipped", "\n\none\r\n\r\n\ntwo\n\n", 16, {"one", "two"}},
    {"nothing", "", 16, {}},
    {"only line ends", "\r\n\r\n", 16, {}},
    {"line longer than the buffer", "0123456789abcdefXYZ\nok", 8, {"0123456", "789abcd", "efXYZ", "ok"}},
    {"line that just fills the buffer", "1234567\r\nnext", 8, {"1234567", "next"}},
    {"CR LF across the stream's read-ahead",
     std::string(511, 'x') + "\r\nnext",
     1024,
     {std::string(511, 'x'), "next"}},
};

template <class Read>
Lines ReadAll(Read read, size_t bufferSize) {
    Lines lines;
    std::vector<char> buffer(bufferSize, '#');
    while (read(buffer.data(), bufferSize)) {
        lines.emplace_back(buffer.data());
        if (lines.size() > 100) break;  // a reader that stops advancing
    }
    return lines;
}

}  // namespace

TEST(LineReaders, SplitLinesAlikeFromEverySource) {
    for (const LineCase& c : kLineCases) {
        const char* text = c.input.c_str();
        EXPECT_EQ(ReadAll([&](char* b, size_t n) { return ReadLine(text, b, n); }, c.bufferSize), c.lines)
            << "memory: " << c.name;

        TempFile file(c.input);
        EXPECT_EQ(ReadAll([&](char* b, size_t n) { return ReadLineFromFile(file.file, b, n); }, c.bufferSize),
                  c.lines)
            << "C file: " << c.name;

        THandleStream stream = StreamOf(c.input);
        EXPECT_EQ(ReadAll([&](char* b, size_t n) { return ReadLineFromStream(stream, b, n); }, c.bufferSize),
                  c.lines)
            << "stream: " << c.name;
        EXPECT_EQ(stream.GetMarker(), stream.GetLength()) << "stream: " << c.name;

        TestFolder folder;
        std::ofstream(folder / "lines", std::ios::binary) << c.input;
        FSRef ref;
        ASSERT_EQ(FSPathMakeRef(folder / "lines", &ref), noErr);
        TFileStream fileStream(ref);
        fileStream.OpenFile(fsRdPerm);
        EXPECT_EQ(
            ReadAll([&](char* b, size_t n) { return ReadLineFromStream(fileStream, b, n); }, c.bufferSize),
            c.lines)
            << "file stream: " << c.name;
    }
}

TEST(LineReaders, BinaryLinesKeepNulBytesAndTinyBuffersReadNothing) {
    TempFile file(std::string("a\0b\nc", 5));
    char buffer[8];
    size_t length = 0;
    ASSERT_TRUE(ReadBinaryLine(file.file, buffer, sizeof buffer, length));
    EXPECT_EQ(std::string(buffer, length), std::string("a\0b", 3));
    EXPECT_FALSE(ReadLineFromFile(file.file, buffer, 1)) << "no room for a byte and its NUL";
    ASSERT_TRUE(ReadBinaryLine(file.file, buffer, sizeof buffer, length));
    EXPECT_EQ(std::string(buffer, length), "c");
    EXPECT_FALSE(ReadBinaryLine(file.file, buffer, sizeof buffer, length));
}

TEST(LineReaders, StreamEndsAtALoneDot) {
    THandleStream stream = StreamOf("one\r\n..\r\n.x\r\n.\r\nafter");
    char buffer[16];
    EXPECT_TRUE(ReadLineFromStream(stream, buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "one");
    EXPECT_TRUE(ReadLineFromStream(stream, buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "..");
    EXPECT_TRUE(ReadLineFromStream(stream, buffer, sizeof buffer));
    EXPECT_STREQ(buffer, ".x");
    EXPECT_FALSE(ReadLineFromStream(stream, buffer, sizeof buffer)) << "the lone dot";
    EXPECT_TRUE(ReadLineFromStream(stream, buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "after");
}

TEST(LineReaders, ResponsesEndAtTheDotLine) {
    char buffer[64];
    {
        THandleStream stream = StreamOf("200 list\r\nline 1\r\n\r\nline 3\r\n.\r\nnext");
        ASSERT_TRUE(ReadLineFromStream(stream, buffer, sizeof buffer));
        EXPECT_TRUE(ReadResponseFromStream(stream, buffer, sizeof buffer));
        EXPECT_STREQ(buffer, "line 1\r\n\r\nline 3") << "inner empty lines are kept";
        EXPECT_TRUE(ReadLineFromStream(stream, buffer, sizeof buffer));
        EXPECT_STREQ(buffer, "next");
    }
    {
        THandleStream stream = StreamOf("200 empty\r\n.\r\n");
        ASSERT_TRUE(ReadLineFromStream(stream, buffer, sizeof buffer));
        EXPECT_TRUE(ReadResponseFromStream(stream, buffer, sizeof buffer));
        EXPECT_STREQ(buffer, "");
        EXPECT_EQ(stream.GetMarker(), stream.GetLength());
    }
    {
        THandleStream stream = StreamOf("no end\r\n");
        EXPECT_FALSE(ReadResponseFromStream(stream, buffer, sizeof buffer));
        EXPECT_STREQ(buffer, "no end\r\n");
    }
}

TEST(LineReaders, ResponsesLongerThanTheBufferReadOnWithoutLosingOrFakingTheEnd) {
    struct Case {
        const char* name;
        std::string input;
        std::vector<std::pair<bool, std::string>> calls;  // each call's answer and text
    };
    const Case cases[] = {
        {"end line from the buffer's last byte", "abcdefghi\r\n.\r\n", {{true, "abcdefghi"}}},
        {"end line after the buffer's last byte", "abcdefghij\r\n.\r\n", {{false, "abcdefghi"}, {true, "j"}}},
        {"dot that does not start a line", "abcdefghi.\r\n", {{false, "abcdefghi"}, {false, ".\r\n"}}},
    };
    for (const Case& c : cases) {
        THandleStream stream = StreamOf(c.input);
        char buffer[10];
        for (const auto& [answer, text] : c.calls) {
            EXPECT_EQ(ReadResponseFromStream(stream, buffer, sizeof buffer), answer) << c.name;
            EXPECT_EQ(std::string(buffer), text) << c.name;
        }
        EXPECT_EQ(stream.GetMarker(), stream.GetLength()) << c.name;
    }
}

namespace {

struct ChunkCase {
    const char* name;
    std::string input;
    Lines chunks;  // with a chunk of at most 7 bytes
};

const ChunkCase kChunkCases[] = {
    {"cut back to the last line", "ab\ncd\nefgh\n", {"ab\ncd\n", "efgh\n"}},
    {"CR LF across the chunk's end", "a\nbcde\r\nf", {"a\n", "bcde\r\nf"}},
    {"CR lines", "ab\rcd\ref\r", {"ab\rcd\r", "ef\r"}},
    {"missing final newline", "ab\ncd", {"ab\ncd"}},
    {"line longer than the chunk", "0123456789\nab", {"0123456", "789\nab"}},
    {"long line ending in CR LF", "abcdef\r\nxy", {"abcdef", "\r\nxy"}},
    {"nothing", "", {}},
};

constexpr size_t kChunkSize = 8;

}  // namespace

TEST(ChunkReaders, CutToWholeLinesAndLoseNothing) {
    for (const ChunkCase& c : kChunkCases) {
        TempFile file(c.input);
        EXPECT_EQ(
            ReadAll([&](char* b, size_t n) { return ReadChunkFromFile(file.file, b, n) > 0; }, kChunkSize),
            c.chunks)
            << "C file: " << c.name;

        THandleStream stream = StreamOf(c.input);
        EXPECT_EQ(
            ReadAll([&](char* b, size_t n) { return ReadChunkFromStream(stream, b, n) > 0; }, kChunkSize),
            c.chunks)
            << "stream: " << c.name;

        TempFork fork(c.input);
        Lines chunks;
        char buffer[kChunkSize];
        ByteCount actual = 0;
        OSStatus status;
        while ((status = ReadChunkFromFileRefNum(fork.refNum, buffer, sizeof buffer, &actual)) == noErr &&
               chunks.size() < 100)
            chunks.emplace_back(buffer, actual);
        EXPECT_EQ(status, eofErr) << c.name;
        EXPECT_EQ(chunks, c.chunks) << "fork: " << c.name;
    }
}

TEST(ChunkReaders, LinesOfAForkChunkAndAFileThatCannotSeekBack) {
    TempFork fork("a\r\n\nb\nefgh\n");
    Lines lines;
    EXPECT_EQ(ReadLinesFromFileRefNum(fork.refNum, kChunkSize, lines), noErr);
    EXPECT_EQ(lines, (Lines{"a", "b"}));
    EXPECT_EQ(ReadLinesFromFileRefNum(fork.refNum, kChunkSize, lines), noErr);
    EXPECT_EQ(lines, (Lines{"efgh"}));
    EXPECT_EQ(ReadLinesFromFileRefNum(fork.refNum, kChunkSize, lines), eofErr);
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(ReadLinesFromFileRefNum(-1, kChunkSize, lines), rfNumErr);

    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    ASSERT_EQ(write(ends[1], "ab\ncdefgh", 9), 9);
    close(ends[1]);
    std::FILE* pipeFile = fdopen(ends[0], "r");
    char buffer[kChunkSize];
    std::string all;
    while (ReadChunkFromFile(pipeFile, buffer, sizeof buffer) > 0) all += buffer;
    std::fclose(pipeFile);
    EXPECT_EQ(all, "ab\ncdefgh") << "a pipe keeps its chunks whole rather than dropping the cut";
}

TEST(ChunkReaders, NewLineOffsetLeavesTheMark) {
    std::string bytes = "ab\ncd";
    bytes += std::string(600, 'x') + "\nz";
    TempFork fork(bytes);
    SInt64 offset = 0;
    EXPECT_EQ(GetNewLineOffset(fork.refNum, &offset), noErr);
    EXPECT_EQ(offset, 3);
    ASSERT_EQ(FSSetForkPosition(fork.refNum, fsFromStart, 3), noErr);
    EXPECT_EQ(GetNewLineOffset(fork.refNum, &offset), noErr);
    EXPECT_EQ(offset, 606) << "an LF beyond the first block read";
    SInt64 mark = 0;
    FSGetForkPosition(fork.refNum, &mark);
    EXPECT_EQ(mark, 3);
    ASSERT_EQ(FSSetForkPosition(fork.refNum, fsFromStart, 606), noErr);
    EXPECT_EQ(GetNewLineOffset(fork.refNum, &offset), eofErr);
    EXPECT_EQ(offset, static_cast<SInt64>(bytes.size()));
}
