#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "core/TDynamicBuffer.h"
#include "platform/Carbon/MacMemory.h"

namespace {

constexpr SInt32 kLimit = TDynamicBuffer::kDefaultLimit;

std::string contents(TDynamicBuffer& buffer) {
    UniqueHandle data(buffer.GetBufferDataH(0));
    return data ? std::string(*data.get(), GetHandleSize(data.get())) : std::string();
}

std::string pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return bytes;
}

std::string filePath(TDynamicBuffer& buffer) {
    FSRef ref;
    return buffer.GetBufferFile(ref) ? ref.path : std::string();
}

TEST(TDynamicBuffer, StaysInMemoryUpToTheLimitThenMovesIntactToAFile) {
    std::string bytes = pattern(kLimit + 1);
    std::string path;
    {
        TDynamicBuffer buffer;
        buffer.ConcatenateBuffer(bytes.data(), kLimit);
        Handle block = nullptr;
        EXPECT_TRUE(buffer.GetBufferHandle(block)) << "exactly the limit stays in memory";
        EXPECT_TRUE(buffer.IsHandleFileStream());

        buffer.ConcatenateBuffer(bytes.data() + kLimit, 1);
        EXPECT_FALSE(buffer.GetBufferHandle(block));
        EXPECT_TRUE(buffer.IsTempFileStream());
        path = filePath(buffer);
        ASSERT_FALSE(path.empty());
        EXPECT_EQ(std::filesystem::file_size(path), static_cast<uintmax_t>(kLimit + 1));
        EXPECT_EQ(contents(buffer), bytes);
    }
    EXPECT_FALSE(std::filesystem::exists(path)) << "the file goes with the buffer";
}

TEST(TDynamicBuffer, TheLimitCanBeSet) {
    TDynamicBuffer buffer;
    buffer.SetLimit(0x90000);
    std::string bytes = pattern(0x90000);
    buffer.ConcatenateBuffer(bytes.data(), 0x90000);
    EXPECT_TRUE(buffer.IsHandleFileStream());
    buffer.ConcatenateBuffer("x", 1);
    EXPECT_TRUE(buffer.IsTempFileStream());
    TDynamicBuffer copy(buffer);
    EXPECT_EQ(copy.GetLimit(), 0x90000);
    EXPECT_EQ(contents(copy), bytes + "x");
}

TEST(TDynamicBuffer, EditsAtTheEdges) {
    struct Case {
        const char* what;
        void (*edit)(TDynamicBuffer&);
        std::string expected;
    } cases[] = {
        {"remove beyond the end is cut", [](TDynamicBuffer& b) { b.RemoveFromBuffer(3, 100); }, "012"},
        {"remove at the end changes nothing", [](TDynamicBuffer& b) { b.RemoveFromBuffer(10, 1); },
         "0123456789"},
        {"remove in the middle", [](TDynamicBuffer& b) { b.RemoveFromBuffer(2, 3); }, "0156789"},
        {"insert beyond the end appends", [](TDynamicBuffer& b) { b.InsertBuffer("ab", 50, 2); },
         "0123456789ab"},
        {"insert in the middle", [](TDynamicBuffer& b) { b.InsertBuffer("ab", 4, 2); }, "0123ab456789"},
        {"insert of zero bytes", [](TDynamicBuffer& b) { b.InsertBuffer("ab", 4, 0); }, "0123456789"},
        {"prepend of an empty text", [](TDynamicBuffer& b) { b.PrependBuffer("", 0); }, "0123456789"},
        {"prepend data starting with a zero byte", [](TDynamicBuffer& b) { b.PrependBuffer("\0z", 2); },
         std::string("\0z0123456789", 12)},
        {"insert data starting with a zero byte", [](TDynamicBuffer& b) { b.InsertBuffer("\0y", 1, 2); },
         std::string("0\0y123456789", 12)},
        {"upper case",
         [](TDynamicBuffer& b) {
             b.SetBuffer("aZ\xE9-q", 5);
             b.UpperBuffer();
         },
         "AZ\xE9-Q"},
        {"lower case",
         [](TDynamicBuffer& b) {
             b.SetBuffer("aZ\xC9-Q", 5);
             b.LowerBuffer();
         },
         "az\xC9-q"},
    };
    for (const auto& c : cases) {
        TDynamicBuffer buffer("0123456789");
        c.edit(buffer);
        EXPECT_EQ(contents(buffer), c.expected) << c.what;
    }
}

