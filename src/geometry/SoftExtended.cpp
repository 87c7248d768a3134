// SoftExtended.cpp -- x87 extended arithmetic on 64- and 128-bit integers.
#include "geometry/SoftExtended.h"

#include <bit>
#include <cstring>
#include <utility>

namespace {

// std::bit_cast, which the web build's C++ library lacks.
template <typename To, typename From>
To BitCast(From from) {
  static_assert(sizeof(To) == sizeof(From));
  To to;
  std::memcpy(&to, &from, sizeof to);
  return to;
}

using u128 = unsigned __int128;

constexpr int kBias = 16383;
constexpr uint16_t kMaxExponent = 0x7FFF;
constexpr uint64_t kIntegerBit = uint64_t{1} << 63;
constexpr uint64_t kQuietBit = uint64_t{1} << 62;

// A finite operand taken apart: value = significand * 2^exponent (the
// exponent of the significand's lowest bit).
struct TUnpacked {
  bool negative;
  int exponent;
  uint64_t significand;
};

enum class TClass { Zero, Finite, Infinite, NaN, Unsupported };

TClass Classify(uint64_t significand, uint16_t signExponent) {
  const uint16_t exponent = signExponent & kMaxExponent;
  if (exponent == kMaxExponent) {
    if (!(significand & kIntegerBit)) return TClass::Unsupported;  // pseudo-infinity, pseudo-NaN
    return (significand << 1) == 0 ? TClass::Infinite : TClass::NaN;
  }
  if (exponent == 0) return significand == 0 ? TClass::Zero : TClass::Finite;  // pseudo-denormals count
  return (significand & kIntegerBit) ? TClass::Finite : TClass::Unsupported;   // unnormal
}

// Subnormals (and pseudo-denormals) have the exponent of the smallest normal.
TUnpacked Unpack(uint64_t significand, uint16_t signExponent) {
  const int biased = signExponent & kMaxExponent;
  return {(signExponent & 0x8000) != 0, (biased == 0 ? 1 : biased) - kBias - 63, significand};
}

// Shifts right, keeping every lost bit as a one in the lowest bit.
u128 ShiftRightJam(u128 value, int count) {
  if (count <= 0) return value;
  if (count >= 128) return value != 0 ? 1 : 0;
  const u128 lost = value & ((u128{1} << count) - 1);
  return (value >> count) | (lost != 0 ? 1 : 0);
}

int LeadingZeros(u128 value) {
  const uint64_t high = static_cast<uint64_t>(value >> 64);
  return high != 0 ? std::countl_zero(high) : 64 + std::countl_zero(static_cast<uint64_t>(value));
}

// Rounds value * 2^exponent (value != 0; `sticky` stands for nonzero bits
// below value's lowest) to the extended format, to nearest even.
void RoundPack(bool negative, int exponent, u128 value, bool sticky, uint64_t& significand, uint16_t& signExponent) {
  const uint16_t sign = negative ? 0x8000 : 0;
  const int shift = LeadingZeros(value);
  value <<= shift;
  exponent -= shift;
  // Now the top bit is bit 127: the value is 1.f * 2^(exponent + 127).
  int biased = exponent + 127 + kBias;
  if (biased >= kMaxExponent) {
    significand = kIntegerBit;
    signExponent = sign | kMaxExponent;
    return;
  }
  if (biased <= 0) {
    value = ShiftRightJam(value, 1 - biased);
    biased = 0;
  }
  uint64_t kept = static_cast<uint64_t>(value >> 64);
  const uint64_t rest = static_cast<uint64_t>(value);
  const bool half = (rest & kIntegerBit) != 0;
  const bool beyondHalf = (rest & ~kIntegerBit) != 0 || sticky;
  if (half && (beyondHalf || (kept & 1))) {
    ++kept;
    if (kept == 0) {  // carried out of the significand
      kept = kIntegerBit;
      ++biased;
      if (biased >= kMaxExponent) {
        significand = kIntegerBit;
        signExponent = sign | kMaxExponent;
        return;
      }
    }
  }
  if (biased == 0 && (kept & kIntegerBit)) biased = 1;  // rounded up into the normals
  significand = kept;
  signExponent = static_cast<uint16_t>(sign | biased);
}

// The NaN result of an operation with at least one NaN operand: a quiet
// one before a signalling one, else the larger significand, and on equal
// significands the positive one; quietened in every case.
TSoftExtended PropagateNaN(uint64_t aSig, uint16_t aSe, bool aNaN, uint64_t bSig, uint16_t bSe, bool bNaN) {
  if (aNaN && bNaN) {
    const bool aQuiet = (aSig & kQuietBit) != 0;
    const bool bQuiet = (bSig & kQuietBit) != 0;
    bool takeB;
    if (aQuiet != bQuiet) {
      takeB = bQuiet;
    } else if (aSig != bSig) {
      takeB = bSig > aSig;
    } else {
      takeB = (aSe & 0x8000) != 0;
    }
    if (takeB) return TSoftExtended::FromBits(bSig | kQuietBit, bSe);
    return TSoftExtended::FromBits(aSig | kQuietBit, aSe);
  }
  return aNaN ? TSoftExtended::FromBits(aSig | kQuietBit, aSe) : TSoftExtended::FromBits(bSig | kQuietBit, bSe);
}

constexpr TSoftExtended kIndefinite = TSoftExtended::FromBits(kIntegerBit | kQuietBit, 0xFFFF);

TSoftExtended Infinity(bool negative) {
  return TSoftExtended::FromBits(kIntegerBit, static_cast<uint16_t>((negative ? 0x8000 : 0) | kMaxExponent));
}

TSoftExtended Zero(bool negative) { return TSoftExtended::FromBits(0, negative ? 0x8000 : 0); }

TSoftExtended Pack(bool negative, int exponent, u128 value, bool sticky) {
  if (value == 0) return Zero(negative);
  uint64_t significand;
  uint16_t signExponent;
  RoundPack(negative, exponent, value, sticky, significand, signExponent);
  return TSoftExtended::FromBits(significand, signExponent);
}

// Rounds a finite nonzero extended value to an IEEE binary format with
// `precision` significand bits (the hidden one included) and exponent bias
// `bias`, giving its bits without the sign.
uint64_t NarrowFinite(const TUnpacked& v, int precision, int bias) {
  // Normalise: the top bit of the significand at bit 63.
  const int shift = std::countl_zero(v.significand);
  const uint64_t significand = v.significand << shift;
  const int exponent = v.exponent - shift + 63;  // of the top bit
  const int minExponent = 1 - bias;
  const int maxField = 2 * bias + 1;  // all ones: infinity
  int keep = precision;
  if (exponent < minExponent) keep -= minExponent - exponent;
  uint64_t kept;
  bool half;
  bool beyondHalf;
  if (keep > 0) {
    const int drop = 64 - keep;
    kept = significand >> drop;
    half = (significand >> (drop - 1)) & 1;
    beyondHalf = (significand & ((uint64_t{1} << (drop - 1)) - 1)) != 0;
  } else {
    kept = 0;
    half = keep == 0;  // the top bit is the rounding bit
    beyondHalf = keep == 0 ? (significand << 1) != 0 : true;
  }
  uint64_t bits;
  if (exponent < minExponent) {
    bits = kept;  // subnormal: exponent field 0
  } else {
    if (exponent + bias >= maxField) return static_cast<uint64_t>(maxField) << (precision - 1);
    // The integer bit of `kept` adds one to the exponent field.
    bits = (static_cast<uint64_t>(exponent + bias - 1) << (precision - 1)) + kept;
  }
  if (half && (beyondHalf || (kept & 1))) ++bits;  // a carry runs into the exponent, up to infinity
  return bits;
}

}  // namespace

