// CubicSpline.cpp -- building and evaluating the spline coefficients.
#include "geometry/CubicSpline.h"

#include <cstddef>
#include <utility>

namespace {

// The nearest extended value to 0.001, the same bits as the literal 0.001L
// of the x87 build: a correctly rounded quotient of the same real number.
template <typename E>
const E kThousandth = E(1) / E(1000);

}  // namespace

template <typename E>
void CalcCubicSplineOf(std::vector<E> values, std::vector<E>& coefficients) {
  if (values.empty()) values = {E(0), E(0)};
  if (values.size() == 1) values.push_back(values[0]);
  if (values.size() == 2) {
    coefficients = {values[0], values[1] - values[0]};
    return;
  }

  const std::size_t n = values.size() - 1;  // segments
  // Interior second-derivative halves c(1) .. c(n-1) of the natural spline
  // with unit knot spacing; c(0) = c(n) = 0.
  std::vector<E> c(n + 1, E(0));
  std::vector<E> m(n - 1, E(0));
  std::vector<E> g(n - 1, E(0));
  auto rhs = [&](std::size_t i) { return E(3) * (values[i] - E(2) * values[i + 1] + values[i + 2]); };
  E beta = E(4);
  m[0] = rhs(0) / beta;
  for (std::size_t i = 1; i + 2 <= n; ++i) {
    g[i] = E(1) / beta;
    beta = E(4) - g[i];
    m[i] = (rhs(i) - m[i - 1]) / beta;
  }
  for (std::size_t i = n - 1; i-- > 1;) {
    // i runs n-2 .. 1, so m(i-1) -= g(i) * m(i) covers n-3 .. 0.
    m[i - 1] -= g[i] * m[i];
  }
  for (std::size_t i = 0; i + 1 < n; ++i) c[i + 1] = m[i];

  coefficients.assign(4 * n, E(0));
  for (std::size_t k = 0; k < n; ++k) {
    coefficients[4 * k + 0] = values[k + 1];
    coefficients[4 * k + 1] = (E(2) * c[k + 1] + c[k]) / E(3) + (values[k + 1] - values[k]);
    coefficients[4 * k + 2] = c[k + 1];
    coefficients[4 * k + 3] = (c[k + 1] - c[k]) / E(3);
  }
}

template <typename E>
E EvalCubicSplineOf(const std::vector<E>& coefficients, E t) {
  const std::size_t length = coefficients.size();
  if (length == 2) return coefficients[0] + t * coefficients[1];
  if (length < 4) return E(0);

  const std::size_t n = length / 4;
  const E s = t * static_cast<E>(n);
  if (s != s) return s;  // NaN in, NaN out
  const E h = kThousandth<E> / static_cast<E>(length);
  if (s < 0) {
    const E p1 = EvalCubicSplineOf(coefficients, h);
    const E p0 = EvalCubicSplineOf(coefficients, E(0));
    return p1 + (p1 - p0) * s * E(4000);
  }
  if (s > static_cast<E>(n)) {
    const E q1 = EvalCubicSplineOf(coefficients, E(1) - h);
    const E q2 = EvalCubicSplineOf(coefficients, E(1));
    return q1 + (s - static_cast<E>(n)) * (q2 - q1) * E(4000);
  }
  std::size_t k = static_cast<std::size_t>(s);
  if (k >= n) k = n - 1;
  const E u = s - static_cast<E>(k) - E(1);
  const E* seg = &coefficients[4 * k];
  return ((seg[3] * u + seg[2]) * u + seg[1]) * u + seg[0];
}

template void CalcCubicSplineOf<TSoftExtended>(std::vector<TSoftExtended>, std::vector<TSoftExtended>&);
template TSoftExtended EvalCubicSplineOf<TSoftExtended>(const std::vector<TSoftExtended>&, TSoftExtended);
#if RV_HARDWARE_EXTENDED
template void CalcCubicSplineOf<long double>(std::vector<long double>, std::vector<long double>&);
template long double EvalCubicSplineOf<long double>(const std::vector<long double>&, long double);
#endif

void CalcCubicSpline(TExtendedArray values, TExtendedArray& coefficients) {
  CalcCubicSplineOf<TExtended>(std::move(values), coefficients);
}

TExtended EvalCubicSpline(const TExtendedArray& coefficients, TExtended t) {
  return EvalCubicSplineOf<TExtended>(coefficients, t);
}
