// NullBackend.h -- a backend that draws nothing and needs no GL: for runs
// that only simulate (a recording verified without a window). Textures and
// buffers get handles, buffers keep their vertex counts, the matrices and
// the viewport are kept as GL would keep them, so code that reads them back
// sees what it would see on a screen.
#pragma once

#include <array>
#include <string>
#include <unordered_map>

#include "render/draw/Backend.h"

namespace render {

class TNullBackend final : public TBackend {
 public:
  TNullBackend();
  [[nodiscard]] const char* Name() const override { return "null"; }
  void Release() override {}
  void Abandon() override {}

  void Begin(gfx::TPrimitive) override {}
  void End() override {}
  void Vertex(float, float, float) override {}
  void Color(float, float, float, float) override {}
  void TexCoord(float, float) override {}

  void MatrixMode(gfx::TMatrixStack stack) override { fStack = stack; }
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

  void SetCap(gfx::TCap, bool) override {}
  void BlendFunc(gfx::TBlend) override {}
  void AlphaFunc(float) override {}
  void LineWidth(float) override {}
  void Scissor(const gfx::TRect&) override {}
  void Viewport(const gfx::TRect& box) override { fViewport = box; }
  gfx::TRect GetViewport() override { return fViewport; }
  void ClearColor(float, float, float, float) override {}
  void Clear() override {}

  gfx::TTexture CreateTexture(int, int, const uint8_t*) override { return ++fLastTexture; }
  void UpdateTexture(gfx::TTexture, int, int, int, int, const uint8_t*) override {}
  void DeleteTexture(gfx::TTexture) override {}
  void BindTexture(gfx::TTexture) override {}
  int MaxTextureSize() override { return 4096; }

  bool BuffersSupported() override { return true; }
  gfx::TBuffer CreateBuffer(gfx::TVertexFormat format, const void* vertices, int count) override;
  bool UpdateBuffer(gfx::TBuffer buffer, gfx::TVertexFormat format, const void* vertices, int count) override;
  int BufferVertices(gfx::TBuffer buffer) override;
  void DrawBuffer(gfx::TBuffer, gfx::TPrimitive, int, int) override {}
  void DeleteBuffer(gfx::TBuffer buffer) override { fBuffers.erase(buffer); }

  void Flush() override {}
  void Finish() override {}
  std::string TakeError() override;

 private:
  struct TBufferInfo {
    gfx::TVertexFormat Format;
    int Count;
  };
  gfx::TMatrix& Top();

  gfx::TMatrixStack fStack = gfx::TMatrixStack::ModelView;
  std::array<gfx::TMatrix, 32> fModelView{};   // as deep as GL's
  std::array<gfx::TMatrix, 32> fProjection{};
  int fModelViewTop = 0, fProjectionTop = 0;
  std::string fError;  // the first error since TakeError, as GL words it
  gfx::TRect fViewport;
  gfx::TTexture fLastTexture = 0;
  gfx::TBuffer fLastBuffer = 0;
  std::unordered_map<gfx::TBuffer, TBufferInfo> fBuffers;
};

}  // namespace render