// An IEEE binary value's sign, exponent field and fraction, whose fraction
// has `fractionBits` bits and whose exponent field is `maxField` at its
// largest and biased by `bias`: exactly, as the x87 loads it.
TSoftExtended TSoftExtended::FromIeee(bool negative, int field, uint64_t fraction, int maxField, int fractionBits,
                                      int bias) {
  const uint16_t sign = negative ? 0x8000 : 0;
  const int up = 63 - fractionBits;  // the fraction's top bit to bit 62
  if (field == maxField) {
    uint64_t significand = kIntegerBit | (fraction << up);
    if (fraction != 0) significand |= kQuietBit;
    return {significand, static_cast<uint16_t>(sign | kMaxExponent)};
  }
  if (field == 0) {
    if (fraction == 0) return {0, sign};
    const int shift = std::countl_zero(fraction);
    return {fraction << shift, static_cast<uint16_t>(sign | (kBias - (bias - 1) - (shift - up)))};
  }
  return {kIntegerBit | (fraction << up), static_cast<uint16_t>(sign | (field - bias + kBias))};
}

TSoftExtended::TSoftExtended(double value) {
  const uint64_t bits = BitCast<uint64_t>(value);
  *this = FromIeee(bits >> 63, static_cast<int>((bits >> 52) & 0x7FF), bits & ((uint64_t{1} << 52) - 1), 0x7FF, 52, 1023);
}

