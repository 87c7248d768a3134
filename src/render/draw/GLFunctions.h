// GLFunctions.h -- OpenGL for the backends: the headers, and the entry points
// past GL 1.1, looked up for the current context (Windows' opengl32 exports
// nothing newer, and a browser's GL has only what it is asked for).
#pragma once

#include <cstdint>
#include <string>

#include "render/draw/GL.h"
#include "render/draw/Draw.h"

namespace render {

struct TGLFunctions {
  PFNGLGENBUFFERSPROC GenBuffers = nullptr;
  PFNGLDELETEBUFFERSPROC DeleteBuffers = nullptr;
  PFNGLBINDBUFFERPROC BindBuffer = nullptr;
  PFNGLBUFFERDATAPROC BufferData = nullptr;
  PFNGLBUFFERSUBDATAPROC BufferSubData = nullptr;
  // GL 2.0, for the shader backend.
  PFNGLCREATESHADERPROC CreateShader = nullptr;
  PFNGLSHADERSOURCEPROC ShaderSource = nullptr;
  PFNGLCOMPILESHADERPROC CompileShader = nullptr;
  PFNGLGETSHADERIVPROC GetShaderiv = nullptr;
  PFNGLGETSHADERINFOLOGPROC GetShaderInfoLog = nullptr;
  PFNGLDELETESHADERPROC DeleteShader = nullptr;
  PFNGLCREATEPROGRAMPROC CreateProgram = nullptr;
  PFNGLATTACHSHADERPROC AttachShader = nullptr;
  PFNGLBINDATTRIBLOCATIONPROC BindAttribLocation = nullptr;
  PFNGLLINKPROGRAMPROC LinkProgram = nullptr;
  PFNGLGETPROGRAMIVPROC GetProgramiv = nullptr;
  PFNGLGETPROGRAMINFOLOGPROC GetProgramInfoLog = nullptr;
  PFNGLDELETEPROGRAMPROC DeleteProgram = nullptr;
  PFNGLUSEPROGRAMPROC UseProgram = nullptr;
  PFNGLGETUNIFORMLOCATIONPROC GetUniformLocation = nullptr;
  PFNGLUNIFORM1IPROC Uniform1i = nullptr;
  PFNGLUNIFORM1FPROC Uniform1f = nullptr;
  PFNGLUNIFORM2FPROC Uniform2f = nullptr;
  PFNGLUNIFORMMATRIX4FVPROC UniformMatrix4fv = nullptr;
  PFNGLVERTEXATTRIBPOINTERPROC VertexAttribPointer = nullptr;
  PFNGLENABLEVERTEXATTRIBARRAYPROC EnableVertexAttribArray = nullptr;
  PFNGLDISABLEVERTEXATTRIBARRAYPROC DisableVertexAttribArray = nullptr;
  PFNGLVERTEXATTRIB4FPROC VertexAttrib4f = nullptr;

  // Buffer objects (GL 1.5 or GL_ARB_vertex_buffer_object).
  [[nodiscard]] bool LoadBuffers();
  // Buffers and GL 2.0's shaders.
  [[nodiscard]] bool LoadShaders();
};

// A handle for a static buffer, never given out twice in a process: a
// handle kept past its context's end matches nothing in the next one.
[[nodiscard]] uint32_t NewBufferHandle();

// Texture work both backends share. A new texture (RGBA, linear, clamped;
// transparent black without `rgba`) and a filled rectangle of one leave
// texture `bound` bound afterwards.
[[nodiscard]] GLuint MakeTexture(int width, int height, const uint8_t* rgba, GLuint bound);
void FillTexture(GLuint texture, int x, int y, int width, int height, const uint8_t* rgba, GLuint bound);
[[nodiscard]] int GLMaxTextureSize();
// The first pending GL error as text, empty when there is none; the text
// of `error`.
[[nodiscard]] std::string TakeGLError();
[[nodiscard]] std::string GLErrorText(GLenum error);

// GL's primitive for ours; GL_QUADS stays GL_QUADS (fixed-function only).
[[nodiscard]] GLenum GLPrimitive(gfx::TPrimitive mode);

}  // namespace render
