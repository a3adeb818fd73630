#ifndef TESSELLUNE_EXTENSIONS_GL_H
#define TESSELLUNE_EXTENSIONS_GL_H

// OpenGL extension check and entry-point binding, once per context.

#include <GL/gl.h>
#include <GL/glext.h>

// Capability flags: 1 until a needed extension of the group is found missing.
extern int hasShaderExtension;
extern int hasVboExtension;
extern int hasPointSpriteExtension;

extern PFNGLCREATEPROGRAMOBJECTARBPROC glCreateProgramObjectARB;
extern PFNGLDELETEOBJECTARBPROC glDeleteObjectARB;
extern PFNGLCREATESHADEROBJECTARBPROC glCreateShaderObjectARB;
extern PFNGLSHADERSOURCEARBPROC glShaderSourceARB;
extern PFNGLCOMPILESHADERARBPROC glCompileShaderARB;
extern PFNGLGETOBJECTPARAMETERIVARBPROC glGetObjectParameterivARB;
extern PFNGLATTACHOBJECTARBPROC glAttachObjectARB;
extern PFNGLGETINFOLOGARBPROC glGetInfoLogARB;
extern PFNGLLINKPROGRAMARBPROC glLinkProgramARB;
extern PFNGLUSEPROGRAMOBJECTARBPROC glUseProgramObjectARB;
extern PFNGLGETUNIFORMLOCATIONARBPROC glGetUniformLocationARB;
extern PFNGLUNIFORM1FARBPROC glUniform1fARB;
extern PFNGLUNIFORM1IARBPROC glUniform1iARB;

extern PFNGLGENBUFFERSARBPROC glGenBuffersARB;
extern PFNGLBINDBUFFERARBPROC glBindBufferARB;
extern PFNGLBUFFERDATAARBPROC glBufferDataARB;
extern PFNGLDELETEBUFFERSARBPROC glDeleteBuffersARB;

extern PFNGLPOINTPARAMETERFARBPROC glPointParameterfARB;
extern PFNGLPOINTPARAMETERFVARBPROC glPointParameterfvARB;

typedef void (*GL_ActiveTextureARB_Func)(unsigned int);
typedef void (*GL_MultiTexCoord2fARB_Func)(unsigned int, float, float);
extern GL_ActiveTextureARB_Func glActiveTextureARB_ptr;
extern GL_MultiTexCoord2fARB_Func glMultiTexCoord2fARB_ptr;

// 1 when all three flags are still 1 after the check, else 0.
int openGlExtensionsInit(void);

// For tests: where the extension list and the entry points come from, so
// a test can put a synthetic driver here. Null arguments restore the real ones.
typedef const char* (*openGlExtensionList_Func)(void);
typedef void* (*openGlProcAddress_Func)(const char* name);
void openGlExtensionsSetPlatform(openGlExtensionList_Func list, openGlProcAddress_Func lookup);
// For tests: flags back to 1 and every entry point back to null.
void openGlExtensionsReset(void);

#endif
