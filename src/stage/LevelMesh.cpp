// LevelMesh.cpp -- the geometry built at load: tube mesh, ring table and the
// start-gate lightning.
#include <algorithm>
#include <cmath>

#include "geometry/SimMath.h"
#include "objects/Bolt.h"
#include "render/VertexBufferObject.h"
#include "services/Random.h"
#include "stage/Level.h"

namespace {

// Colours are meant to lie in 0..1; a stage file's larger or negative
// components saturate instead of wrapping round.
uint8_t ToByte(double value) { return static_cast<uint8_t>(std::clamp(std::nearbyint(value), 0.0, 255.0)); }

}  // namespace

std::array<uint8_t, 4> TLevel::RingColor(float t) const {
  const double f = t > 1 ? 1.0 : t;
  auto mix = [&](float start, float end) { return ToByte((1 - f) * start * 255 + f * end * 255); };
  std::array<uint8_t, 4> c{mix(fTubeStartColor.r, fTubeEndColor.r), mix(fTubeStartColor.g, fTubeEndColor.g),
                           mix(fTubeStartColor.b, fTubeEndColor.b), 255};
  if (t > 1) {
    const double fade = 1 - (t - 1) / (static_cast<double>(fEndLength) / fCircles);
    c[3] = ToByte(std::clamp(fade, 0.0, 1.0) * 255);
  }
  return c;
}

TLevel::TTubeSlice TLevel::TubeSlice(float t) const {
  TTubeSlice s;
  fSpline.GetFrame(1.0f / static_cast<float>(fCircles), t, s.Frame);
  s.Beyond = t > 1;
  if (s.Beyond) s.Narrowing = simmath::Pow(static_cast<double>(t), 50.0);
  s.Opening = simmath::Pow(std::max(static_cast<double>(t) - 1.0, 0.0) + 1.0, 50.0);
  s.CosPitch = simmath::Cos(s.Frame.Pitch);
  s.SinPitch = simmath::Sin(s.Frame.Pitch);
  s.CosYaw = simmath::Cos(s.Frame.Yaw);
  s.SinYaw = simmath::Sin(s.Frame.Yaw);
  return s;
}

std::vector<TLevel::TTubeSlice> TLevel::RingSlices(int32_t count) const {
  std::vector<TTubeSlice> slices;
  slices.reserve(static_cast<std::size_t>(std::max(count, 0)));
  for (int32_t i = 0; i < count; ++i) slices.push_back(TubeSlice(static_cast<float>(i) / static_cast<float>(fCircles)));
  return slices;
}

TVector3f TLevel::TubeVertex(float t, float angle, float k) const { return TubeVertex(TubeSlice(t), angle, k); }

TVector3f TLevel::TubeVertex(const TTubeSlice& slice, float angle, float k) const {
  // A mesh has thousands of points at a few hundred values of t: the slice
  // is computed once for each, with the same bits.
  const TSplineFrame& f = slice.Frame;
  double a = angle;
  if (slice.Beyond) a = a / slice.Narrowing;
  a -= M_PI / 2;
  const double e = slice.Opening;
  const float x = static_cast<float>(simmath::Cos(a) * fTubeSize * e * k);
  const float y = static_cast<float>(simmath::Sin(a) * fTubeSize * e * k + (e - 1) * fTubeSize);
  const double yPrime = slice.CosPitch * y;
  const double w = -slice.SinPitch * y;
  const double bigX = slice.CosYaw * x - slice.SinYaw * w;
  const double bigZ = slice.SinYaw * x + slice.CosYaw * w;
  return {static_cast<float>(bigX + f.Position.x), static_cast<float>(yPrime + f.Position.y),
          static_cast<float>(bigZ + f.Position.z)};
}

void TLevel::BuildTube() {
  const int32_t c = fCircles;
  const int32_t p = fPointsPerCircle;
  const int32_t last = fCircles + fEndLength;
  const int32_t h = p / 2;
  const double step = 2 * M_PI / p;
  const std::vector<TTubeSlice> slices = RingSlices(last + 1);
  auto add = [&](int32_t ring, int32_t n) {
    const float t = static_cast<float>(ring) / static_cast<float>(c);
    const std::array<uint8_t, 4> colour = RingColor(t);
    const TVector3f v = TubeVertex(slices[static_cast<std::size_t>(ring)], static_cast<float>(n * step), 1);
    fTubeVBO->Add(TVertexC4UBV3F{colour[0], colour[1], colour[2], colour[3], v.x, v.y, v.z});
  };
  fTubeVBO->SetSize((last + 1) * (p + 1) * 2, gfx::TVertexFormat::C4UB_V3F);
  // Both passes snake back and forth, so the mesh is one line strip: every
  // ring first, then every lengthwise line.
  for (int32_t i = 0; i <= last; ++i) {
    for (int32_t j = -h; j <= h; ++j) add(i, i % 2 == 0 ? j : -j);
  }
  for (int32_t n = h; n >= -h; --n) {
    for (int32_t q = last; q >= 0; --q) add(n % 2 == 0 ? q : last - q, n);
  }
  fTubeVBO->Finish();
}

