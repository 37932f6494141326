#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "sockets/File.h"

namespace {

class FileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char folder[] = "/tmp/sockets-file-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        m_folder = folder;
        m_path = m_folder + "/data";
    }
    void TearDown() override {
        unlink(m_path.c_str());
        rmdir(m_folder.c_str());
    }

    std::string m_folder;
    std::string m_path;
};

}  // namespace

TEST_F(FileTest, ReadAndWriteOffsetsMoveApart) {
    File file;
    ASSERT_TRUE(file.fopen(m_path.c_str(), "w+"));
    file.fwrite("abcdef", 1, 6);
    file.reset_write();
    file.fwrite("xyz", 1, 3);
    file.reset_read();
    char back[4] = {};
    EXPECT_EQ(file.fread(back, 1, 3), 3u);
    EXPECT_STREQ(back, "xyz");
    // Reading did not move the write offset: this lands after "xyz".
    file.fwrite("!", 1, 1);
    file.reset_read();
    char all[8] = {};
    file.fread(all, 1, 7);
    EXPECT_STREQ(all, "xyz!ef");
    EXPECT_TRUE(file.eof());
}

TEST_F(FileTest, FgetsAndFprintfFollowTheirOffsets) {
    File file;
    ASSERT_TRUE(file.fopen(m_path.c_str(), "w+"));
    file.fprintf("%s %d\n", "one", 1);
    file.fprintf("two\n");
    file.fclose();
    EXPECT_EQ(file.size(), 10u);

    ASSERT_TRUE(file.fopen(m_path.c_str(), "r"));
    char line[16];
    ASSERT_NE(file.fgets(line, sizeof line), nullptr);
    EXPECT_STREQ(line, "one 1\n");
    ASSERT_NE(file.fgets(line, sizeof line), nullptr);
    EXPECT_STREQ(line, "two\n");
    EXPECT_EQ(file.fgets(line, sizeof line), nullptr);
}

TEST_F(FileTest, ClosedOrMissingFileAnswersNothing) {
    File file;
    EXPECT_FALSE(file.fopen((m_folder + "/missing").c_str(), "r"));
    char buffer[4];
    EXPECT_EQ(file.fread(buffer, 1, 4), 0u);
    EXPECT_EQ(file.fwrite("ab", 1, 2), 0u);
    EXPECT_EQ(file.fgets(buffer, 4), nullptr);
    file.fprintf("ignored");
    EXPECT_FALSE(file.eof());
    EXPECT_EQ(file.size(), 0u);
}
