// Draw.cpp -- the current context's backend and the calls forwarded to it.
#include "render/draw/Draw.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string_view>

#include "platform/Platform.h"
#include "render/draw/Backend.h"
#include "render/draw/GL.h"
#include "render/draw/NullBackend.h"
#ifndef __EMSCRIPTEN__
#include "render/draw/fixed/FixedBackend.h"
#endif
#include "render/draw/shader/ShaderBackend.h"

namespace render {

namespace {

// The current GL context (see TPlatform::GLContext), 0 while none is.
uint64_t CurrentContext() {
  platform::TPlatform* platform = platform::CurrentGLPlatform();
  return platform ? platform->GLContext() : 0;
}

TBackendKind gSelected = TBackendKind::Auto;
uint64_t gBackendContext = 0;
// The backend of gBackendContext. Once that context is gone, so are its GL
// objects: at exit the backend forgets them and is deleted without a call
// into GL, which in the page would fail outright.
struct TBackendSlot : std::unique_ptr<TBackend> {
  using std::unique_ptr<TBackend>::operator=;
  ~TBackendSlot() {
    if (*this && CurrentContext() != gBackendContext) (*this)->Abandon();
  }
} gBackend;
// The backend of the open Begin: vertices go straight to it.
TBackend* gOpen = nullptr;

std::unique_ptr<TBackend> MakeBackend(TBackendKind kind) {
  if (kind == TBackendKind::Null) return std::make_unique<TNullBackend>();
#ifdef __EMSCRIPTEN__
  // WebGL has no fixed-function pipeline to fall back on.
  static_cast<void>(kind);
  if (auto shader = TShaderBackend::Create()) return shader;
  throw std::runtime_error("WebGL kann die Shader nicht \xFC" "bersetzen");
#else
  if (kind != TBackendKind::FixedFunction) {
    if (auto shader = TShaderBackend::Create(kind == TBackendKind::ShaderWidened)) return shader;
  }
  return std::make_unique<TFixedBackend>();
#endif
}

}  // namespace

std::optional<TBackendKind> ParseBackendKind(std::string_view value) {
  if (value.empty() || value == "auto") return TBackendKind::Auto;
  if (value == "gl1") return TBackendKind::FixedFunction;
  if (value == "shader") return TBackendKind::Shader;
  if (value == "shader-widened") return TBackendKind::ShaderWidened;
  return std::nullopt;
}

void SelectBackend(TBackendKind kind) {
  gSelected = kind;
  const uint64_t context = CurrentContext();
  if (!gBackend || gBackendContext != context || context == 0) return;
  gBackend->Flush();
  gBackend->Release();
  // Gone before the next is made: its deletions and its last unbinding
  // must not fall between the new one's set-up and its first frame.
  gBackend.reset();
  gBackend = MakeBackend(kind);
}

TBackendKind SelectedBackend() { return gSelected; }

TBackend& Backend() {
  const uint64_t context = CurrentContext();
  if (!gBackend || gBackendContext != context) {
    if (context == 0) throw std::runtime_error("Zeichnen ohne OpenGL-Kontext");
    // The old context and its objects are gone: nothing of GL to delete.
    if (gBackend) gBackend->Abandon();
    gBackend = MakeBackend(gSelected);
    gBackendContext = context;
  }
  return *gBackend;
}

}  // namespace render

namespace gfx {

TMatrix TranslationMatrix(float x, float y, float z) { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1}; }

TMatrix ScalingMatrix(float x, float y, float z) { return {x, 0, 0, 0, 0, y, 0, 0, 0, 0, z, 0, 0, 0, 0, 1}; }

std::optional<TMatrix> RotationMatrix(float degrees, float x, float y, float z) {
  const float length = std::sqrt(x * x + y * y + z * z);
  if (length == 0) return std::nullopt;
  x /= length;
  y /= length;
  z /= length;
  const float radians = degrees * static_cast<float>(M_PI / 180.0);
  const float c = std::cos(radians), s = std::sin(radians), t = 1 - c;
  return TMatrix{x * x * t + c, y * x * t + z * s, x * z * t - y * s, 0,   //
                 x * y * t - z * s, y * y * t + c, y * z * t + x * s, 0,   //
                 x * z * t + y * s, y * z * t - x * s, z * z * t + c, 0,   //
                 0, 0, 0, 1};
}

TMatrix PerspectiveMatrix(double fovY, double aspect, double zNear, double zFar) {
  const double f = 1.0 / std::tan(fovY * M_PI / 360.0);
  const double depth = zNear - zFar;
  TMatrix m{};
  m[0] = static_cast<float>(f / aspect);
  m[5] = static_cast<float>(f);
  m[10] = static_cast<float>((zFar + zNear) / depth);
  m[11] = -1;
  m[14] = static_cast<float>(2 * zFar * zNear / depth);
  return m;
}

TMatrix OrthoMatrix(double left, double right, double bottom, double top, double zNear, double zFar) {
  TMatrix m{};
  m[0] = static_cast<float>(2 / (right - left));
  m[5] = static_cast<float>(2 / (top - bottom));
  m[10] = static_cast<float>(-2 / (zFar - zNear));
  m[12] = static_cast<float>(-(right + left) / (right - left));
  m[13] = static_cast<float>(-(top + bottom) / (top - bottom));
  m[14] = static_cast<float>(-(zFar + zNear) / (zFar - zNear));
  m[15] = 1;
  return m;
}

using render::Backend;

