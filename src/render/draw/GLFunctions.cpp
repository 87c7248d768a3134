// GLFunctions.cpp -- looking up the entry points.
#include "render/draw/GLFunctions.h"

#include <vector>

#include "platform/Platform.h"
#include "render/draw/Draw.h"

namespace render {

namespace {

template <typename TProc>
bool Find(TProc& proc, const char* name) {
  platform::TPlatform* platform = platform::CurrentGLPlatform();
  proc = platform ? reinterpret_cast<TProc>(platform->GLProcAddress(name)) : nullptr;
  return proc != nullptr;
}

}  // namespace

bool TGLFunctions::LoadBuffers() {
  const bool core = Find(GenBuffers, "glGenBuffers") && Find(DeleteBuffers, "glDeleteBuffers") &&
                    Find(BindBuffer, "glBindBuffer") && Find(BufferData, "glBufferData") &&
                    Find(BufferSubData, "glBufferSubData");
  if (core) return true;
  platform::TPlatform* platform = platform::CurrentGLPlatform();
  if (!platform || !platform->GLExtensionSupported("GL_ARB_vertex_buffer_object")) return false;
  return Find(GenBuffers, "glGenBuffersARB") && Find(DeleteBuffers, "glDeleteBuffersARB") &&
         Find(BindBuffer, "glBindBufferARB") && Find(BufferData, "glBufferDataARB") &&
         Find(BufferSubData, "glBufferSubDataARB");
}

bool TGLFunctions::LoadShaders() {
  return LoadBuffers() && Find(CreateShader, "glCreateShader") && Find(ShaderSource, "glShaderSource") &&
         Find(CompileShader, "glCompileShader") && Find(GetShaderiv, "glGetShaderiv") &&
         Find(GetShaderInfoLog, "glGetShaderInfoLog") && Find(DeleteShader, "glDeleteShader") &&
         Find(CreateProgram, "glCreateProgram") && Find(AttachShader, "glAttachShader") &&
         Find(BindAttribLocation, "glBindAttribLocation") && Find(LinkProgram, "glLinkProgram") &&
         Find(GetProgramiv, "glGetProgramiv") && Find(GetProgramInfoLog, "glGetProgramInfoLog") &&
         Find(DeleteProgram, "glDeleteProgram") && Find(UseProgram, "glUseProgram") &&
         Find(GetUniformLocation, "glGetUniformLocation") && Find(Uniform1i, "glUniform1i") &&
         Find(Uniform1f, "glUniform1f") && Find(Uniform2f, "glUniform2f") &&
         Find(UniformMatrix4fv, "glUniformMatrix4fv") && Find(VertexAttribPointer, "glVertexAttribPointer") &&
         Find(EnableVertexAttribArray, "glEnableVertexAttribArray") &&
         Find(DisableVertexAttribArray, "glDisableVertexAttribArray") && Find(VertexAttrib4f, "glVertexAttrib4f");
}

GLuint MakeTexture(int width, int height, const uint8_t* rgba, GLuint bound) {
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  // Cleared unless given: filtering at a glyph's edge must read transparent texels.
  std::vector<uint8_t> clear;
  if (!rgba) clear.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4, 0);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba ? rgba : clear.data());
  glBindTexture(GL_TEXTURE_2D, bound);
  return texture;
}

void FillTexture(GLuint texture, int x, int y, int width, int height, const uint8_t* rgba, GLuint bound) {
  glBindTexture(GL_TEXTURE_2D, texture);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glTexSubImage2D(GL_TEXTURE_2D, 0, x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  glBindTexture(GL_TEXTURE_2D, bound);
}

int GLMaxTextureSize() {
  GLint size = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
  return size;
}

std::string TakeGLError() {
  const GLenum error = glGetError();
  return error == GL_NO_ERROR ? std::string() : GLErrorText(error);
}

std::string GLErrorText(GLenum error) {
#ifdef __EMSCRIPTEN__
  // No GLU in the page; WebGL has the first four, the shader backend
  // reports the stack's two itself.
  switch (error) {
    case GL_INVALID_ENUM: return "invalid enumerant";
    case GL_INVALID_VALUE: return "invalid value";
    case GL_INVALID_OPERATION: return "invalid operation";
    case GL_OUT_OF_MEMORY: return "out of memory";
    case GL_STACK_OVERFLOW: return "stack overflow";
    case GL_STACK_UNDERFLOW: return "stack underflow";
    default: return std::to_string(error);
  }
#else
  const auto* text = reinterpret_cast<const char*>(gluErrorString(error));
  return text ? text : std::to_string(error);
#endif
}

uint32_t NewBufferHandle() {
  static uint32_t last = 0;
  return ++last;
}

GLenum GLPrimitive(gfx::TPrimitive mode) {
  switch (mode) {
    case gfx::TPrimitive::Lines: return GL_LINES;
    case gfx::TPrimitive::LineStrip: return GL_LINE_STRIP;
    case gfx::TPrimitive::LineLoop: return GL_LINE_LOOP;
    case gfx::TPrimitive::Triangles: return GL_TRIANGLES;
    case gfx::TPrimitive::TriangleStrip: return GL_TRIANGLE_STRIP;
    case gfx::TPrimitive::TriangleFan: return GL_TRIANGLE_FAN;
    case gfx::TPrimitive::Quads: return GL_QUADS;
  }
  return GL_POINTS;
}

}  // namespace render
