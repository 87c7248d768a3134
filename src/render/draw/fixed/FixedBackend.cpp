// FixedBackend.cpp -- the calls as OpenGL 1.x has them.
#include "render/draw/fixed/FixedBackend.h"

#include <cassert>
#include <stdexcept>

#include "render/draw/GLFunctions.h"

namespace render {

namespace {

GLenum GLCap(gfx::TCap cap) {
  switch (cap) {
    case gfx::TCap::Blend: return GL_BLEND;
    case gfx::TCap::AlphaTest: return GL_ALPHA_TEST;
    case gfx::TCap::DepthTest: return GL_DEPTH_TEST;
    case gfx::TCap::CullFace: return GL_CULL_FACE;
    case gfx::TCap::ScissorTest: return GL_SCISSOR_TEST;
    case gfx::TCap::Texture2D: return GL_TEXTURE_2D;
  }
  return 0;
}

GLenum GLStack(gfx::TMatrixStack stack) {
  return stack == gfx::TMatrixStack::Projection ? GL_PROJECTION : GL_MODELVIEW;
}

GLenum InterleavedFormat(gfx::TVertexFormat format) {
  switch (format) {
    case gfx::TVertexFormat::V3F: return GL_V3F;
    case gfx::TVertexFormat::C4UB_V3F: return GL_C4UB_V3F;
    case gfx::TVertexFormat::C3F_V3F: return GL_C3F_V3F;
  }
  return GL_V3F;
}

}  // namespace

void TFixedBackend::Release() {
  glDisableClientState(GL_COLOR_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
  if (fGL.BindBuffer) fGL.BindBuffer(GL_ARRAY_BUFFER, 0);
}

void TFixedBackend::Abandon() {
  fBuffers.clear();
  fGL = {};
  fBound = 0;
}

void TFixedBackend::Begin(gfx::TPrimitive mode) { glBegin(GLPrimitive(mode)); }
void TFixedBackend::End() { glEnd(); }
void TFixedBackend::Vertex(float x, float y, float z) { glVertex3f(x, y, z); }
void TFixedBackend::Color(float r, float g, float b, float a) { glColor4f(r, g, b, a); }
void TFixedBackend::TexCoord(float u, float v) { glTexCoord2f(u, v); }

void TFixedBackend::MatrixMode(gfx::TMatrixStack stack) { glMatrixMode(GLStack(stack)); }
void TFixedBackend::PushMatrix() { glPushMatrix(); }
void TFixedBackend::PopMatrix() { glPopMatrix(); }
void TFixedBackend::LoadIdentity() { glLoadIdentity(); }
void TFixedBackend::Translate(float x, float y, float z) { glTranslatef(x, y, z); }
void TFixedBackend::Rotate(float degrees, float x, float y, float z) { glRotatef(degrees, x, y, z); }
void TFixedBackend::Scale(float x, float y, float z) { glScalef(x, y, z); }
void TFixedBackend::MultMatrix(const gfx::TMatrix& m) { glMultMatrixf(m.data()); }
void TFixedBackend::Perspective(double fovY, double aspect, double zNear, double zFar) {
  gluPerspective(fovY, aspect, zNear, zFar);
}
void TFixedBackend::Ortho(double left, double right, double bottom, double top, double zNear, double zFar) {
  glOrtho(left, right, bottom, top, zNear, zFar);
}
gfx::TMatrix TFixedBackend::GetMatrix(gfx::TMatrixStack stack) {
  gfx::TMatrix m{};
  glGetFloatv(stack == gfx::TMatrixStack::Projection ? GL_PROJECTION_MATRIX : GL_MODELVIEW_MATRIX, m.data());
  return m;
}

void TFixedBackend::SetCap(gfx::TCap cap, bool on) {
  if (on)
    glEnable(GLCap(cap));
  else
    glDisable(GLCap(cap));
}

void TFixedBackend::BlendFunc(gfx::TBlend blend) {
  glBlendFunc(GL_SRC_ALPHA, blend == gfx::TBlend::Additive ? GL_ONE : GL_ONE_MINUS_SRC_ALPHA);
}

void TFixedBackend::AlphaFunc(float reference) { glAlphaFunc(GL_GREATER, reference); }
void TFixedBackend::LineWidth(float pixels) { glLineWidth(pixels); }
void TFixedBackend::Scissor(const gfx::TRect& box) { glScissor(box.X, box.Y, box.Width, box.Height); }
void TFixedBackend::Viewport(const gfx::TRect& box) { glViewport(box.X, box.Y, box.Width, box.Height); }

gfx::TRect TFixedBackend::GetViewport() {
  GLint viewport[4] = {0, 0, 0, 0};
  glGetIntegerv(GL_VIEWPORT, viewport);
  return {viewport[0], viewport[1], viewport[2], viewport[3]};
}

void TFixedBackend::ClearColor(float r, float g, float b, float a) { glClearColor(r, g, b, a); }
void TFixedBackend::Clear() { glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT); }

// Making or filling a texture leaves the one bound before bound again: the
// draws that follow still use it.
gfx::TTexture TFixedBackend::CreateTexture(int width, int height, const uint8_t* rgba) {
  return MakeTexture(width, height, rgba, fBound);
}

void TFixedBackend::UpdateTexture(gfx::TTexture texture, int x, int y, int width, int height,
                                  const uint8_t* rgba) {
  FillTexture(texture, x, y, width, height, rgba, fBound);
}

void TFixedBackend::DeleteTexture(gfx::TTexture texture) {
  const GLuint name = texture;
  glDeleteTextures(1, &name);
  if (fBound == texture) fBound = 0;  // as GL does
}

void TFixedBackend::BindTexture(gfx::TTexture texture) {
  glBindTexture(GL_TEXTURE_2D, texture);
  fBound = texture;
}

int TFixedBackend::MaxTextureSize() { return GLMaxTextureSize(); }

bool TFixedBackend::BuffersSupported() { return fGL.BindBuffer || fGL.LoadBuffers(); }

gfx::TBuffer TFixedBackend::CreateBuffer(gfx::TVertexFormat format, const void* vertices, int count) {
  if (!BuffersSupported()) throw std::runtime_error("VertexBuffer: not supported");
  TStaticBuffer buffer{0, format, count};
  fGL.GenBuffers(1, &buffer.Name);
  fGL.BindBuffer(GL_ARRAY_BUFFER, buffer.Name);
  fGL.BufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(count) * gfx::VertexBytes(format), vertices, GL_STATIC_DRAW);
  fGL.BindBuffer(GL_ARRAY_BUFFER, 0);
  const gfx::TBuffer handle = NewBufferHandle();
  fBuffers[handle] = buffer;
  return handle;
}