void TLevel::BuildRings() {
  const int32_t p = fPointsPerCircle;
  fRings.assign(static_cast<std::size_t>(fCircles), TTubeRing{});
  const std::vector<TTubeSlice> slices = RingSlices(fCircles);
  for (int32_t i = 0; i < fCircles; ++i) {
    TTubeRing& ring = fRings[static_cast<std::size_t>(i)];
    const float t = static_cast<float>(i) / static_cast<float>(fCircles);
    ring.Points.resize(static_cast<std::size_t>(p));
    for (int32_t j = 0; j < p; ++j)
      ring.Points[static_cast<std::size_t>(j)] =
          TubeVertex(slices[static_cast<std::size_t>(i)], static_cast<float>(j * 2 * M_PI / p), 1);
    const std::array<uint8_t, 4> c = RingColor(t);
    ring.Color = {c[0] / 255.0f, c[1] / 255.0f, c[2] / 255.0f, c[3] / 255.0f};
  }

  // The intro's rings as line pairs, each ring followed by the lines back
  // to the one before, in the order the intro draws them.
  std::size_t lines = 0;
  for (std::size_t i = 0; i < fRings.size(); ++i) lines += fRings[i].Points.size() * (i == 0 ? 1 : 2);
  fIntroVBO->SetSize(static_cast<int32_t>(2 * lines), gfx::TVertexFormat::C4UB_V3F);
  auto byte = [](float channel) { return static_cast<uint8_t>(std::lround(std::clamp(channel, 0.0f, 1.0f) * 255)); };
  auto add = [&](const TTubeRing& ring, const TVector3f& v) {
    fIntroVBO->Add(TVertexC4UBV3F{byte(ring.Color.r), byte(ring.Color.g), byte(ring.Color.b), byte(ring.Color.a), v.x,
                                  v.y, v.z});
  };
  for (std::size_t i = 0; i < fRings.size(); ++i) {
    const TTubeRing& ring = fRings[i];
    for (std::size_t j = 0; j < ring.Points.size(); ++j) {
      add(ring, ring.Points[j]);
      add(ring, ring.Points[(j + 1) % ring.Points.size()]);
    }
    if (i == 0) continue;
    for (std::size_t j = 0; j < ring.Points.size(); ++j) {
      add(ring, fRings[i - 1].Points[j]);
      add(ring, ring.Points[j]);
    }
  }
  fIntroVBO->Finish();
}

void TLevel::BuildBolts() {
  const int32_t p = fPointsPerCircle;
  const float circles = static_cast<float>(fCircles);
  auto gateSettings = [](TBolt& bolt) {
    bolt.fMaxSide = bolt.fMaxUp = 10;
    bolt.fMaxSideStep = bolt.fMaxUpStep = 0.3f;
    bolt.fJitterSize = 0.4f;
    bolt.fLineWidth = 2;
    bolt.fFadeEnds = false;
  };
  fBolts.clear();
  std::vector<TVector3f> ring;
  for (int32_t i = 0; i <= p; ++i) ring.push_back(TubeVertex(-2 / circles, static_cast<float>(i * 2 * M_PI / p), 1));
  auto gate = std::make_unique<TBolt>(ring, 50, Random());
  gateSettings(*gate);
  gate->fFlickerTime = 100;
  gate->fFlickerChance = 3;
  fBolts.push_back(std::move(gate));
  for (int32_t i = 1; i <= p; ++i) {
    const float angle = static_cast<float>((i - 1) * 2 * M_PI / p);
    auto bolt = std::make_unique<TBolt>(std::vector<TVector3f>{TubeVertex(0, angle, 1), TubeVertex(-20 / circles, angle, 5)}, 100, Random());
    gateSettings(*bolt);
    bolt->SetStrands(2);
    bolt->fFlickerTime = static_cast<float>(75 + Random().Rnd(50));
    bolt->fFlickerChance = 40;
    bolt->fReshapeTime = 0;
    fBolts.push_back(std::move(bolt));
  }
}
