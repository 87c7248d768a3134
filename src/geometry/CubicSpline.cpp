// CubicSpline.cpp -- building and evaluating the spline coefficients.
#include "geometry/CubicSpline.h"

#include <cstddef>

void CalcCubicSpline(TExtendedArray values, TExtendedArray& coefficients) {
  if (values.empty()) values = {0.0L, 0.0L};
  if (values.size() == 1) values.push_back(values[0]);
  if (values.size() == 2) {
    coefficients = {values[0], values[1] - values[0]};
    return;
  }

  const std::size_t n = values.size() - 1;  // segments
  // Interior second-derivative halves c(1) .. c(n-1) of the natural spline
  // with unit knot spacing; c(0) = c(n) = 0.
  TExtendedArray c(n + 1, 0.0L);
  TExtendedArray m(n - 1, 0.0L);
  TExtendedArray g(n - 1, 0.0L);
  auto rhs = [&](std::size_t i) { return 3.0L * (values[i] - 2.0L * values[i + 1] + values[i + 2]); };
  long double beta = 4.0L;
  m[0] = rhs(0) / beta;
  for (std::size_t i = 1; i + 2 <= n; ++i) {
    g[i] = 1.0L / beta;
    beta = 4.0L - g[i];
    m[i] = (rhs(i) - m[i - 1]) / beta;
  }
  for (std::size_t i = n - 1; i-- > 1;) {
    // i runs n-2 .. 1, so m(i-1) -= g(i) * m(i) covers n-3 .. 0.
    m[i - 1] -= g[i] * m[i];
  }
  for (std::size_t i = 0; i + 1 < n; ++i) c[i + 1] = m[i];

  coefficients.assign(4 * n, 0.0L);
  for (std::size_t k = 0; k < n; ++k) {
    coefficients[4 * k + 0] = values[k + 1];
    coefficients[4 * k + 1] = (2.0L * c[k + 1] + c[k]) / 3.0L + (values[k + 1] - values[k]);
    coefficients[4 * k + 2] = c[k + 1];
    coefficients[4 * k + 3] = (c[k + 1] - c[k]) / 3.0L;
  }
}

long double EvalCubicSpline(const TExtendedArray& coefficients, long double t) {
  const std::size_t length = coefficients.size();
  if (length == 2) return coefficients[0] + t * coefficients[1];
  if (length < 4) return 0.0L;

  const std::size_t n = length / 4;
  const long double s = t * static_cast<long double>(n);
  if (s != s) return s;  // NaN in, NaN out
  const long double h = 0.001L / static_cast<long double>(length);
  if (s < 0) {
    const long double p1 = EvalCubicSpline(coefficients, h);
    const long double p0 = EvalCubicSpline(coefficients, 0.0L);
    return p1 + (p1 - p0) * s * 4000.0L;
  }
  if (s > static_cast<long double>(n)) {
    const long double q1 = EvalCubicSpline(coefficients, 1.0L - h);
    const long double q2 = EvalCubicSpline(coefficients, 1.0L);
    return q1 + (s - static_cast<long double>(n)) * (q2 - q1) * 4000.0L;
  }
  std::size_t k = static_cast<std::size_t>(s);
  if (k >= n) k = n - 1;
  const long double u = s - static_cast<long double>(k) - 1.0L;
  const long double* seg = &coefficients[4 * k];
  return ((seg[3] * u + seg[2]) * u + seg[1]) * u + seg[0];
}
