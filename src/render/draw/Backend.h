// Backend.h -- what a drawing backend implements, and which one draws.
//
// gfx's functions forward to the backend of the current GL context, which
// they learn from the platform (platform::CurrentGLPlatform). It is made on
// first use in each new context, of the kind chosen with SelectBackend; a
// context that has ended takes its backend with it: the backend forgets its
// GL objects, which went with the context, and is deleted.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "render/draw/Draw.h"

namespace render {

enum class TBackendKind : uint8_t {
  Auto,           // shaders where the context offers them, else fixed-function
  FixedFunction,  // settings.ini: renderer=gl1
  Shader,         // renderer=shader; falls back like Auto where it fails
  ShaderWidened,  // renderer=shader-widened: as Shader, every wide line widened
                  // by the program, as WebGL needs it
  Null,           // draws nothing and needs no GL (a run that only simulates);
                  // never chosen by settings.ini
};

class TBackend {
 public:
  virtual ~TBackend() = default;
  [[nodiscard]] virtual const char* Name() const = 0;
  // Leaves GL as a backend finds it (no program, no arrays, no buffer
  // bound), before the other kind takes over the same context.
  virtual void Release() = 0;
  // Forgets every GL object without a call into GL, once the context that
  // held them has ended: deleting the backend then calls GL no more.
  virtual void Abandon() = 0;

  virtual void Begin(gfx::TPrimitive mode) = 0;
  virtual void End() = 0;
  virtual void Vertex(float x, float y, float z) = 0;
  virtual void Color(float r, float g, float b, float a) = 0;
  virtual void TexCoord(float u, float v) = 0;

  virtual void MatrixMode(gfx::TMatrixStack stack) = 0;
  virtual void PushMatrix() = 0;
  virtual void PopMatrix() = 0;
  virtual void LoadIdentity() = 0;
  virtual void Translate(float x, float y, float z) = 0;
  virtual void Rotate(float degrees, float x, float y, float z) = 0;
  virtual void Scale(float x, float y, float z) = 0;
  virtual void MultMatrix(const gfx::TMatrix& m) = 0;
  virtual void Perspective(double fovY, double aspect, double zNear, double zFar) = 0;
  virtual void Ortho(double left, double right, double bottom, double top, double zNear, double zFar) = 0;
  virtual gfx::TMatrix GetMatrix(gfx::TMatrixStack stack) = 0;

  virtual void SetCap(gfx::TCap cap, bool on) = 0;
  virtual void BlendFunc(gfx::TBlend blend) = 0;
  virtual void AlphaFunc(float reference) = 0;
  virtual void LineWidth(float pixels) = 0;
  virtual void Scissor(const gfx::TRect& box) = 0;
  virtual void Viewport(const gfx::TRect& box) = 0;
  virtual gfx::TRect GetViewport() = 0;
  virtual void ClearColor(float r, float g, float b, float a) = 0;
  virtual void Clear() = 0;

  virtual gfx::TTexture CreateTexture(int width, int height, const uint8_t* rgba) = 0;
  virtual void UpdateTexture(gfx::TTexture texture, int x, int y, int width, int height, const uint8_t* rgba) = 0;
  virtual void DeleteTexture(gfx::TTexture texture) = 0;
  virtual void BindTexture(gfx::TTexture texture) = 0;
  virtual int MaxTextureSize() = 0;

  virtual bool BuffersSupported() = 0;
  virtual gfx::TBuffer CreateBuffer(gfx::TVertexFormat format, const void* vertices, int count) = 0;
  virtual bool UpdateBuffer(gfx::TBuffer buffer, gfx::TVertexFormat format, const void* vertices, int count) = 0;
  // The vertices `buffer` holds; 0 for a buffer the backend does not have.
  virtual int BufferVertices(gfx::TBuffer buffer) = 0;
  // A buffer it has, and a range of it that is not empty: gfx::DrawBuffer
  // clamps, the backends only assert.
  virtual void DrawBuffer(gfx::TBuffer buffer, gfx::TPrimitive mode, int first, int count) = 0;
  virtual void DeleteBuffer(gfx::TBuffer buffer) = 0;

  virtual void Flush() = 0;
  virtual void Finish() = 0;
  virtual std::string TakeError() = 0;
};

// The value of settings.ini's `renderer`: empty or "auto", "gl1", "shader";
// nullopt for anything else.
[[nodiscard]] std::optional<TBackendKind> ParseBackendKind(std::string_view value);

// The kind made for the contexts from now on. When the current context
// already has a backend of another kind, it is replaced at once (pending
// drawing is flushed first).
void SelectBackend(TBackendKind kind);
[[nodiscard]] TBackendKind SelectedBackend();

// The current context's backend, made when needed. Throws
// std::runtime_error when no GL context is current.
TBackend& Backend();

}  // namespace render