TSoftExtended::TSoftExtended(float value) {
  const uint32_t bits = BitCast<uint32_t>(value);
  *this = FromIeee(bits >> 31, static_cast<int>((bits >> 23) & 0xFF), bits & ((uint32_t{1} << 23) - 1), 0xFF, 23, 127);
}

TSoftExtended TSoftExtended::FromUint64(uint64_t value) {
  if (value == 0) return Zero(false);
  const int shift = std::countl_zero(value);
  return FromBits(value << shift, static_cast<uint16_t>(kBias + 63 - shift));
}

TSoftExtended TSoftExtended::FromInt64(int64_t value) {
  const uint64_t magnitude = value < 0 ? uint64_t{0} - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  TSoftExtended result = FromUint64(magnitude);
  if (value < 0) result.fSignExponent |= 0x8000;
  return result;
}

// The IEEE binary value nearest to this one, as bits: `fractionBits` of
// fraction under an exponent field that is `maxField` at its largest and
// biased by `bias`, the sign above them. As the x87 stores it.
uint64_t TSoftExtended::ToIeee(int fractionBits, int maxField, int bias) const {
  const int signBit = fractionBits + std::bit_width(static_cast<unsigned>(maxField));
  const uint64_t sign = (fSignExponent & 0x8000) ? uint64_t{1} << signBit : 0;
  const uint64_t infinity = static_cast<uint64_t>(maxField) << fractionBits;
  switch (Classify(fSignificand, fSignExponent)) {
    case TClass::Zero:
      return sign;
    case TClass::Infinite:
      return sign | infinity;
    case TClass::NaN:
      return sign | infinity | ((fSignificand | kQuietBit) >> (63 - fractionBits) & ((uint64_t{1} << fractionBits) - 1));
    case TClass::Unsupported:  // the indefinite
      return (uint64_t{1} << signBit) | infinity | (uint64_t{1} << (fractionBits - 1));
    case TClass::Finite:
      break;
  }
  return sign | NarrowFinite(Unpack(fSignificand, fSignExponent), fractionBits + 1, bias);
}

TSoftExtended::operator double() const { return BitCast<double>(ToIeee(52, 0x7FF, 1023)); }

TSoftExtended::operator float() const { return BitCast<float>(static_cast<uint32_t>(ToIeee(23, 0xFF, 127))); }

uint64_t TSoftExtended::TruncateToUint64() const {
  if (Classify(fSignificand, fSignExponent) != TClass::Finite || (fSignExponent & 0x8000)) return 0;
  const TUnpacked v = Unpack(fSignificand, fSignExponent);
  if (v.exponent >= 0) return v.exponent == 0 ? v.significand : 0;  // 2^64 and beyond do not fit
  if (v.exponent <= -64) return 0;
  return v.significand >> -v.exponent;
}

int64_t TSoftExtended::TruncateToInt64() const {
  const TSoftExtended magnitude = FromBits(fSignificand, fSignExponent & kMaxExponent);
  const uint64_t m = magnitude.TruncateToUint64();
  if (m > uint64_t{1} << 63 || (m == uint64_t{1} << 63 && !(fSignExponent & 0x8000))) return 0;
  return (fSignExponent & 0x8000) ? static_cast<int64_t>(uint64_t{0} - m) : static_cast<int64_t>(m);
}

