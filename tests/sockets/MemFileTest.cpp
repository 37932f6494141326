#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sockets/MemFile.h"

namespace {

std::string Pattern(size_t n) {
    std::string s(n, 0);
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + i % 26);
    return s;
}

// Every line fgets gives until it answers null.
std::vector<std::string> Lines(MemFile& file, int size) {
    std::vector<std::string> lines;
    std::vector<char> buffer(size > 0 ? size : 1, '#');
    while (char* line = file.fgets(buffer.data(), size)) {
        EXPECT_EQ(line, buffer.data());
        lines.emplace_back(line);
        if (lines.size() > 100) break;
    }
    return lines;
}

}  // namespace

TEST(MemFile, ReadsAcrossBlocksAndStopsAtTheEnd) {
    MemFile file;
    const std::string data = Pattern(40000);
    EXPECT_EQ(file.fwrite(data.data(), 1, data.size()), 40000u);
    EXPECT_EQ(file.size(), 40000u);

    std::string back(50000, 0);
    EXPECT_FALSE(file.eof());
    EXPECT_EQ(file.fread(back.data(), 1, back.size()), 40000u);
    EXPECT_TRUE(file.eof());
    EXPECT_EQ(back.substr(0, 40000), data);

    file.reset_read();
    EXPECT_FALSE(file.eof());
    std::string part(MemFile::kBlockSize + 2, 0);
    file.fread(part.data(), 1, 10);
    EXPECT_EQ(file.fread(part.data(), 1, part.size()), part.size());
    EXPECT_EQ(part, data.substr(10, part.size()));
    EXPECT_FALSE(file.eof());
}

TEST(MemFile, ResetWriteStartsOverInTheSameBlocks) {
    MemFile file;
    const std::string data = Pattern(MemFile::kBlockSize * 2);
    file.fwrite(data.data(), 1, data.size());
    file.reset_write();
    EXPECT_EQ(file.size(), 0u);
    file.fwrite("xyz", 3, 1);
    file.reset_read();
    char back[8] = {};
    EXPECT_EQ(file.fread(back, 1, sizeof back), 3u);
    EXPECT_STREQ(back, "xyz");
}

TEST(MemFile, NamedFilesShareTheirContents) {
    // Named contents live as long as the program, so each run of the test takes names of its own.
    static int run = 0;
    const std::string suffix = "/" + std::to_string(++run);
    {
        MemFile writer("MemFileTest/shared" + suffix);
        writer.fprintf("%d-%s", 42, "x");
    }
    MemFile reader("MemFileTest/shared" + suffix);
    MemFile other("MemFileTest/other" + suffix);
    char back[16] = {};
    EXPECT_EQ(reader.fread(back, 1, sizeof back - 1), 4u);
    EXPECT_STREQ(back, "42-x");
    EXPECT_EQ(other.size(), 0u);
}

TEST(MemFile, FprintfWritesAtMost32767Characters) {
    MemFile file;
    const std::string big(40000, 'q');
    file.fprintf("%s", big.c_str());
    EXPECT_EQ(file.size(), 32767u);
}

TEST(MemFile, FgetsKeepsTheLineFeedAndAnswersNullAtTheEnd) {
    struct Case {
        const char* name;
        std::string contents;
        int size;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"empty file", "", 16, {}},
        {"lines with LF", "ab\ncd\n", 16, {"ab\n", "cd\n"}},
        {"last line without LF", "ab\ncd", 16, {"ab\n", "cd"}},
        {"empty lines", "\n\n", 16, {"\n", "\n"}},
        {"line longer than the buffer", "abcdef\n", 4, {"abc", "def", "\n"}},
        {"CR stays in the line", "a\r\nb", 16, {"a\r\n", "b"}},
        {"line across a block border",
         Pattern(MemFile::kBlockSize + 5) + "\n",
         MemFile::kBlockSize * 2,
         {Pattern(MemFile::kBlockSize + 5) + "\n"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemFile file;
        file.fwrite(c.contents.data(), 1, c.contents.size());
        EXPECT_EQ(Lines(file, c.size), c.lines);
        EXPECT_TRUE(file.eof());
    }
}

TEST(MemFile, FgetsWithBufferOfOneOrNoneReadsNothing) {
    MemFile file;
    file.fwrite("abc", 1, 3);
    char buffer[2] = {'#', '#'};
    EXPECT_EQ(file.fgets(buffer, 1), buffer);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(file.fgets(buffer, 0), nullptr);
    EXPECT_EQ(file.fgets(buffer, 2), buffer);
    EXPECT_STREQ(buffer, "a");
}