TEST(TDynamicBuffer, HandsItsContentsOn) {
    TDynamicBuffer buffer("abc");
    UniqueHandle handle(NewHandle(0));
    ASSERT_TRUE(buffer.BufferToHandle(handle.get(), 0, true));
    EXPECT_EQ(std::string(*handle.get(), GetHandleSize(handle.get())), std::string("abc\0", 4));
    ASSERT_TRUE(buffer.BufferToHandle(handle.get(), 2, false));
    EXPECT_EQ(std::string(*handle.get(), GetHandleSize(handle.get())), "ab");
    UniqueHandle firstTwo(buffer.GetBufferDataH(2));
    EXPECT_EQ(std::string(*firstTwo.get(), GetHandleSize(firstTwo.get())), "ab");

    TDynamicBuffer empty;
    UniqueHandle none(empty.GetBufferDataH(0));
    ASSERT_TRUE(none);
    EXPECT_EQ(GetHandleSize(none.get()), 0);
    ASSERT_NE(empty.GetBufferStream(), nullptr);
    EXPECT_TRUE(empty.IsHandleFileStream());
}

TEST(TDynamicBuffer, WritesItselfToAFileFromMemoryAndFromAFile) {
    TDynamicBuffer small("short");
    std::string large = pattern(kLimit + 10);
    TDynamicBuffer spilled(large.data(), static_cast<SInt32>(large.size()));
    ASSERT_TRUE(spilled.IsTempFileStream());
    for (auto* buffer : {&small, &spilled}) {
        TTemporaryFileStream target;
        target.WriteBlock(std::string(kLimit + 100, '#').data(), kLimit + 100);
        target.CloseFile();
        buffer->BufferToFile(target);
        FSRef ref;
        target.GetFile(ref);
        EXPECT_EQ(std::filesystem::file_size(ref.path), contents(*buffer).size());
        target.OpenFile(fsRdPerm);
        UniqueHandle written(target.ReadFile());
        EXPECT_EQ(std::string(*written.get(), GetHandleSize(written.get())), contents(*buffer));
    }
}

// An adopted memory stream without a block is an empty buffer in memory, owned or not.
TEST(TDynamicBuffer, AnAdoptedStreamWithoutABlockIsAnEmptyBlock) {
    for (bool owns : {true, false}) {
        auto stream = std::make_unique<THandleStream>(nullptr);
        ASSERT_EQ(stream->GetDataHandle(), nullptr);
        TDynamicBuffer buffer;
        buffer.SetStream(stream.get(), owns);
        THandleStream* adopted = owns ? stream.release() : stream.get();
        Handle block = nullptr;
        ASSERT_TRUE(buffer.GetBufferHandle(block)) << owns;
        ASSERT_NE(block, nullptr) << owns;
        EXPECT_EQ(GetHandleSize(block), 0);
        EXPECT_EQ(adopted->GetDataHandle(), block);

        buffer.SetStream(new THandleStream(nullptr), true);
        TTemporaryFileStream target;
        target.WriteBlock("old", 3);
        target.CloseFile();
        buffer.BufferToFile(target);
        FSRef ref;
        target.GetFile(ref);
        EXPECT_EQ(std::filesystem::file_size(ref.path), 0u) << owns;
    }
}