bool TSoftExtended::IsNaN() const {
  const TClass c = Classify(fSignificand, fSignExponent);
  return c == TClass::NaN || c == TClass::Unsupported;
}

TSoftExtended TSoftExtended::operator-() const {
  return FromBits(fSignificand, static_cast<uint16_t>(fSignExponent ^ 0x8000));
}

TSoftExtended operator+(TSoftExtended a, TSoftExtended b) {
  const TClass ca = Classify(a.fSignificand, a.fSignExponent);
  const TClass cb = Classify(b.fSignificand, b.fSignExponent);
  if (ca == TClass::Unsupported || cb == TClass::Unsupported) return kIndefinite;
  if (ca == TClass::NaN || cb == TClass::NaN)
    return PropagateNaN(a.fSignificand, a.fSignExponent, ca == TClass::NaN, b.fSignificand, b.fSignExponent,
                        cb == TClass::NaN);
  const bool aNegative = (a.fSignExponent & 0x8000) != 0;
  const bool bNegative = (b.fSignExponent & 0x8000) != 0;
  if (ca == TClass::Infinite || cb == TClass::Infinite) {
    if (ca == TClass::Infinite && cb == TClass::Infinite && aNegative != bNegative) return kIndefinite;
    return ca == TClass::Infinite ? a : b;
  }
  if (ca == TClass::Zero && cb == TClass::Zero) return Zero(aNegative && bNegative);
  if (ca == TClass::Zero) return Pack(bNegative, Unpack(b.fSignificand, b.fSignExponent).exponent, b.fSignificand, false);
  if (cb == TClass::Zero) return Pack(aNegative, Unpack(a.fSignificand, a.fSignExponent).exponent, a.fSignificand, false);

  TUnpacked x = Unpack(a.fSignificand, a.fSignExponent);
  TUnpacked y = Unpack(b.fSignificand, b.fSignExponent);
  if (x.exponent < y.exponent) std::swap(x, y);
  // 62 spare bits below the significands carry the rounding information;
  // two spare bits above hold a carry.
  const u128 big = u128{x.significand} << 62;
  const u128 small = ShiftRightJam(u128{y.significand} << 62, x.exponent - y.exponent);
  const int exponent = x.exponent - 62;
  if (x.negative == y.negative) return Pack(x.negative, exponent, big + small, false);
  if (big == small) return Zero(false);
  if (big > small) return Pack(x.negative, exponent, big - small, false);
  return Pack(y.negative, exponent, small - big, false);
}

TSoftExtended operator-(TSoftExtended a, TSoftExtended b) {
  const TClass cb = Classify(b.fSignificand, b.fSignExponent);
  // A NaN subtrahend keeps its sign, as the x87's fsub leaves it.
  if (cb == TClass::NaN || cb == TClass::Unsupported) return a + b;
  return a + (-b);
}

TSoftExtended operator*(TSoftExtended a, TSoftExtended b) {
  const TClass ca = Classify(a.fSignificand, a.fSignExponent);
  const TClass cb = Classify(b.fSignificand, b.fSignExponent);
  if (ca == TClass::Unsupported || cb == TClass::Unsupported) return kIndefinite;
  if (ca == TClass::NaN || cb == TClass::NaN)
    return PropagateNaN(a.fSignificand, a.fSignExponent, ca == TClass::NaN, b.fSignificand, b.fSignExponent,
                        cb == TClass::NaN);
  const bool negative = ((a.fSignExponent ^ b.fSignExponent) & 0x8000) != 0;
  if (ca == TClass::Infinite || cb == TClass::Infinite) {
    if (ca == TClass::Zero || cb == TClass::Zero) return kIndefinite;
    return Infinity(negative);
  }
  if (ca == TClass::Zero || cb == TClass::Zero) return Zero(negative);
  const TUnpacked x = Unpack(a.fSignificand, a.fSignExponent);
  const TUnpacked y = Unpack(b.fSignificand, b.fSignExponent);
  return Pack(negative, x.exponent + y.exponent, u128{x.significand} * y.significand, false);
}

