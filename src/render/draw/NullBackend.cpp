// NullBackend.cpp -- the matrix stacks and the handles of the backend that
// draws nothing.
#include "render/draw/NullBackend.h"

#include <cmath>
#include <utility>

namespace render {

namespace {

constexpr gfx::TMatrix kIdentity{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

}  // namespace

TNullBackend::TNullBackend() {
  fModelView[0] = kIdentity;
  fProjection[0] = kIdentity;
}

gfx::TMatrix& TNullBackend::Top() {
  return fStack == gfx::TMatrixStack::Projection ? fProjection[static_cast<std::size_t>(fProjectionTop)]
                                                 : fModelView[static_cast<std::size_t>(fModelViewTop)];
}

void TNullBackend::PushMatrix() {
  // As in GL, a push past the depth and a pop past the bottom change
  // nothing and are reported.
  auto& stack = fStack == gfx::TMatrixStack::Projection ? fProjection : fModelView;
  int& top = fStack == gfx::TMatrixStack::Projection ? fProjectionTop : fModelViewTop;
  if (top + 1 >= static_cast<int>(stack.size())) {
    if (fError.empty()) fError = "stack overflow";
    return;
  }
  stack[static_cast<std::size_t>(top + 1)] = stack[static_cast<std::size_t>(top)];
  ++top;
}

void TNullBackend::PopMatrix() {
  int& top = fStack == gfx::TMatrixStack::Projection ? fProjectionTop : fModelViewTop;
  if (top == 0) {
    if (fError.empty()) fError = "stack underflow";
    return;
  }
  --top;
}

void TNullBackend::LoadIdentity() { Top() = kIdentity; }

void TNullBackend::MultMatrix(const gfx::TMatrix& m) { Top() = gfx::Multiply(Top(), m); }

void TNullBackend::Translate(float x, float y, float z) { MultMatrix({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1}); }

void TNullBackend::Scale(float x, float y, float z) { MultMatrix({x, 0, 0, 0, 0, y, 0, 0, 0, 0, z, 0, 0, 0, 0, 1}); }

void TNullBackend::Rotate(float degrees, float x, float y, float z) {
  const float length = std::sqrt(x * x + y * y + z * z);
  if (length == 0) return;
  x /= length;
  y /= length;
  z /= length;
  const float radians = degrees * static_cast<float>(M_PI / 180.0);
  const float c = std::cos(radians), s = std::sin(radians), t = 1 - c;
  MultMatrix({x * x * t + c, y * x * t + z * s, x * z * t - y * s, 0,   //
              x * y * t - z * s, y * y * t + c, y * z * t + x * s, 0,   //
              x * z * t + y * s, y * z * t - x * s, z * z * t + c, 0,   //
              0, 0, 0, 1});
}

void TNullBackend::Perspective(double fovY, double aspect, double zNear, double zFar) {
  const double f = 1.0 / std::tan(fovY * M_PI / 360.0);
  const double depth = zNear - zFar;
  gfx::TMatrix m{};
  m[0] = static_cast<float>(f / aspect);
  m[5] = static_cast<float>(f);
  m[10] = static_cast<float>((zFar + zNear) / depth);
  m[11] = -1;
  m[14] = static_cast<float>(2 * zFar * zNear / depth);
  MultMatrix(m);
}

void TNullBackend::Ortho(double left, double right, double bottom, double top, double zNear, double zFar) {
  gfx::TMatrix m{};
  m[0] = static_cast<float>(2 / (right - left));
  m[5] = static_cast<float>(2 / (top - bottom));
  m[10] = static_cast<float>(-2 / (zFar - zNear));
  m[12] = static_cast<float>(-(right + left) / (right - left));
  m[13] = static_cast<float>(-(top + bottom) / (top - bottom));
  m[14] = static_cast<float>(-(zFar + zNear) / (zFar - zNear));
  m[15] = 1;
  MultMatrix(m);
}

gfx::TMatrix TNullBackend::GetMatrix(gfx::TMatrixStack stack) {
  return stack == gfx::TMatrixStack::Projection ? fProjection[static_cast<std::size_t>(fProjectionTop)]
                                                : fModelView[static_cast<std::size_t>(fModelViewTop)];
}

gfx::TBuffer TNullBackend::CreateBuffer(gfx::TVertexFormat format, const void*, int count) {
  if (count < 0) return 0;
  fBuffers[++fLastBuffer] = {format, count};
  return fLastBuffer;
}

bool TNullBackend::UpdateBuffer(gfx::TBuffer buffer, gfx::TVertexFormat format, const void*, int count) {
  const auto it = fBuffers.find(buffer);
  return it != fBuffers.end() && it->second.Format == format && it->second.Count == count;
}

int TNullBackend::BufferVertices(gfx::TBuffer buffer) {
  const auto it = fBuffers.find(buffer);
  return it == fBuffers.end() ? 0 : it->second.Count;
}

std::string TNullBackend::TakeError() { return std::exchange(fError, std::string()); }

}  // namespace render
