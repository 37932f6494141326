#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/streams/THandleStream.h"
#include "platform/Carbon/MacMemory.h"

namespace {

// A handle stream holding `length` bytes 0, 1, 2, ... with the marker at `marker`.
void fill(THandleStream& stream, SInt64 length, SInt64 marker) {
    std::vector<char> bytes(static_cast<size_t>(length));
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i);
    stream.WriteBlock(bytes.data(), static_cast<SInt32>(length));
    stream.SetMarker(marker, kStreamFromStart);
}

std::string contents(THandleStream& stream) {
    Handle h = stream.GetDataHandle();
    return h ? std::string(*h, static_cast<size_t>(stream.GetLength())) : std::string();
}

TEST(TStream, MarkerArithmeticClampsToTheLength) {
    struct Case {
        const char* what;
        SInt64 start, offset;
        int mode;
        SInt64 expected;
    } cases[] = {
        {"before the start", 50, -5, kStreamFromStart, 0},
        {"from start", 50, 30, kStreamFromStart, 30},
        {"past the end from the marker", 95, 10, kStreamFromMarker, 100},
        {"back from the marker", 95, -10, kStreamFromMarker, 85},
        {"end", 10, 0, kStreamFromEnd, 100},
        {"before the end", 10, 20, kStreamFromEnd, 80},
        {"unknown mode keeps the marker", 42, 7, 9, 42},
    };
    for (const auto& c : cases) {
        THandleStream stream;
        fill(stream, 100, c.start);
        stream.SetMarker(c.offset, static_cast<EStreamPositionMode>(c.mode));
        EXPECT_EQ(stream.GetMarker(), c.expected) << c.what;
    }
}

TEST(TStream, ShrinkingPullsTheMarkerBack) {
    THandleStream stream;
    fill(stream, 100, 90);
    stream.SetLength(40);
    EXPECT_EQ(stream.GetMarker(), 40);
    EXPECT_EQ(GetHandleSize(stream.GetDataHandle()), 40);
}

TEST(THandleStream, WritesGrowAndShortReadsDeliverWhatThereIs) {
    THandleStream stream;
    fill(stream, 100, 95);
    SInt32 count = 10;
    EXPECT_EQ(stream.PutBytes("abcdefghij", count), noErr);
    EXPECT_EQ(stream.GetLength(), 105);
    EXPECT_EQ(stream.GetMarker(), 105);
    EXPECT_EQ(GetHandleSize(stream.GetDataHandle()), 105) << "the block grows to exactly the length";

    stream.SetMarker(100, kStreamFromStart);
    char bytes[10] = {};
    count = 10;
    EXPECT_EQ(stream.GetBytes(bytes, count), readErr);
    EXPECT_EQ(count, 5);
    EXPECT_EQ(std::string(bytes, 5), "fghij");
    EXPECT_THROW(stream.ReadBlock(bytes, 1), int);
}

TEST(THandleStream, CopiesOwnTheirBlockAndDetachHandsItOver) {
    THandleStream stream;
    fill(stream, 3, 0);
    THandleStream copy(stream);
    SInt32 count = 1;
    copy.PutBytes("x", count);
    EXPECT_NE(contents(copy), contents(stream));
    Handle block = copy.DetachDataHandle();
    EXPECT_EQ(copy.GetLength(), 0);
    EXPECT_EQ(copy.GetDataHandle(), nullptr);
    stream.SetDataHandle(block);
    EXPECT_EQ(contents(stream), std::string("x\x01\x02", 3));
}

