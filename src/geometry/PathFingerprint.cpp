// PathFingerprint.cpp -- hashing every spline result of the given paths.
#include "geometry/PathFingerprint.h"

#include <cstring>

#include "geometry/CubicSpline.h"
#include "geometry/Extended.h"

namespace {

struct TFnv {
  uint64_t Hash = 0xcbf29ce484222325ULL;
  void Add(uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
      Hash ^= (value >> (8 * i)) & 0xFF;
      Hash *= 0x100000001b3ULL;
    }
  }
  template <typename E>
  void Add(E value) {
    const TExtendedBits bits = BitsOf(value);
    Add(bits.Significand, 8);
    Add(bits.SignExponent, 2);
  }
};

}  // namespace

template <typename E>
uint64_t PathFingerprint(const std::vector<TPathProbe>& paths) {
  TFnv fnv;
  for (const TPathProbe& path : paths) {
    std::vector<E> values[3];
    for (const TVector3f& p : path.Points) {
      values[0].push_back(E(p.x));
      values[1].push_back(E(p.y));
      values[2].push_back(E(p.z));
    }
    std::vector<E> coefficients[3];
    for (int axis = 0; axis < 3; ++axis) {
      CalcCubicSplineOf<E>(values[axis], coefficients[axis]);
      for (const E& c : coefficients[axis]) fnv.Add(c);
    }
    const int circles = path.Circles > 0 ? path.Circles : 1;
    const float step = 1.0f / static_cast<float>(circles);
    for (int i = -circles / 10; i <= circles + circles / 5; ++i) {
      const float t = static_cast<float>(i) / static_cast<float>(circles);
      for (const float at : {t, t + step}) {
        for (int axis = 0; axis < 3; ++axis) {
          const E value = EvalCubicSplineOf<E>(coefficients[axis], E(at));
          fnv.Add(value);
          const float single = static_cast<float>(value);
          uint32_t singleBits;
          std::memcpy(&singleBits, &single, 4);
          fnv.Add(singleBits, 4);
        }
      }
    }
  }
  return fnv.Hash;
}

template uint64_t PathFingerprint<TSoftExtended>(const std::vector<TPathProbe>&);
#if RV_HARDWARE_EXTENDED
template uint64_t PathFingerprint<long double>(const std::vector<TPathProbe>&);
#endif