// A stream the caller keeps is left to the caller when the contents move to a file.
TEST(TDynamicBuffer, ACallersStreamIsNotDeletedOnSpilling) {
    auto stream = std::make_unique<THandleStream>();
    stream->WriteBlock("kept", 4);
    TDynamicBuffer buffer;
    buffer.SetStream(stream.get(), false);
    std::string bytes = pattern(kLimit);
    buffer.ConcatenateBuffer(bytes.data(), kLimit);
    EXPECT_TRUE(buffer.IsTempFileStream());
    EXPECT_EQ(contents(buffer), "kept" + bytes);
    EXPECT_EQ(stream->GetLength(), 4) << "the caller's stream is alive and untouched";
}

// A source that runs dry: the buffer's length follows what was read.
TEST(TDynamicBuffer, AShortReadAppendsOnlyWhatCame) {
    THandleStream source;
    source.WriteBlock("12345", 5);
    source.SetMarker(2, kStreamFromStart);
    TDynamicBuffer buffer("ab");
    buffer.ConcatenateBuffer(&source, 10);
    EXPECT_EQ(contents(buffer), "ab345");

    source.SetMarker(0, kStreamFromStart);
    buffer.ConcatenateBuffer(&source, -1);
    EXPECT_EQ(contents(buffer), "ab34512345");
    buffer.ConcatenateBuffer(&buffer);
    EXPECT_EQ(contents(buffer), "ab34512345ab34512345");
}

// Random edits against a std::string model, crossing the spill boundary and editing while in a
// file; every insert and prepend starts with a zero byte.
TEST(TDynamicBuffer, MatchesAStringModelOverRandomEdits) {
    for (unsigned seed : {1u, 2u, 3u}) {
        std::mt19937 random(seed);
        auto uniform = [&](SInt64 low, SInt64 high) {
            return std::uniform_int_distribution<SInt64>(low, high)(random);
        };
        TDynamicBuffer buffer;
        buffer.SetLimit(0x4000);
        std::string model;
        bool wasSpilled = false, editedSpilled = false;
        for (int step = 0; step < 300; ++step) {
            std::string data(static_cast<size_t>(uniform(1, 0x1800)), '\0');
            for (size_t i = 1; i < data.size(); ++i) data[i] = static_cast<char>(uniform(0, 255));
            SInt64 size = static_cast<SInt64>(model.size());
            SInt64 position = uniform(0, size + 10);
            SInt64 count = uniform(0, 0x2000);
            bool spilled = buffer.IsTempFileStream();
            int op = static_cast<int>(uniform(0, 9));
            std::string what = "seed " + std::to_string(seed) + " step " + std::to_string(step) + " op " +
                               std::to_string(op);
            switch (op) {
                case 0:
                case 1:
                case 2:
                    buffer.ConcatenateBuffer(data.data(), static_cast<SInt32>(data.size()));
                    model += data;
                    break;
                case 3:
                    buffer.PrependBuffer(data.data(), static_cast<SInt32>(data.size()));
                    model.insert(0, data);
                    break;
                case 4:
                case 5:
                    buffer.InsertBuffer(data.data(), static_cast<SInt32>(position),
                                        static_cast<SInt32>(data.size()));
                    model.insert(static_cast<size_t>(std::min(position, size)), data);
                    break;
                case 6:
                case 7:
                case 8:
                    buffer.RemoveFromBuffer(static_cast<SInt32>(position), static_cast<SInt32>(count));
                    if (position < size)
                        model.erase(static_cast<size_t>(position), static_cast<size_t>(count));
                    break;
                case 9:
                    if (uniform(0, 5) == 0) {
                        buffer.ResetBuffer();
                        model.clear();
                    }
                    break;
            }
            wasSpilled |= buffer.IsTempFileStream();
            editedSpilled |= spilled && op >= 3 && op <= 8;
            ASSERT_EQ(contents(buffer), model) << what;
        }
        EXPECT_TRUE(wasSpilled) << "seed " << seed;
        EXPECT_TRUE(editedSpilled) << "seed " << seed;
    }
}

}  // namespace
