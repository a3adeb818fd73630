#include "system/graphics/shader/shader.h"

shader_t* shaders = nullptr;
shaderProgram_t* shaderPrograms = nullptr;
unsigned int shadersCount = 0;
unsigned int shaderProgramsCount = 0;
