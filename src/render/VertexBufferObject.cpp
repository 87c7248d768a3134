// VertexBufferObject.cpp -- buffer objects through their run-time entry points.
#include "render/VertexBufferObject.h"

#include <cstring>

#include "platform/Platform.h"

namespace {

struct TBufferEntryPoints {
  PFNGLGENBUFFERSPROC GenBuffers = nullptr;
  PFNGLDELETEBUFFERSPROC DeleteBuffers = nullptr;
  PFNGLBINDBUFFERARBPROC BindBuffer = nullptr;
  PFNGLBUFFERDATAARBPROC BufferData = nullptr;
  PFNGLMAPBUFFERPROC MapBuffer = nullptr;
  PFNGLUNMAPBUFFERPROC UnmapBuffer = nullptr;

  bool Complete() const { return GenBuffers && DeleteBuffers && BindBuffer && BufferData && MapBuffer && UnmapBuffer; }
};

// Looked up for the current context whenever a buffer is created.
TBufferEntryPoints gGL;

bool LoadEntryPoints(platform::TPlatform& platform) {
  if (!platform.GLExtensionSupported("GL_ARB_vertex_buffer_object")) return false;
  auto lookup = [&]<typename TProc>(TProc& proc, const char* name) {
    proc = reinterpret_cast<TProc>(platform.GLProcAddress(name));
  };
  lookup(gGL.GenBuffers, "glGenBuffers");
  lookup(gGL.DeleteBuffers, "glDeleteBuffers");
  lookup(gGL.BindBuffer, "glBindBufferARB");
  lookup(gGL.BufferData, "glBufferDataARB");
  lookup(gGL.MapBuffer, "glMapBuffer");
  lookup(gGL.UnmapBuffer, "glUnmapBuffer");
  return gGL.Complete();
}

}  // namespace

int TVertexBufferObject::VertexSize(GLenum format) {
  switch (format) {
    case GL_V2F: return 8;
    case GL_V3F: return 12;
    case GL_C4UB_V2F: return 12;
    case GL_C4UB_V3F: return 16;
    case GL_C3F_V3F: return 24;
    case GL_N3F_V3F: return 24;
    case GL_C4F_N3F_V3F: return 40;
    case GL_T2F_V3F: return 20;
    case GL_T2F_C4UB_V3F: return 24;
    case GL_T2F_C3F_V3F: return 32;
    case GL_T2F_N3F_V3F: return 32;
    case GL_T2F_C4F_N3F_V3F: return 48;
    default: return 0;
  }
}

TVertexBufferObject::TVertexBufferObject(platform::TPlatform& platform) {
  if (!LoadEntryPoints(platform)) throw VertexBufferException("VertexBuffer: not supported");
  gGL.GenBuffers(1, &fName);
  gGL.BindBuffer(GL_ARRAY_BUFFER, fName);
  glEnableClientState(GL_VERTEX_ARRAY);
  gGL.BindBuffer(GL_ARRAY_BUFFER, 0);
}

TVertexBufferObject::~TVertexBufferObject() {
  if (fFilling) {
    gGL.BindBuffer(GL_ARRAY_BUFFER, fName);
    gGL.UnmapBuffer(GL_ARRAY_BUFFER);
    gGL.BindBuffer(GL_ARRAY_BUFFER, 0);
  }
  gGL.DeleteBuffers(1, &fName);
}

void TVertexBufferObject::SetSize(int32_t count, GLenum format, GLenum usage) {
  gGL.BindBuffer(GL_ARRAY_BUFFER, fName);
  fCapacity = count;
  fFormat = format;
  const GLsizeiptr bytes = static_cast<GLsizeiptr>(count) * VertexSize(format);
  gGL.BufferData(GL_ARRAY_BUFFER, bytes, nullptr, usage);
  fBase = fCursor = static_cast<uint8_t*>(gGL.MapBuffer(GL_ARRAY_BUFFER, GL_WRITE_ONLY));
  fCount = 0;
  fFilling = true;
  gGL.BindBuffer(GL_ARRAY_BUFFER, 0);
}

void TVertexBufferObject::AddVertex(const void* vertex) {
  if (!fFilling || fCount >= fCapacity) return;
  const int size = VertexSize(fFormat);
  if (size == 0 || !fCursor) return;
  gGL.BindBuffer(GL_ARRAY_BUFFER, fName);
  std::memcpy(fCursor, vertex, static_cast<std::size_t>(size));
  fCursor += size;
  fCount += 1;
  gGL.BindBuffer(GL_ARRAY_BUFFER, 0);
}

void TVertexBufferObject::Finish() {
  gGL.BindBuffer(GL_ARRAY_BUFFER, fName);
  if (fCount < fCapacity) throw VertexBufferException("Weniger Vertex \xFC" "bergeben als erwartet!");
  fFilling = false;
  gGL.UnmapBuffer(GL_ARRAY_BUFFER);
  gGL.BindBuffer(GL_ARRAY_BUFFER, 0);
}

void TVertexBufferObject::Bind() {
  gGL.BindBuffer(GL_ARRAY_BUFFER, fName);
  glInterleavedArrays(fFormat, VertexSize(fFormat), nullptr);
}

void TVertexBufferObject::Unbind() { gGL.BindBuffer(GL_ARRAY_BUFFER, 0); }

void TVertexBufferObject::Draw(GLenum mode) {
  Bind();
  glDrawArrays(mode, 0, fCapacity);
  Unbind();
}
