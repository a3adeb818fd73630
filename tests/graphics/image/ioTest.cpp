#include "system/io/io.h"
#include "tests/graphics/image/pngFixtures.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

namespace {

class IoTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = makeScratchDir();
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override { removeScratchDir(dir); }
    std::string write(const char* name, const std::string& bytes)
    {
        std::string path = dir + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    std::string dir;
};

// Guards against line-end translation, stopping at a zero byte, and a missing
// terminator (callers parse the buffer as a string).
TEST_F(IoTest, ReturnsEveryByteUnchangedAndOneZeroAfter)
{
    const std::string bytes("a\r\nb\0c\r\xff\n\x1a", 10);
    std::string path = write("ten.bin", bytes);
    int openBefore = countOpenFiles();
    char* buffer = ioReadFileToBuffer(path.c_str());
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(0, memcmp(buffer, bytes.data(), 10));
    EXPECT_EQ(buffer[10], 0);
    free(buffer);
    EXPECT_EQ(countOpenFiles(), openBefore);
}

// Guards against an empty string where callers expect "nothing", and against
// a directory's seek offset being taken as a length to allocate.
TEST_F(IoTest, NothingToReadGivesNull)
{
    EXPECT_EQ(ioReadFileToBuffer(nullptr), nullptr);
    EXPECT_EQ(ioReadFileToBuffer(write("empty.bin", "").c_str()), nullptr);
    EXPECT_EQ(ioReadFileToBuffer((dir + "/missing.bin").c_str()), nullptr);
    EXPECT_EQ(ioReadFileToBuffer(dir.c_str()), nullptr);
}

} // namespace
