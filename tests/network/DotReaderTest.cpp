#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "network/NetworkErrors.h"
#include "network/TDotReader.h"
#include "network/UInternet.h"

TEST(DotReaderTest, CollectsDotTerminatedDataFedInPieces) {
    const std::string reply = "215 list follows\r\nalpha\r\n..hidden\r\n.\r\nafter the end";
    for (size_t size : {1u, 3u, 100u}) {
        SCOPED_TRACE(size);
        TDotReader reader(true);
        bool complete = false;
        for (size_t at = 0; at < reply.size() && !complete; at += size) {
            complete = reader.Receive(reply.data() + at, std::min(size, reply.size() - at));
        }
        ASSERT_TRUE(complete);
        EXPECT_EQ(reader.GetResponseLine(), "215 list follows");
        EXPECT_EQ(UInternet::BufferText(reader.GetData()), "alpha\r\n.hidden\r\n");
    }

    TDotReader single(false);
    EXPECT_FALSE(single.Receive("250 o", 5));
    EXPECT_TRUE(single.Receive("k\r\n", 3));
    EXPECT_EQ(single.GetResponseLine(), "250 ok");
}

TEST(DotReaderTest, LinesGoToTheCallbackAndProgressEvery17Lines) {
    TDotReader reader(true);
    std::vector<std::string> lines;
    std::vector<int> reports;
    reader.SetLineCallback([&](std::string_view line) { lines.emplace_back(line); });
    reader.SetProgressCallback([&](int read) { reports.push_back(read); });
    std::string reply = "100 go\r\n";
    for (int i = 0; i < 40; ++i) reply += "line " + std::to_string(i) + "\r\n";
    reply += ".\r\n";
    ASSERT_TRUE(reader.Receive(reply.data(), reply.size()));
    EXPECT_EQ(lines.size(), 40u);
    EXPECT_EQ(lines.front(), "line 0");
    EXPECT_EQ(reports, (std::vector<int>{17, 34}));
    EXPECT_EQ(reader.GetData().GetBufferStream()->GetLength(), 0);
}

TEST(DotReaderTest, FindsCRLF) {
    const char text[] = "ab\rc\r\nd";
    EXPECT_EQ(TDotReader::FindCRLF(text, sizeof text - 1), text + 4);
    EXPECT_EQ(TDotReader::FindCRLF(text, 5), nullptr) << "the LF lies beyond the length";
    EXPECT_THROW(TDotReader::FindCRLF(nullptr, 3), int);
}
