// CubicSpline.h -- natural cubic spline through equally spaced values.
//
// The curve parameter T runs from 0 (first value) to 1 (last value) whatever
// the number of values; outside 0..1 the curve continues along its end
// tangents. All arithmetic is extended precision (TExtended: the same bits
// on every target).
#pragma once

#include <vector>

#include "geometry/Extended.h"

using TExtendedArray = std::vector<TExtended>;

// Builds the coefficient set of `values` into `coefficients`: two values
// give the linear form [y0, y1 - y0]; three or more give A, B, C, D per
// segment, each segment written about its end knot. Fewer than two values
// count as two equal ones (0 when there are none).
void CalcCubicSpline(TExtendedArray values, TExtendedArray& coefficients);

// The curve's value at T.
[[nodiscard]] TExtended EvalCubicSpline(const TExtendedArray& coefficients, TExtended t);

// The same two for one element type: TExtended, and on x86 also
// TSoftExtended, the software form other targets use (a test holds the
// two against each other).
template <typename E>
void CalcCubicSplineOf(std::vector<E> values, std::vector<E>& coefficients);
template <typename E>
[[nodiscard]] E EvalCubicSplineOf(const std::vector<E>& coefficients, E t);
