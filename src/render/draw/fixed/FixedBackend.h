// FixedBackend.h -- drawing with OpenGL 1.x's fixed-function pipeline: every
// call goes to GL as it is made.
#pragma once

#include <unordered_map>

#include "render/draw/Backend.h"
#include "render/draw/GLFunctions.h"

namespace render {

class TFixedBackend final : public TBackend {
 public:
  TFixedBackend() = default;
  [[nodiscard]] const char* Name() const override { return "gl1"; }
  void Release() override;
  void Abandon() override;

  void Begin(gfx::TPrimitive mode) override;
  void End() override;
  void Vertex(float x, float y, float z) override;
  void Color(float r, float g, float b, float a) override;
  void TexCoord(float u, float v) override;

  void MatrixMode(gfx::TMatrixStack stack) override;
  void PushMatrix() override;
  void PopMatrix() override;
  void LoadIdentity() override;
  void Translate(float x, float y, float z) override;
  void Rotate(float degrees, float x, float y, float z) override;
  void Scale(float x, float y, float z) override;
  void MultMatrix(const gfx::TMatrix& m) override;
  void Perspective(double fovY, double aspect, double zNear, double zFar) override;
  void Ortho(double left, double right, double bottom, double top, double zNear, double zFar) override;
  gfx::TMatrix GetMatrix(gfx::TMatrixStack stack) override;

  void SetCap(gfx::TCap cap, bool on) override;
  void BlendFunc(gfx::TBlend blend) override;
  void AlphaFunc(float reference) override;
  void LineWidth(float pixels) override;
  void Scissor(const gfx::TRect& box) override;
  void Viewport(const gfx::TRect& box) override;
  gfx::TRect GetViewport() override;
  void ClearColor(float r, float g, float b, float a) override;
  void Clear() override;

  gfx::TTexture CreateTexture(int width, int height, const uint8_t* rgba) override;
  void UpdateTexture(gfx::TTexture texture, int x, int y, int width, int height, const uint8_t* rgba) override;
  void DeleteTexture(gfx::TTexture texture) override;
  void BindTexture(gfx::TTexture texture) override;
  int MaxTextureSize() override;

  // Buffers need GL_ARB_vertex_buffer_object; CreateBuffer throws
  // std::runtime_error("VertexBuffer: not supported") without it.
  bool BuffersSupported() override;
  gfx::TBuffer CreateBuffer(gfx::TVertexFormat format, const void* vertices, int count) override;
  bool UpdateBuffer(gfx::TBuffer buffer, gfx::TVertexFormat format, const void* vertices, int count) override;
  int BufferVertices(gfx::TBuffer buffer) override;
  void DrawBuffer(gfx::TBuffer buffer, gfx::TPrimitive mode, int first, int count) override;
  void DeleteBuffer(gfx::TBuffer buffer) override;

  void Flush() override {}
  void Finish() override;
  std::string TakeError() override;

 private:
  struct TStaticBuffer {
    uint32_t Name = 0;
    gfx::TVertexFormat Format = gfx::TVertexFormat::V3F;
    int Count = 0;
  };
  TGLFunctions fGL;  // buffer entry points, looked up with the first buffer
  gfx::TTexture fBound = 0;
  std::unordered_map<gfx::TBuffer, TStaticBuffer> fBuffers;
};

}  // namespace render
