// FrameSetup.cpp -- the game's projections.
#include "render/FrameSetup.h"

#include "render/draw/Draw.h"

namespace render {

void SetPerspective(int width, int height) {
  const double aspect = height > 0 ? static_cast<double>(width) / height : 1.0;
  gfx::MatrixMode(gfx::TMatrixStack::Projection);
  gfx::LoadIdentity();
  gfx::Perspective(45.0, aspect, 0.001, 10000.0);
  gfx::MatrixMode(gfx::TMatrixStack::ModelView);
  gfx::LoadIdentity();
}

void BeginFrame(int width, int height) {
  gfx::ClearColor(0, 0, 0, 0);
  gfx::Enable(gfx::TCap::DepthTest);
  gfx::Enable(gfx::TCap::CullFace);
  gfx::Clear();
  SetPerspective(width, height);
}

void SetOverlay(float width, float height) {
  gfx::MatrixMode(gfx::TMatrixStack::Projection);
  gfx::LoadIdentity();
  gfx::Ortho(0, width, height, 0, 0, 10);
  gfx::MatrixMode(gfx::TMatrixStack::ModelView);
  gfx::LoadIdentity();
  gfx::Disable(gfx::TCap::DepthTest);
}

void BeginOverlay(float width, float height) {
  gfx::MatrixMode(gfx::TMatrixStack::Projection);
  gfx::PushMatrix();
  SetOverlay(width, height);
}

void EndOverlay() {
  gfx::Enable(gfx::TCap::DepthTest);
  gfx::MatrixMode(gfx::TMatrixStack::Projection);
  gfx::PopMatrix();
  gfx::MatrixMode(gfx::TMatrixStack::ModelView);
}

}  // namespace render
