// StageBench.cpp -- loading a shipped stage (path, tube mesh, models, boss)
// and drawing one frame of it. Needs a display (Xvfb will do) and the
// runtime folder laid out by the build.
#include <benchmark/benchmark.h>

#include <memory>

#include "platform/SdlPlatform.h"
#include "render/Font.h"
#include "render/GL.h"
#include "stage/Level.h"

namespace {

struct TStageScene {
  TStageScene() {
    Platform = std::make_unique<platform::SdlPlatform>(
        platform::TWindowOptions{.Width = 1280, .Height = 720, .CaptureMouse = false});
    glViewport(0, 0, 1280, 720);
    Level = std::make_unique<TLevel>(*Platform, CreateTextContext());
  }
  std::unique_ptr<platform::SdlPlatform> Platform;
  std::unique_ptr<TLevel> Level;
  std::string Stage = platform::ExecutableDirectory() + "data/Level01.level";
};

TStageScene& Scene() {
  static TStageScene scene;
  return scene;
}

void BM_LoadStage(benchmark::State& state) {
  TStageScene& scene = Scene();
  for (auto _ : state) scene.Level->LoadFromFile(scene.Stage);
}
BENCHMARK(BM_LoadStage)->Unit(benchmark::kMillisecond);

// A frame in full flight: the finished tube from its buffer, the objects
// and the HUD; glFinish includes the drawing.
void BM_RenderFlightFrame(benchmark::State& state) {
  TStageScene& scene = Scene();
  TLevel& level = *scene.Level;
  level.LoadFromFile(scene.Stage);
  level.fTime = 20000;
  level.fPos = 0.3f;
  level.fBolts.clear();
  glEnable(GL_DEPTH_TEST);
  for (auto _ : state) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 1280.0 / 720.0, 0.001, 10000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    level.Render();
    glFinish();
  }
}
BENCHMARK(BM_RenderFlightFrame)->Unit(benchmark::kMillisecond);

}  // namespace
