#ifndef TESSELLUNE_SHADER_H
#define TESSELLUNE_SHADER_H

// Bookkeeping records for shaders and shader programs.

struct shader_t {
    char* name;
    unsigned int* shader; // the OpenGL shader object
    int type;
    unsigned int* linkedPrograms;
    unsigned int linkedProgramsCount;
};

struct shaderProgram_t {
    char* name;
    unsigned int* program; // the OpenGL program object
    shader_t* attachedShaders;
    unsigned int attachedShadersCount;
};

extern shader_t* shaders;
extern shaderProgram_t* shaderPrograms;
extern unsigned int shadersCount;
extern unsigned int shaderProgramsCount;

#endif