bool TFixedBackend::UpdateBuffer(gfx::TBuffer handle, gfx::TVertexFormat format, const void* vertices, int count) {
  const auto found = fBuffers.find(handle);
  if (found == fBuffers.end() || found->second.Format != format || found->second.Count != count) return false;
  fGL.BindBuffer(GL_ARRAY_BUFFER, found->second.Name);
  fGL.BufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(count) * gfx::VertexBytes(format), vertices);
  fGL.BindBuffer(GL_ARRAY_BUFFER, 0);
  return true;
}

int TFixedBackend::BufferVertices(gfx::TBuffer handle) {
  const auto found = fBuffers.find(handle);
  return found == fBuffers.end() ? 0 : found->second.Count;
}

void TFixedBackend::DrawBuffer(gfx::TBuffer handle, gfx::TPrimitive mode, int first, int count) {
  const auto found = fBuffers.find(handle);
  assert(found != fBuffers.end());
  const TStaticBuffer& buffer = found->second;
  assert(first >= 0 && count > 0 && first + count <= buffer.Count);
  fGL.BindBuffer(GL_ARRAY_BUFFER, buffer.Name);
  glInterleavedArrays(InterleavedFormat(buffer.Format), gfx::VertexBytes(buffer.Format), nullptr);
  glDrawArrays(GLPrimitive(mode), first, count);
  // A colour array would leave the current colour undefined for what follows.
  glDisableClientState(GL_COLOR_ARRAY);
  fGL.BindBuffer(GL_ARRAY_BUFFER, 0);
}

void TFixedBackend::DeleteBuffer(gfx::TBuffer handle) {
  const auto found = fBuffers.find(handle);
  if (found == fBuffers.end()) return;
  fGL.DeleteBuffers(1, &found->second.Name);
  fBuffers.erase(found);
}

void TFixedBackend::Finish() { glFinish(); }

std::string TFixedBackend::TakeError() { return TakeGLError(); }

}  // namespace render