TEST(TStream, SerialisationRoundTrips) {
    THandleStream stream;
    Ptr ptr = NewPtr(3);
    std::memcpy(ptr, "abc", 3);
    Handle handle = nullptr;
    PtrToHand("\0de", &handle, 3);
    unsigned char pstring[] = {2, 'h', 'i'};
    EXPECT_EQ(stream.WritePtr(ptr), 7);
    EXPECT_EQ(stream.WritePtr(nullptr), 4);
    EXPECT_EQ(stream.WriteHandle(handle), 7);
    EXPECT_EQ(stream.WritePString(pstring), 3);
    EXPECT_EQ(stream.WriteCString("text"), 8);
    stream << 1.5;
    DisposePtr(ptr);
    DisposeHandle(handle);
    EXPECT_EQ(contents(stream).substr(7, 4), "\xFF\xFF\xFF\xFF") << "a null block is the length alone";

    stream.SetMarker(0, kStreamFromStart);
    Ptr readPtr = nullptr, nullPtr = reinterpret_cast<Ptr>(1);
    Handle readHandle = nullptr;
    unsigned char readP[256];
    char readC[8];
    double value = 0;
    EXPECT_EQ(stream.ReadPtr(readPtr), 7);
    EXPECT_EQ(stream.ReadPtr(nullPtr), 4);
    EXPECT_EQ(stream.ReadHandle(readHandle), 7);
    EXPECT_EQ(stream.ReadPString(readP), 3);
    EXPECT_EQ(stream.ReadCString(readC, sizeof readC), 8);
    stream >> value;
    EXPECT_EQ(std::string(readPtr, 3), "abc");
    EXPECT_EQ(nullPtr, nullptr);
    EXPECT_EQ(std::string(*readHandle, 3), std::string("\0de", 3));
    EXPECT_EQ(std::memcmp(readP, pstring, 3), 0);
    EXPECT_STREQ(readC, "text");
    EXPECT_EQ(value, 1.5);
    EXPECT_EQ(contents(stream).substr(stream.GetLength() - 8), std::string("\x3F\xF8\0\0\0\0\0\0", 8))
        << "big-endian";
    DisposePtr(readPtr);
    DisposeHandle(readHandle);
}

// Readers that take a length from the stream must not trust it: they fail before allocating or
// copying, with the marker back where it was.
TEST(TStream, LengthsFromTheStreamAreChecked) {
    struct Case {
        const char* what;
        std::string bytes;
        int reader;  // 0 ReadPtr, 1 ReadHandle, 2 ReadCString into 8 bytes, 3 ReadPString
        int error;
    } cases[] = {
        {"ReadPtr, huge length", std::string("\x7F\xFF\xFF\xF0xy", 6), 0, readErr},
        {"ReadPtr, one byte short", std::string("\0\0\0\x03xy", 6), 0, readErr},
        {"ReadHandle, huge length", std::string("\xFF\xFF\xFF\xFEz", 5), 1, readErr},
        {"ReadCString, longer than the buffer",
         std::string("\0\0\0\x08"
                     "12345678",
                     12),
         2, paramErr},
        {"ReadCString, huge length", std::string("\xFF\xFF\xFF\xFF", 4), 2, paramErr},
        {"ReadCString, text missing",
         std::string("\0\0\0\x05"
                     "ab",
                     6),
         2, readErr},
        {"ReadPString, text missing",
         std::string("\x09"
                     "abc",
                     4),
         3, readErr},
        {"ReadPtr, length cut", std::string("\0\0", 2), 0, readErr},
    };
    for (const auto& c : cases) {
        THandleStream stream;
        stream.WriteBlock(c.bytes.data(), static_cast<SInt32>(c.bytes.size()));
        stream.SetMarker(0, kStreamFromStart);
        Ptr ptr = nullptr;
        Handle handle = nullptr;
        char text[8];
        unsigned char ptext[256];
        int error = 0;
        try {
            switch (c.reader) {
                case 0:
                    stream.ReadPtr(ptr);
                    break;
                case 1:
                    stream.ReadHandle(handle);
                    break;
                case 2:
                    stream.ReadCString(text, sizeof text);
                    break;
                case 3:
                    stream.ReadPString(ptext);
                    break;
            }
        } catch (int e) {
            error = e;
        }
        EXPECT_EQ(error, c.error) << c.what;
        EXPECT_EQ(ptr, nullptr) << c.what;
        EXPECT_EQ(handle, nullptr) << c.what;
        if (c.bytes.size() >= 4) {
            EXPECT_EQ(stream.GetMarker(), 0) << c.what;
        }
    }
}

TEST(TStream, ReadCStringFillsTheBufferExactly) {
    THandleStream stream;
    stream.WriteCString("1234567");
    stream.SetMarker(0, kStreamFromStart);
    char text[8];
    EXPECT_EQ(stream.ReadCString(text, sizeof text), 11);
    EXPECT_STREQ(text, "1234567");
}

TEST(TStream, BaseTransfersFailAndPeekKeepsTheMarker) {
    TStream base;
    SInt32 count = 5;
    EXPECT_EQ(base.PutBytes("abcde", count), writErr);
    EXPECT_EQ(count, 0);
    EXPECT_THROW(base.WriteBlock("a", 1), int);

    THandleStream stream;
    fill(stream, 10, 4);
    char bytes[3];
    EXPECT_EQ(stream.PeekData(bytes, 3), 3);
    EXPECT_EQ(bytes[0], 4);
    EXPECT_EQ(stream.GetMarker(), 4);
}

}  // namespace
