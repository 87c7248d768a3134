// DrawBackendTest.cpp -- the fixed-function and the shader backend against
// each other: the same moments of a played stage, drawn by each, show the
// same picture; and once warmed up, the shader backend draws a frame of
// flight without touching the heap.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "objects/Boss.h"
#include "objects/SmallEnemyManager.h"
#include "platform/VirtualKeys.h"
#include "render/FrameSetup.h"
#include "render/draw/Backend.h"
#include "render/draw/Draw.h"
#include "stage/StageRules.h"
#include "support/Allocations.h"
#include "support/PictureMatch.h"
#include "support/StagePlay.h"

namespace {

struct TRun {
  std::vector<std::string> Names;
  std::vector<std::vector<uint8_t>> Frames;
  int FlightFrames = 0;            // frames of flight drawn after the warm-up
  uint64_t FlightAllocations = 0;  // heap allocations while drawing them
};

// Plays the test stage with fire held, steering at the boss once in the
// arena, and keeps the frames of four moments: the first explosion among
// shots and power-ups, the boss arena, the result table counting, and the
// table counted. The stage and its generator start alike for both backends,
// so both play the same frames.
TRun PlayWith(render::TBackendKind kind) {
  render::SelectBackend(kind);
  TStagePlay play;
  play.Load({{"SmallEnemy/Count", "8"}, {"MediumEnemy/Position", "0,3;"}, {"MediumEnemy/Life", "3"},
             {"Boss/Life", "20"}});
  EXPECT_STREQ(gfx::BackendName(), kind == render::TBackendKind::FixedFunction ? "gl1" : "shader");
  TLevel& level = *play.Level;
  const int w = play.Window.Width(), h = play.Window.Height();
  TRun run;
  auto draw = [&] {
    render::BeginFrame(w, h);
    gfx::PushMatrix();
    level.Render();
    gfx::PopMatrix();
  };
  auto keep = [&](const std::string& name) {
    draw();
    run.Names.push_back(name);
    run.Frames.push_back(play.Window.ReadPixels());
  };
  auto exploding = [&] {
    for (const auto& enemy : level.fSmallEnemy.Manager->fSmallEnemy)
      if (enemy->fExploding) return true;
    return false;
  };

  play.Hold('X', true);
  play.Hold(platform::kVkUp, true);
  bool explosion = false, arena = false;
  int arenaFrames = 0;
  for (int frame = 0; frame < 8000 && level.fFinish.State == TFinishState::Running; ++frame) {
    const bool inArena = level.ShipPos() >= 1;
    play.Hold(platform::kVkLeft, inArena && level.fBoss->fRoll > level.fRoll + 2);
    play.Hold(platform::kVkRight, inArena && level.fBoss->fRoll < level.fRoll - 2);
    play.Frame(16);
    if (!explosion && exploding()) {
      keep("explosion");
      explosion = true;
    } else if (!arena && inArena && ++arenaFrames == 40) {
      keep("arena");
      arena = true;
    } else if (level.fTime > 10000 && level.ShipPos() < 1 && frame % 8 == 0) {
      // Flight: the intro's buffers and every glyph of the HUD are made.
      const uint64_t before = HeapAllocations();
      draw();
      run.FlightAllocations += HeapAllocations() - before;
      ++run.FlightFrames;
    }
  }
  play.Hold('X', false);
  play.Hold(platform::kVkUp, false);
  EXPECT_EQ(level.fFinish.State, TFinishState::Passed);
  while (level.fFinish.Time < kCountTotal.Begin + 100) play.Frame(16);
  keep("result counting");
  while (level.fFinish.Time < kFinishCountedMs) play.Frame(16);
  keep("result");
  return run;
}

TEST(DrawBackends, DrawTheSamePictureAndTheShadersAllocateNothingInFlight) {
  const TRun fixed = PlayWith(render::TBackendKind::FixedFunction);
  const TRun shader = PlayWith(render::TBackendKind::Shader);
  render::SelectBackend(render::TBackendKind::Auto);
  ASSERT_EQ(fixed.Names, (std::vector<std::string>{"explosion", "arena", "result counting", "result"}));
  ASSERT_EQ(shader.Names, fixed.Names);
  const int w = 320, h = 240;
  for (std::size_t i = 0; i < fixed.Frames.size(); ++i) {
    SCOPED_TRACE(fixed.Names[i]);
    const TPictureMatch there = MatchPicture(fixed.Frames[i], shader.Frames[i], w, h);
    const TPictureMatch back = MatchPicture(shader.Frames[i], fixed.Frames[i], w, h);
    EXPECT_GT(there.Lit, 500);
    EXPECT_GE(there.Share(), 0.99) << there.Matched << " of " << there.Lit;
    EXPECT_GE(back.Share(), 0.99) << back.Matched << " of " << back.Lit;
    if (there.Share() < 0.99 || back.Share() < 0.99) {
      const std::string stem = testing::TempDir() + "backends-" + std::to_string(i);
      WritePpm(stem + "-gl1.ppm", fixed.Frames[i], w, h);
      WritePpm(stem + "-shader.ppm", shader.Frames[i], w, h);
      std::fprintf(stderr, "frames in %s-{gl1,shader}.ppm\n", stem.c_str());
    }
  }
  EXPECT_GT(shader.FlightFrames, 50);
  EXPECT_EQ(shader.FlightAllocations, 0u) << "over " << shader.FlightFrames << " frames";
}

}  // namespace
