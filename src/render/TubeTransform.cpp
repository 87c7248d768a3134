// TubeTransform.cpp -- the tube transform handed to OpenGL.
#include "render/TubeTransform.h"

#include "geometry/Spline3D.h"
#include "render/draw/Draw.h"

void ApplyTubeTransform(const T3DSpline& spline, float t, float roll) {
  const TMatrix4f m = spline.TubeTransform(t, roll);
  gfx::MultMatrix(m);
}
