// GL.h -- the OpenGL and GLU headers, for the drawing backends only.
#pragma once

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#ifndef __EMSCRIPTEN__
#include <GL/glu.h>
#endif

#ifdef _WIN32
// mingw's <GL/gl.h> brings in <windows.h>, whose CreateFont and TextOut
// macros would rename the text engine's functions of the same names.
#undef CreateFont
#undef TextOut
#endif
