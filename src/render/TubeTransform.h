// TubeTransform.h -- placing the modelview origin on the tube wall.
#pragma once

class T3DSpline;

// Multiplies the current modelview matrix by the path's tube transform at
// path parameter t and roll angle `roll` (degrees).
void ApplyTubeTransform(const T3DSpline& spline, float t, float roll);
