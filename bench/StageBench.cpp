// StageBench.cpp -- loading a shipped stage (path, tube mesh, models, boss)
// and drawing one frame of it, at 1920 x 1080. Needs a display (Xvfb will
// do; give it a 1920x1080 screen) and the runtime folder laid out by the
// build.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

#include "objects/Bolt.h"
#include "objects/Boss.h"
#include "objects/MediumEnemyManager.h"
#include "objects/ParticleManager.h"
#include "objects/SmallEnemyManager.h"
#include "platform/SdlPlatform.h"
#include "render/Font.h"
#include "render/draw/Backend.h"
#include "render/draw/Draw.h"
#include "render/VertexBufferObject.h"
#include "services/Sound.h"
#include "stage/Level.h"
#include "render/FrameSetup.h"
#include "services/Random.h"

namespace {

constexpr int kWidth = 1920, kHeight = 1080;

void Perspective() { render::SetPerspective(kWidth, kHeight); }

struct TStageScene {
  TStageScene() {
    Platform = std::make_unique<platform::SdlPlatform>(
        platform::TWindowOptions{.Width = kWidth, .Height = kHeight, .CaptureMouse = false});
    gfx::Viewport({0, 0, kWidth, kHeight});
    // A kill plays its sound; nobody listens.
    ::setenv("SDL_AUDIODRIVER", "dummy", 0);
    Sound = std::make_unique<TSound>();
    Level = std::make_unique<TLevel>(*Platform, CreateTextContext(), Random, *Sound);
  }
  std::unique_ptr<platform::SdlPlatform> Platform;
  TRandom Random;
  std::unique_ptr<TSound> Sound;
  std::unique_ptr<TLevel> Level;
  std::string Stage = platform::ExecutableDirectory() + "data/Level01.level";
};

TStageScene& Scene() {
  static TStageScene scene;
  return scene;
}

// Argument 0 draws with the fixed-function backend, 1 with the shaders, 2
// with the shaders widening every wide line themselves (as on the page).
void UseBackend(benchmark::State& state) {
  constexpr render::TBackendKind kinds[] = {render::TBackendKind::FixedFunction, render::TBackendKind::Shader,
                                            render::TBackendKind::ShaderWidened};
  render::SelectBackend(kinds[state.range(0)]);
  state.counters["shader"] = static_cast<double>(state.range(0));
}

void BM_LoadStage(benchmark::State& state) {
  TStageScene& scene = Scene();
  for (auto _ : state) scene.Level->LoadFromFile(scene.Stage);
}
BENCHMARK(BM_LoadStage)->Unit(benchmark::kMillisecond);

// Draws the stage's frame as it stands, once per iteration; glFinish
// includes the drawing.
void RenderFrames(benchmark::State& state, TLevel& level) {
  gfx::Enable(gfx::TCap::DepthTest);
  for (auto _ : state) {
    gfx::Clear();
    Perspective();
    level.Render();
    gfx::Finish();
  }
}

// A frame in full flight: the finished tube from its buffer, the objects
// and the HUD.
void BM_RenderFlightFrame(benchmark::State& state) {
  TStageScene& scene = Scene();
  UseBackend(state);
  TLevel& level = *scene.Level;
  level.LoadFromFile(scene.Stage);
  level.fTime = 20000;
  level.fPos = 0.3f;
  level.fBolts.clear();
  RenderFrames(state, level);
}
BENCHMARK(BM_RenderFlightFrame)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The gate's first frames: the ring still small and every bolt visible, as
// they are until each first flickers (50 to 125 ms into the stage); with
// the second argument 0, the same frame without its bolts.
void BM_RenderGateAllBolts(benchmark::State& state) {
  TStageScene& scene = Scene();
  UseBackend(state);
  TLevel& level = *scene.Level;
  level.LoadFromFile(scene.Stage);
  level.fTime = 50;
  for (auto& bolt : level.fBolts) bolt->fVisible = state.range(1) != 0;
  RenderFrames(state, level);
}
BENCHMARK(BM_RenderGateAllBolts)->ArgsProduct({{0, 1, 2}, {0, 1}})->Unit(benchmark::kMillisecond);

}  // namespace

