#include "system/extensions/gl/gl.h"
#include "tests/support/glWindow.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A synthetic driver: the extension list and a lookup that records every
// name asked for and answers with a distinct fake address.
std::string driverList;
bool driverHasList = true;
std::vector<std::string> lookedUp;

const char* fakeList(void) { return driverHasList ? driverList.c_str() : nullptr; }

void* fakeLookup(const char* name)
{
    lookedUp.push_back(name);
    return reinterpret_cast<void*>(uintptr_t(0x1000 + lookedUp.size()));
}

const char* const ALL[] = {
    "GL_ARB_fragment_shader", "GL_ARB_fragment_program", "GL_ARB_shading_language_100",
    "GL_ARB_vertex_shader", "GL_ARB_shader_objects", "GL_ARB_multitexture",
    "GL_EXT_texture_env_combine", "GL_ARB_texture_compression", "GL_ARB_texture_cube_map",
    "GL_ARB_texture_env_add", "GL_ARB_vertex_program", "GL_ARB_vertex_buffer_object",
    "GL_ARB_point_sprite", "GL_ARB_point_parameters"};

std::string listWithout(const std::string& missing)
{
    std::string list = "GL_EXT_something_else ";
    for (const char* name : ALL)
        if (missing != name)
            list += std::string(name) + " ";
    return list;
}

class GlExtensionsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        openGlExtensionsReset();
        openGlExtensionsSetPlatform(fakeList, fakeLookup);
        driverHasList = true;
        lookedUp.clear();
    }
    void TearDown() override
    {
        openGlExtensionsSetPlatform(nullptr, nullptr);
        openGlExtensionsReset();
    }
};

TEST_F(GlExtensionsTest, FullDriverBindsEveryGroupInOrder)
{
    driverList = listWithout("");
    EXPECT_EQ(openGlExtensionsInit(), 1);
    EXPECT_EQ(hasShaderExtension + hasVboExtension + hasPointSpriteExtension, 3);
    ASSERT_EQ(lookedUp.size(), 21u);
    EXPECT_EQ(lookedUp.front(), "glCreateProgramObjectARB");
    EXPECT_EQ(lookedUp[12], "glUniform1iARB");
    EXPECT_EQ(lookedUp[13], "glGenBuffersARB");
    EXPECT_EQ(lookedUp[17], "glPointParameterfARB");
    EXPECT_EQ(lookedUp[19], "glActiveTextureARB");
    EXPECT_EQ(lookedUp[20], "glMultiTexCoord2fARB");
    EXPECT_NE(glUniform1iARB, nullptr);
    EXPECT_NE(glMultiTexCoord2fARB_ptr, nullptr);
}

TEST_F(GlExtensionsTest, MissingExtensionsClearOnlyTheirGroup)
{
    driverList = listWithout("GL_ARB_texture_cube_map");
    EXPECT_EQ(openGlExtensionsInit(), 1) << "an extension without a flag changes nothing";

    openGlExtensionsReset();
    lookedUp.clear();
    driverList = listWithout("GL_ARB_point_parameters");
    EXPECT_EQ(openGlExtensionsInit(), 0);
    EXPECT_EQ(hasPointSpriteExtension, 0);
    EXPECT_EQ(hasShaderExtension, 1);
    EXPECT_EQ(hasVboExtension, 1);
    EXPECT_EQ(glPointParameterfARB, nullptr);
    EXPECT_EQ(glPointParameterfvARB, nullptr);
    EXPECT_NE(glGenBuffersARB, nullptr);
    EXPECT_NE(glCreateProgramObjectARB, nullptr);
    EXPECT_EQ(lookedUp.size(), 19u);
}

TEST_F(GlExtensionsTest, NameThatIsOnlyAPrefixStillCounts)
{
    // The rule is a plain substring search, kept as it always was.
    driverList = listWithout("GL_ARB_vertex_buffer_object") + " GL_ARB_vertex_buffer_object_extended";
    EXPECT_EQ(openGlExtensionsInit(), 1);
    EXPECT_EQ(hasVboExtension, 1);
}

TEST_F(GlExtensionsTest, FlagsOnlyEverClear)
{
    driverList = listWithout("GL_ARB_vertex_shader");
    openGlExtensionsInit();
    EXPECT_EQ(hasShaderExtension, 0);
    driverList = listWithout("");
    EXPECT_EQ(openGlExtensionsInit(), 0) << "a later call does not restore a flag";
    EXPECT_EQ(glCreateProgramObjectARB, nullptr);
}

TEST_F(GlExtensionsTest, NoListCountsEverythingMissing)
{
    driverHasList = false;
    EXPECT_EQ(openGlExtensionsInit(), 0);
    EXPECT_EQ(hasShaderExtension + hasVboExtension + hasPointSpriteExtension, 0);
    EXPECT_EQ(lookedUp.size(), 2u) << "only the always-bound multitexturing pair";
}

TEST(GlExtensionsDriver, RealDriverAnswersWithoutCrashing)
{
    REQUIRE_GL_WINDOW(320, 200);
    openGlExtensionsReset();
    openGlExtensionsInit();
    EXPECT_NE(glActiveTextureARB_ptr, nullptr) << "Mesa offers multitexturing";
    openGlExtensionsReset();
}

} // namespace
