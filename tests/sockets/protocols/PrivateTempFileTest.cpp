#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "sockets/protocols/PrivateTempFile.h"
#include "tests/sockets/protocols/support/ExternalClient.h"

namespace {

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(PrivateTempFile, ANameTakenByALinkOrAFileIsPassedOverAndNeitherIsWritten) {
    const PrivateTempFile first("upload");
    ASSERT_TRUE(first.Valid());
    // Names are "<prefix>-<pid>-<counter>-<attempt>", the counter counting every attempt: the
    // next file tries the first two of these in turn.
    const std::string path = first.Path();
    const std::string stem = path.substr(0, path.rfind('-', path.rfind('-') - 1) + 1);
    const unsigned counter = std::stoul(path.substr(stem.size()));
    const auto name = [&](unsigned step) {
        return stem + std::to_string(counter + 1 + step) + "-" + std::to_string(step);
    };
    const std::string link = name(0), taken = name(1);
    external::Scratch scratch;
    const std::string target = scratch.Write("target", "keep");
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    std::ofstream(taken) << "theirs";

    {
        PrivateTempFile second("upload");
        ASSERT_TRUE(second.Valid());
        EXPECT_EQ(second.Path(), name(2));
        second.fwrite("mine", 1, 4);
        second.fclose();
        EXPECT_EQ(Contents(second.Path()), "mine");
        struct stat st;
        ASSERT_EQ(lstat(second.Path().c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode));
        EXPECT_EQ(st.st_mode & 0777, 0600u);
    }
    EXPECT_EQ(Contents(target), "keep");
    EXPECT_EQ(Contents(taken), "theirs");
    unlink(link.c_str());
    unlink(taken.c_str());
}

}  // namespace
