#ifndef TESSELLUNE_DEBUGOPENGL_H
#define TESSELLUNE_DEBUGOPENGL_H

// OpenGL error state: tells a new error from a repeated one and drains the
// queue. Needs a current context. Usual use:
//     if (isOpenGlError()) printOpenGlErrors();

// 0: no error (stack overflow/underflow count as none), 1: the same error as
// recorded before, 2: a new error.
int isOpenGlError(void);
int getOpenGlError(void);   // the code read last
void printOpenGlErrors(void); // drains the queue, recording the last error
void printOpenGlShaderInfo(unsigned int shader);        // prints the info log, if any
void printOpenGlShaderProgramInfo(unsigned int program); // prints the info log, if any
void debugOpenGlReset(void); // for tests: forgets the recorded errors

#endif
