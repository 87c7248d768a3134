// FrameSetup.cpp -- the game's projections.
#include "render/FrameSetup.h"

#include "render/GL.h"

namespace render {

void SetPerspective(int width, int height) {
  const double aspect = height > 0 ? static_cast<double>(width) / height : 1.0;
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45.0, aspect, 0.001, 10000.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

void BeginFrame(int width, int height) {
  glClearColor(0, 0, 0, 0);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_CULL_FACE);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  SetPerspective(width, height);
}

void SetOverlay(float width, float height) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, width, height, 0, 0, 10);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_DEPTH_TEST);
}

void BeginOverlay(float width, float height) {
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  SetOverlay(width, height);
}

void EndOverlay() {
  glEnable(GL_DEPTH_TEST);
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
}

}  // namespace render