TSoftExtended operator/(TSoftExtended a, TSoftExtended b) {
  const TClass ca = Classify(a.fSignificand, a.fSignExponent);
  const TClass cb = Classify(b.fSignificand, b.fSignExponent);
  if (ca == TClass::Unsupported || cb == TClass::Unsupported) return kIndefinite;
  if (ca == TClass::NaN || cb == TClass::NaN)
    return PropagateNaN(a.fSignificand, a.fSignExponent, ca == TClass::NaN, b.fSignificand, b.fSignExponent,
                        cb == TClass::NaN);
  const bool negative = ((a.fSignExponent ^ b.fSignExponent) & 0x8000) != 0;
  if (ca == TClass::Infinite) return cb == TClass::Infinite ? kIndefinite : Infinity(negative);
  if (cb == TClass::Infinite) return Zero(negative);
  if (cb == TClass::Zero) return ca == TClass::Zero ? kIndefinite : Infinity(negative);
  if (ca == TClass::Zero) return Zero(negative);
  TUnpacked x = Unpack(a.fSignificand, a.fSignExponent);
  TUnpacked y = Unpack(b.fSignificand, b.fSignExponent);
  // Normalised significands give a quotient of 64 or 65 bits; one more bit
  // and the remainder decide the rounding.
  int shift = std::countl_zero(x.significand);
  x.significand <<= shift;
  x.exponent -= shift;
  shift = std::countl_zero(y.significand);
  y.significand <<= shift;
  y.exponent -= shift;
  const u128 dividend = u128{x.significand} << 64;
  u128 quotient = dividend / y.significand;
  u128 remainder = dividend % y.significand;
  remainder <<= 1;
  quotient <<= 1;
  if (remainder >= y.significand) {
    quotient |= 1;
    remainder -= y.significand;
  }
  return Pack(negative, x.exponent - y.exponent - 65, quotient, remainder != 0);
}

bool operator==(TSoftExtended a, TSoftExtended b) {
  const TClass ca = Classify(a.fSignificand, a.fSignExponent);
  const TClass cb = Classify(b.fSignificand, b.fSignExponent);
  if (ca == TClass::NaN || cb == TClass::NaN || ca == TClass::Unsupported || cb == TClass::Unsupported) return false;
  if (ca == TClass::Zero && cb == TClass::Zero) return true;
  return !(a < b) && !(b < a);
}

bool operator<(TSoftExtended a, TSoftExtended b) {
  const TClass ca = Classify(a.fSignificand, a.fSignExponent);
  const TClass cb = Classify(b.fSignificand, b.fSignExponent);
  if (ca == TClass::NaN || cb == TClass::NaN || ca == TClass::Unsupported || cb == TClass::Unsupported) return false;
  if (ca == TClass::Zero && cb == TClass::Zero) return false;
  const bool aNegative = (a.fSignExponent & 0x8000) != 0;
  const bool bNegative = (b.fSignExponent & 0x8000) != 0;
  if (aNegative != bNegative) return aNegative;
  // Same sign: compare magnitudes, each as (exponent of its top bit,
  // significand shifted up to it), which also puts a pseudo-denormal where
  // its value lies.
  auto magnitudeLess = [](TSoftExtended p, TSoftExtended q) {
    if (p.fSignificand == 0 || q.fSignificand == 0) return p.fSignificand == 0 && q.fSignificand != 0;
    const TUnpacked x = Unpack(p.fSignificand, p.fSignExponent);
    const TUnpacked y = Unpack(q.fSignificand, q.fSignExponent);
    const int xShift = std::countl_zero(x.significand);
    const int yShift = std::countl_zero(y.significand);
    const int xTop = x.exponent - xShift;
    const int yTop = y.exponent - yShift;
    if (xTop != yTop) return xTop < yTop;
    return (x.significand << xShift) < (y.significand << yShift);
  };
  return aNegative ? magnitudeLess(b, a) : magnitudeLess(a, b);
}

bool operator<=(TSoftExtended a, TSoftExtended b) { return a < b || a == b; }