namespace {

// The busiest frame of play: 1,000 player shots in flight, the whole swarm
// and every medium enemy within reach, the boss active and firing. Nothing
// is drawn; the shots keep to the near part of the tube so that every one
// of them is tested against every enemy and the boss each frame.
void BM_ProgressBusiestFrame(benchmark::State& state) {
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

namespace {

// The busiest moment of the last stage in flight, as the autopilot meets it: the
// whole swarm ahead and closing, its shots, every gunboat within reach and
// firing, a stream of full volleys, the shield up so that the moment lasts.
void SetBusiestMoment(TLevel& level) {
  level.LoadFromFile(platform::ExecutableDirectory() + "data/Level08.level");
  const float c = static_cast<float>(level.fCircles);
  level.fTime = 60000;
  level.fPos = 0.45f;
  level.fSpeed = level.fPlayer.MaxSpeed;
  level.fBolts.clear();
  level.fPlayer.ShieldTime = 1e12f;
  level.fPlayer.Weapon = 9;
  level.fLife = 100;
  const float ship = level.ShipPos();
  auto& swarm = level.fSmallEnemy.Manager->fSmallEnemy;
  for (std::size_t i = 0; i < swarm.size(); ++i) {
    swarm[i]->fPos = ship + static_cast<float>(10 + (i * 97) % 110) / c;
    level.fSmallEnemy.Manager->fParticleManager.Add(level.fSmallEnemy.Particle.get())
        .Init(false, swarm[i]->fPos - 5 / c, swarm[i]->fRoll, -40 / c, 0, 0, 0, 5000);
  }
  for (auto& enemy : level.fMediumEnemy.Manager->fMediumEnemys) enemy->fPos = ship + 20 / c;
  for (int i = 0; i < 180; ++i)
    level.fPlayer.ParticleManager->Add(level.fPlayer.Particle.get())
        .Init(true, ship + static_cast<float>(i / 9) * 2 / c, level.fRoll + static_cast<float>(i % 9 * 4 - 16),
              (level.fSpeed + 15) / c, 0, 0, 0, level.fPlayer.ParticleLifeTime);
}

// P1: a whole frame at the busiest moment, one update and the picture with
// HUD, against the tube buffer alone from the same camera. The moment is set
// again every 30 frames (untimed) so that it stays the busiest.
void BM_P1_FullFrame(benchmark::State& state) {
  UseBackend(state);
  TLevel& level = *Scene().Level;
  SetBusiestMoment(level);
  int frames = 0;
  for (auto _ : state) {
    if (++frames % 30 == 0) {
      state.PauseTiming();
      SetBusiestMoment(level);
      state.ResumeTiming();
    }
    level.Progress(16.667f);
    gfx::Clear();
    Perspective();
    level.Render();
    gfx::Finish();
  }
  state.counters["shots"] = static_cast<double>(level.fPlayer.ParticleManager->Items().size() +
                                                level.fSmallEnemy.Manager->fParticleManager.Items().size() +
                                                level.fMediumEnemy.Manager->fParticleManager.Items().size());
}
BENCHMARK(BM_P1_FullFrame)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_P1_TubeOnly(benchmark::State& state) {
  UseBackend(state);
  TLevel& level = *Scene().Level;
  SetBusiestMoment(level);
  for (auto _ : state) {
    gfx::Clear();
    Perspective();
    level.RenderCamera();
    level.fTubeVBO->DrawVisible(gfx::TPrimitive::LineStrip);
    gfx::Finish();
  }
}
BENCHMARK(BM_P1_TubeOnly)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The tube alone, with the shaders, from a tenth, half and nine tenths of
// the way through the first stage. How much of the tube is in view sets the
// cost of a frame: early on the whole rest of it lies ahead, a knot of
// thousands of rings a pixel or less across, and a software rasteriser pays
// for every one of their lines.
void BM_TubeAlongStage(benchmark::State& state) {
  render::SelectBackend(render::TBackendKind::Shader);
  TLevel& level = *Scene().Level;
  level.LoadFromFile(Scene().Stage);
  level.fTime = 60000;
  level.fPos = static_cast<float>(state.range(0)) / 100.0f;
  for (auto _ : state) {
    gfx::Clear();
    Perspective();
    level.RenderCamera();
    gfx::Enable(gfx::TCap::Blend);
    gfx::BlendFunc(gfx::TBlend::Alpha);
    level.fTubeVBO->DrawVisible(gfx::TPrimitive::LineStrip);
    gfx::Finish();
  }
}
BENCHMARK(BM_TubeAlongStage)->Arg(10)->Arg(50)->Arg(90)->Unit(benchmark::kMillisecond);

}  // namespace
