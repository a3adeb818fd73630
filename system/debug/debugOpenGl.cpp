#include "system/debug/debugOpenGl.h"

#include "system/extensions/gl/gl.h"

#include <GL/gl.h>
#include <cstdio>
#include <vector>

namespace {
GLenum openGlError = 0;
GLenum previousOpenGlError = 0;

bool isStackError(GLenum error)
{
    return error == GL_STACK_OVERFLOW || error == GL_STACK_UNDERFLOW;
}

void printInfoLog(GLhandleARB object)
{
    if (!glGetObjectParameterivARB || !glGetInfoLogARB)
        return;
    GLint length = 0;
    glGetObjectParameterivARB(object, GL_OBJECT_INFO_LOG_LENGTH_ARB, &length);
    if (length <= 1)
        return;
    std::vector<GLcharARB> log(size_t(length) + 1, 0);
    GLsizei written = 0;
    glGetInfoLogARB(object, length, &written, log.data());
    printf("%s\n", log.data());
    fflush(stdout);
}
} // namespace

int isOpenGlError(void)
{
    openGlError = glGetError();
    if (openGlError == GL_NO_ERROR || isStackError(openGlError))
        return 0;
    return openGlError == previousOpenGlError ? 1 : 2;
}

int getOpenGlError(void)
{
    return int(openGlError);
}

void printOpenGlErrors(void)
{
    // Without a context glGetError keeps answering an error; the bound keeps
    // the drain from spinning forever then.
    for (int guard = 0; openGlError != GL_NO_ERROR && guard < 64; guard++) {
        if (!isStackError(openGlError))
            previousOpenGlError = openGlError;
        openGlError = glGetError();
    }
    openGlError = GL_NO_ERROR;
}

void printOpenGlShaderInfo(unsigned int shader)
{
    printInfoLog(GLhandleARB(shader));
}

void printOpenGlShaderProgramInfo(unsigned int program)
{
    printInfoLog(GLhandleARB(program));
}

void debugOpenGlReset(void)
{
    openGlError = previousOpenGlError = 0;
}
