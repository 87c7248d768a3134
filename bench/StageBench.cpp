// StageBench.cpp -- loading a shipped stage (path, tube mesh, models, boss)
// and drawing one frame of it. Needs a display (Xvfb will do) and the
// runtime folder laid out by the build.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

#include "objects/Boss.h"
#include "objects/MediumEnemyManager.h"
#include "objects/ParticleManager.h"
#include "objects/SmallEnemyManager.h"
#include "platform/SdlPlatform.h"
#include "render/Font.h"
#include "render/GL.h"
#include "services/Sound.h"
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

namespace {

// The busiest frame of play: 1,000 player shots in flight, the whole swarm
// and every medium enemy within reach, the boss active and firing. Nothing
// is drawn; the shots keep to the near part of the tube so that every one
// of them is tested against every enemy and the boss each frame.
void BM_ProgressBusiestFrame(benchmark::State& state) {
  ::setenv("SDL_AUDIODRIVER", "dummy", 0);
  InitAudio();  // a kill plays its sound
  TStageScene& scene = Scene();
  TLevel& level = *scene.Level;
  level.LoadFromFile(platform::ExecutableDirectory() + "data/Level05.level");
  const float c = static_cast<float>(level.fCircles);
  level.fTime = 60000;
  level.fPos = 0.4f;
  level.fSpeed = 0;
  level.fBolts.clear();
  level.fPlayer.ShieldTime = 1e12f;
  level.fLife = 100;
  for (auto& enemy : level.fSmallEnemy.Manager->fSmallEnemy) {
    enemy->fSpeed = 0;
    enemy->fPos = level.fPos + (30 + 100 * static_cast<float>(std::rand()) / RAND_MAX) / c;
  }
  for (auto& enemy : level.fMediumEnemy.Manager->fMediumEnemys) enemy->fPos = level.ShipPos() + 20 / c;
  level.fBoss->fActive = true;
  for (int i = 0; i < 1000; ++i)
    level.fPlayer.ParticleManager->Add(level.fPlayer.Particle.get())
        .Init(true, level.ShipPos() + static_cast<float>(i % 20) / c, static_cast<float>(i % 360 - 180), 0, 0, 0, 0,
              1e12f);
  for (auto _ : state) level.Progress(16);
  state.counters["player_shots"] = static_cast<double>(level.fPlayer.ParticleManager->Items().size());
  state.counters["boss_shots"] = static_cast<double>(level.fBoss->fParticleManager.Items().size());
  state.counters["small_enemies"] = static_cast<double>(level.fSmallEnemy.Manager->fSmallEnemy.size());
  state.counters["medium_enemies"] = static_cast<double>(level.fMediumEnemy.Manager->fMediumEnemys.size());
}
BENCHMARK(BM_ProgressBusiestFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
