// CoreBench.cpp -- spline evaluation and RC4 throughput.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "geometry/CubicSpline.h"
#include "geometry/Spline3D.h"
#include "services/RC4Stream.h"

namespace {

TExtendedArray Wiggle(int count) {
  TExtendedArray values;
  for (int i = 0; i < count; ++i) values.push_back((i * 37 % 11) - 5.0L);
  return values;
}

void BM_EvalCubicSpline(benchmark::State& state) {
  TExtendedArray c;
  CalcCubicSpline(Wiggle(static_cast<int>(state.range(0))), c);
  long double t = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(EvalCubicSpline(c, t));
    t += 0.000731L;
    if (t > 1) t -= 1;
  }
}
BENCHMARK(BM_EvalCubicSpline)->Arg(12)->Arg(200);

// The same in the software extended type, as the browser computes it.
void BM_EvalCubicSplineSoft(benchmark::State& state) {
  std::vector<TSoftExtended> values, c;
  for (int i = 0; i < static_cast<int>(state.range(0)); ++i) values.push_back((i * 37 % 11) - 5);
  CalcCubicSplineOf<TSoftExtended>(values, c);
  const TSoftExtended step = TSoftExtended(731) / TSoftExtended(1000000);
  TSoftExtended t = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(EvalCubicSplineOf<TSoftExtended>(c, t));
    t += step;
    if (t > 1) t -= 1;
  }
}
BENCHMARK(BM_EvalCubicSplineSoft)->Arg(12)->Arg(200);

void BM_CalcCubicSpline(benchmark::State& state) {
  const TExtendedArray values = Wiggle(static_cast<int>(state.range(0)));
  TExtendedArray c;
  for (auto _ : state) {
    CalcCubicSpline(values, c);
    benchmark::DoNotOptimize(c.data());
  }
}
BENCHMARK(BM_CalcCubicSpline)->Arg(12)->Arg(200);

// One ring's frame, as the tube mesh and the camera ask for it.
void BM_GetFrame(benchmark::State& state) {
  TTubeDimensions level;
  T3DSpline path;
  path.SetPoints(level, T3DPoints{Wiggle(12), Wiggle(12), TExtendedArray{0, -10, -20, -30, -40, -50, -60, -70, -80, -90, -100, -110}});
  TSplineFrame frame;
  float t = 0;
  for (auto _ : state) {
    path.GetFrame(1.0f / 1200, t, frame);
    benchmark::DoNotOptimize(frame);
    t += 1.0f / 1200;
    if (t > 1) t = 0;
  }
}
BENCHMARK(BM_GetFrame);

class TNullStream final : public TStream {
 public:
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void*, int64_t count) override { return count; }
  int64_t Seek(int64_t, TSeekOrigin) override { return 0; }
  int64_t GetSize() override { return 0; }
};

void BM_RC4Write(benchmark::State& state) {
  const std::string text(static_cast<std::size_t>(state.range(0)), 'x');
  TNullStream sink;
  for (auto _ : state) {
    TRC4StreamWriter writer(sink, kLevelKey);
    benchmark::DoNotOptimize(writer.Write(text.data(), static_cast<int64_t>(text.size())));
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RC4Write)->Arg(16 * 1024)->Arg(1024 * 1024);

}  // namespace
