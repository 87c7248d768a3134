// TextBench.cpp -- printing text: a HUD-sized block from a warm glyph cache,
// and the first print at a new font size. Needs a display (Xvfb will do).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "platform/SdlPlatform.h"
#include "render/Font.h"
#include "render/draw/Draw.h"
#include "render/FrameSetup.h"

namespace {

const char* const kHud =
    "Punkte: 0012345\n"
    "Leben: 3   Schild: 87%\n"
    "Waffe: Stufe 4\n"
    "Zeitbonus: 2500   Lebensbonus: 3000\n"
    "Gesamtpunkte: 0017845";

// One window, GL context and text context for the whole run.
struct TTextScene {
  TTextScene() {
    Platform = std::make_unique<platform::SdlPlatform>(
        platform::TWindowOptions{.Width = 1280, .Height = 1024, .CaptureMouse = false});
    Context = CreateTextContext();
    render::SetOverlay(1280, 1024);
  }
  std::unique_ptr<platform::SdlPlatform> Platform;
  ts::TtsContextID Context = 0;
  std::string FontFile = platform::ExecutableDirectory() + "data\\lcd.ttf";
};

TTextScene& Scene() {
  static TTextScene scene;
  return scene;
}

// Per frame, as the stage HUD prints: glyphs cached, the block laid out and
// drawn; glFinish includes the drawing itself.
void BM_PrintHudWarm(benchmark::State& state) {
  TTextScene& scene = Scene();
  TglFont font(scene.Context, 0, 1024 / 20, scene.FontFile);
  font.Print(kHud, ts::kAlignLeft, 10, 10, 1260, 1000);
  gfx::Finish();
  for (auto _ : state) {
    font.Print(kHud, ts::kAlignLeft, 10, 10, 1260, 1000);
    gfx::Finish();
  }
}
BENCHMARK(BM_PrintHudWarm)->Unit(benchmark::kMicrosecond);

// The first print of a font just created: every glyph rasterised, shadowed
// and uploaded. Creating and destroying the font is not timed.
void BM_PrintHudCold(benchmark::State& state) {
  TTextScene& scene = Scene();
  int size = 20;
  for (auto _ : state) {
    state.PauseTiming();
    auto font = std::make_unique<TglFont>(scene.Context, 0, size, scene.FontFile);
    size = size < 80 ? size + 1 : 20;
    gfx::Finish();
    state.ResumeTiming();
    font->Print(kHud, ts::kAlignLeft, 10, 10, 1260, 1000);
    gfx::Finish();
    state.PauseTiming();
    font.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_PrintHudCold)->Unit(benchmark::kMicrosecond);

}  // namespace