void Begin(TPrimitive mode) {
  render::TBackend& backend = Backend();
  render::gOpen = &backend;
  backend.Begin(mode);
}
void End() {
  render::TBackend& backend = Backend();
  backend.End();
  render::gOpen = nullptr;
}
void Vertex(float x, float y, float z) { (render::gOpen ? *render::gOpen : Backend()).Vertex(x, y, z); }
void Color(float r, float g, float b, float a) { (render::gOpen ? *render::gOpen : Backend()).Color(r, g, b, a); }
void TexCoord(float u, float v) { (render::gOpen ? *render::gOpen : Backend()).TexCoord(u, v); }

void MatrixMode(TMatrixStack stack) { Backend().MatrixMode(stack); }
void PushMatrix() { Backend().PushMatrix(); }
void PopMatrix() { Backend().PopMatrix(); }
void LoadIdentity() { Backend().LoadIdentity(); }
void Translate(float x, float y, float z) { Backend().Translate(x, y, z); }
void Rotate(float degrees, float x, float y, float z) { Backend().Rotate(degrees, x, y, z); }
void Scale(float x, float y, float z) { Backend().Scale(x, y, z); }
void MultMatrix(const TMatrix& m) { Backend().MultMatrix(m); }
void Perspective(double fovY, double aspect, double zNear, double zFar) {
  Backend().Perspective(fovY, aspect, zNear, zFar);
}
void Ortho(double left, double right, double bottom, double top, double zNear, double zFar) {
  Backend().Ortho(left, right, bottom, top, zNear, zFar);
}
TMatrix GetMatrix(TMatrixStack stack) { return Backend().GetMatrix(stack); }

void Enable(TCap cap) { Backend().SetCap(cap, true); }
void Disable(TCap cap) { Backend().SetCap(cap, false); }
void BlendFunc(TBlend blend) { Backend().BlendFunc(blend); }
void AlphaFunc(float reference) { Backend().AlphaFunc(reference); }
void LineWidth(float pixels) { Backend().LineWidth(pixels); }
void Scissor(const TRect& box) { Backend().Scissor(box); }
void Viewport(const TRect& box) { Backend().Viewport(box); }
TRect GetViewport() { return Backend().GetViewport(); }
void ClearColor(float r, float g, float b, float a) { Backend().ClearColor(r, g, b, a); }
void Clear() { Backend().Clear(); }

TTexture CreateTexture(int width, int height, const uint8_t* rgba) {
  return Backend().CreateTexture(width, height, rgba);
}
void UpdateTexture(TTexture texture, int x, int y, int width, int height, const uint8_t* rgba) {
  Backend().UpdateTexture(texture, x, y, width, height, rgba);
}
void DeleteTexture(TTexture texture) { Backend().DeleteTexture(texture); }
void BindTexture(TTexture texture) { Backend().BindTexture(texture); }
int MaxTextureSize() { return Backend().MaxTextureSize(); }

bool BuffersSupported() { return Backend().BuffersSupported(); }
TBuffer CreateBuffer(TVertexFormat format, const void* vertices, int count) {
  return Backend().CreateBuffer(format, vertices, count);
}
bool UpdateBuffer(TBuffer buffer, TVertexFormat format, const void* vertices, int count) {
  return Backend().UpdateBuffer(buffer, format, vertices, count);
}
void DrawBuffer(TBuffer buffer, TPrimitive mode, int first, int count) {
  render::TBackend& backend = Backend();
  const int vertices = backend.BufferVertices(buffer);
  const int begin = std::clamp(first, 0, vertices);
  const int64_t end = count < 0 ? vertices : std::clamp<int64_t>(int64_t{first} + count, 0, vertices);
  if (end > begin) backend.DrawBuffer(buffer, mode, begin, static_cast<int>(end - begin));
}
void DeleteBuffer(TBuffer buffer) {
  // A buffer outliving its context has nothing left to delete.
  if (render::CurrentContext() == 0) return;
  Backend().DeleteBuffer(buffer);
}

std::array<float, 3> VertexPosition(TVertexFormat format, const uint8_t* vertex) {
  std::array<float, 3> xyz{};
  std::memcpy(xyz.data(), vertex + VertexBytes(format) - sizeof xyz, sizeof xyz);
  return xyz;
}

std::array<float, 4> VertexColor(TVertexFormat format, const uint8_t* vertex, const std::array<float, 4>& otherwise) {
  std::array<float, 4> color = otherwise;
  if (format == TVertexFormat::C4UB_V3F) {
    for (std::size_t k = 0; k < 4; ++k) color[k] = static_cast<float>(vertex[k]) / 255.0f;
  } else if (format == TVertexFormat::C3F_V3F) {
    std::memcpy(color.data(), vertex, 3 * sizeof(float));
    color[3] = 1;
  }
  return color;
}

bool ContextCurrent() { return render::CurrentContext() != 0; }

void Flush() { Backend().Flush(); }
std::vector<uint8_t> ReadPixels(const TRect& box, bool alpha) {
  render::TBackend& backend = Backend();
  backend.Flush();
  const int channels = alpha ? 4 : 3;
  std::vector<uint8_t> pixels(static_cast<std::size_t>(box.Width) * static_cast<std::size_t>(box.Height) *
                              static_cast<std::size_t>(channels));
  // Nothing was drawn: a black frame, and no GL to ask.
  if (std::string_view(backend.Name()) == "null") return pixels;
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(box.X, box.Y, box.Width, box.Height, alpha ? GL_RGBA : GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}

void Finish() { Backend().Finish(); }
const char* BackendName() { return Backend().Name(); }
std::string TakeError() { return Backend().TakeError(); }

}  // namespace gfx
