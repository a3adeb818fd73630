#include "system/extensions/gl/gl.h"

#include <SDL.h>
#include <cstring>

int hasShaderExtension = 1;
int hasVboExtension = 1;
int hasPointSpriteExtension = 1;

PFNGLCREATEPROGRAMOBJECTARBPROC glCreateProgramObjectARB;
PFNGLDELETEOBJECTARBPROC glDeleteObjectARB;
PFNGLCREATESHADEROBJECTARBPROC glCreateShaderObjectARB;
PFNGLSHADERSOURCEARBPROC glShaderSourceARB;
PFNGLCOMPILESHADERARBPROC glCompileShaderARB;
PFNGLGETOBJECTPARAMETERIVARBPROC glGetObjectParameterivARB;
PFNGLATTACHOBJECTARBPROC glAttachObjectARB;
PFNGLGETINFOLOGARBPROC glGetInfoLogARB;
PFNGLLINKPROGRAMARBPROC glLinkProgramARB;
PFNGLUSEPROGRAMOBJECTARBPROC glUseProgramObjectARB;
PFNGLGETUNIFORMLOCATIONARBPROC glGetUniformLocationARB;
PFNGLUNIFORM1FARBPROC glUniform1fARB;
PFNGLUNIFORM1IARBPROC glUniform1iARB;

PFNGLGENBUFFERSARBPROC glGenBuffersARB;
PFNGLBINDBUFFERARBPROC glBindBufferARB;
PFNGLBUFFERDATAARBPROC glBufferDataARB;
PFNGLDELETEBUFFERSARBPROC glDeleteBuffersARB;

PFNGLPOINTPARAMETERFARBPROC glPointParameterfARB;
PFNGLPOINTPARAMETERFVARBPROC glPointParameterfvARB;

GL_ActiveTextureARB_Func glActiveTextureARB_ptr;
GL_MultiTexCoord2fARB_Func glMultiTexCoord2fARB_ptr;

namespace {

const char* driverExtensionList(void)
{
    return reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
}

void* sdlProcAddress(const char* name)
{
    return SDL_GL_GetProcAddress(name);
}

openGlExtensionList_Func extensionList = driverExtensionList;
openGlProcAddress_Func procAddress = sdlProcAddress;

// 64 slots; the list ends at the first empty one.
const char neededExtensions[64][256] = {
    "GL_ARB_fragment_shader",
    "GL_ARB_fragment_program",
    "GL_ARB_shading_language_100",
    "GL_ARB_vertex_shader",
    "GL_ARB_shader_objects",
    "GL_ARB_multitexture",
    "GL_EXT_texture_env_combine",
    "GL_ARB_texture_compression",
    "GL_ARB_texture_cube_map",
    "GL_ARB_texture_env_add",
    "GL_ARB_vertex_program",
    "GL_ARB_vertex_buffer_object",
    "GL_ARB_point_sprite",
    "GL_ARB_point_parameters",
};

// The flag a missing extension clears, by its index in neededExtensions.
int* flagOf(int index)
{
    if (index < 5)
        return &hasShaderExtension;
    if (index == 11)
        return &hasVboExtension;
    if (index == 12 || index == 13)
        return &hasPointSpriteExtension;
    return nullptr;
}

template <typename T>
void bind(T* entryPoint, const char* name)
{
    *entryPoint = reinterpret_cast<T>(procAddress(name));
}

void bindShaderObjects(void)
{
    bind(&glCreateProgramObjectARB, "glCreateProgramObjectARB");
    bind(&glDeleteObjectARB, "glDeleteObjectARB");
    bind(&glCreateShaderObjectARB, "glCreateShaderObjectARB");
    bind(&glShaderSourceARB, "glShaderSourceARB");
    bind(&glCompileShaderARB, "glCompileShaderARB");
    bind(&glGetObjectParameterivARB, "glGetObjectParameterivARB");
    bind(&glAttachObjectARB, "glAttachObjectARB");
    bind(&glGetInfoLogARB, "glGetInfoLogARB");
    bind(&glLinkProgramARB, "glLinkProgramARB");
    bind(&glUseProgramObjectARB, "glUseProgramObjectARB");
    bind(&glGetUniformLocationARB, "glGetUniformLocationARB");
    bind(&glUniform1fARB, "glUniform1fARB");
    bind(&glUniform1iARB, "glUniform1iARB");
}

void bindVertexBuffers(void)
{
    bind(&glGenBuffersARB, "glGenBuffersARB");
    bind(&glBindBufferARB, "glBindBufferARB");
    bind(&glBufferDataARB, "glBufferDataARB");
    bind(&glDeleteBuffersARB, "glDeleteBuffersARB");
}

void bindPointParameters(void)
{
    bind(&glPointParameterfARB, "glPointParameterfARB");
    bind(&glPointParameterfvARB, "glPointParameterfvARB");
}

} // namespace

int openGlExtensionsInit(void)
{
    // No list at all (no context, a broken driver) counts every extension as
    // missing; a plain substring search is the rule, so a name that is only
    // the front of a longer one still counts as present.
    const char* list = extensionList();
    for (int i = 0; i < 64 && neededExtensions[i][0]; i++) {
        if (list && strstr(list, neededExtensions[i]))
            continue;
        if (int* flag = flagOf(i))
            *flag = 0;
    }
    if (hasShaderExtension)
        bindShaderObjects();
    if (hasVboExtension)
        bindVertexBuffers();
    if (hasPointSpriteExtension)
        bindPointParameters();
    bind(&glActiveTextureARB_ptr, "glActiveTextureARB");
    bind(&glMultiTexCoord2fARB_ptr, "glMultiTexCoord2fARB");
    return hasVboExtension && hasShaderExtension && hasPointSpriteExtension ? 1 : 0;
}

void openGlExtensionsSetPlatform(openGlExtensionList_Func list, openGlProcAddress_Func lookup)
{
    extensionList = list ? list : driverExtensionList;
    procAddress = lookup ? lookup : sdlProcAddress;
}

void openGlExtensionsReset(void)
{
    hasShaderExtension = hasVboExtension = hasPointSpriteExtension = 1;
    glCreateProgramObjectARB = nullptr;
    glDeleteObjectARB = nullptr;
    glCreateShaderObjectARB = nullptr;
    glShaderSourceARB = nullptr;
    glCompileShaderARB = nullptr;
    glGetObjectParameterivARB = nullptr;
    glAttachObjectARB = nullptr;
    glGetInfoLogARB = nullptr;
    glLinkProgramARB = nullptr;
    glUseProgramObjectARB = nullptr;
    glGetUniformLocationARB = nullptr;
    glUniform1fARB = nullptr;
    glUniform1iARB = nullptr;
    glGenBuffersARB = nullptr;
    glBindBufferARB = nullptr;
    glBufferDataARB = nullptr;
    glDeleteBuffersARB = nullptr;
    glPointParameterfARB = nullptr;
    glPointParameterfvARB = nullptr;
    glActiveTextureARB_ptr = nullptr;
    glMultiTexCoord2fARB_ptr = nullptr;
}
