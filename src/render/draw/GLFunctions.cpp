// GLFunctions.cpp -- looking up the entry points.
#include "render/draw/GLFunctions.h"

#include "platform/SdlPlatform.h"
#include "render/draw/Draw.h"

namespace render {

namespace {

template <typename TProc>
bool Find(TProc& proc, const char* name, const char* alternative = nullptr) {
  proc = reinterpret_cast<TProc>(platform::CurrentGLProcAddress(name));
  if (!proc && alternative) proc = reinterpret_cast<TProc>(platform::CurrentGLProcAddress(alternative));
  return proc != nullptr;
}

}  // namespace

bool TGLFunctions::LoadBuffers() {
  const bool core = Find(GenBuffers, "glGenBuffers") && Find(DeleteBuffers, "glDeleteBuffers") &&
                    Find(BindBuffer, "glBindBuffer") && Find(BufferData, "glBufferData") &&
                    Find(BufferSubData, "glBufferSubData");
  if (core) return true;
  if (!platform::CurrentGLExtensionSupported("GL_ARB_vertex_buffer_object")) return false;
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
