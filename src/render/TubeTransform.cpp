// TubeTransform.cpp -- the tube transform handed to OpenGL.
#include "render/TubeTransform.h"

#include "geometry/Spline3D.h"
#include "render/GL.h"

void ApplyTubeTransform(const T3DSpline& spline, float t, float roll) {
  const TMatrix4f m = spline.TubeTransform(t, roll);
  glMultMatrixf(m.data());
}
