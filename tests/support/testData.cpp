#include "tests/support/testData.h"

#include <filesystem>

std::string testDataDir(const char* name)
{
    return std::string(TESSELLUNE_SOURCE_DIR "/tests/data/") + name;
}

std::string outsideTestDataDir(const char* name)
{
    std::string path = std::string(TESSELLUNE_SOURCE_DIR "/../shared/testdata/") + name;
    std::error_code ignored;
    return std::filesystem::is_directory(path, ignored) ? path : std::string();
}
