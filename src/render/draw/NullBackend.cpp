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

void TNullBackend::Translate(float x, float y, float z) { MultMatrix(gfx::TranslationMatrix(x, y, z)); }

void TNullBackend::Scale(float x, float y, float z) { MultMatrix(gfx::ScalingMatrix(x, y, z)); }

void TNullBackend::Rotate(float degrees, float x, float y, float z) {
  if (const auto rotation = gfx::RotationMatrix(degrees, x, y, z)) MultMatrix(*rotation);
}

void TNullBackend::Perspective(double fovY, double aspect, double zNear, double zFar) {
  MultMatrix(gfx::PerspectiveMatrix(fovY, aspect, zNear, zFar));
}

void TNullBackend::Ortho(double left, double right, double bottom, double top, double zNear, double zFar) {
  MultMatrix(gfx::OrthoMatrix(left, right, bottom, top, zNear, zFar));
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
