// DrawBackendTest.cpp -- the fixed-function and the shader backend against
// each other: the same moments of a played stage, drawn by each, show the
// same picture; once warmed up, the shader backend draws a frame of flight
// without touching the heap; ranges of wide lines, a texture changed
// mid-frame and matrix stack errors come out alike; the backend that draws
// nothing keeps the matrices GL keeps; and a backend goes with its context.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "objects/Boss.h"
#include "objects/SmallEnemyManager.h"
#include "platform/VirtualKeys.h"
#include "render/FrameSetup.h"
#include "render/VertexBufferObject.h"
#include "render/draw/Backend.h"
#include "render/draw/Draw.h"
#include "stage/StageRules.h"
#include "support/Allocations.h"
#include "support/GLWindow.h"
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

// The shaders draw wide lines as GL's own lines where GL offers them and
// widen them in the program where it does not (WebGL): both ways match.
TEST(DrawBackends, DrawTheSamePictureAndTheShadersAllocateNothingInFlight) {
  const TRun fixed = PlayWith(render::TBackendKind::FixedFunction);
  ASSERT_EQ(fixed.Names, (std::vector<std::string>{"explosion", "arena", "result counting", "result"}));
  for (const render::TBackendKind kind : {render::TBackendKind::Shader, render::TBackendKind::ShaderWidened}) {
    const std::string name = kind == render::TBackendKind::Shader ? "shader" : "shader-widened";
    SCOPED_TRACE(name);
    const TRun shader = PlayWith(kind);
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
        WritePpm(stem + "-" + name + ".ppm", shader.Frames[i], w, h);
        std::fprintf(stderr, "frames in %s-{gl1,%s}.ppm\n", stem.c_str(), name.c_str());
      }
    }
    EXPECT_GT(shader.FlightFrames, 50);
    EXPECT_EQ(shader.FlightAllocations, 0u) << "over " << shader.FlightFrames << " frames";
  }
  render::SelectBackend(render::TBackendKind::Auto);
}

// Runs `body` once with each backend (the shaders once more widening every
// wide line themselves), then leaves the choice as it was.
void WithEachBackend(const std::function<void()>& body) {
  for (const render::TBackendKind kind : {render::TBackendKind::FixedFunction, render::TBackendKind::Shader,
                                          render::TBackendKind::ShaderWidened}) {
    render::SelectBackend(kind);
    SCOPED_TRACE(gfx::BackendName());
    body();
  }
  render::SelectBackend(render::TBackendKind::Auto);
}

// Part of a zigzag across the window, three pixels wide, as a strip, a loop
// and line pairs from an odd vertex: each backend draws that part only.
TEST(DrawBackends, DrawTheSameRangesOfWideLines) {
  TGLWindow window(64, 64);
  std::vector<TVertexV3F> zigzag;
  for (int i = 0; i < 16; ++i) zigzag.push_back({4 + static_cast<float>(i) * 3.7f, i % 2 ? 8.0f : 56.0f, 0});
  struct TCase {
    gfx::TPrimitive Mode;
    int First, Count;
  };
  for (const TCase& range : {TCase{gfx::TPrimitive::LineStrip, 5, 4}, TCase{gfx::TPrimitive::LineLoop, 5, 4},
                             TCase{gfx::TPrimitive::Lines, 3, 6}}) {
    SCOPED_TRACE(static_cast<int>(range.Mode));
    std::vector<std::vector<uint8_t>> frames;
    WithEachBackend([&] {
      window.BeginOverlay();
      gfx::Color(1, 1, 1);
      gfx::LineWidth(3);
      TVertexBufferObject vbo;
      vbo.SetSize(static_cast<int32_t>(zigzag.size()), gfx::TVertexFormat::V3F);
      for (const TVertexV3F& v : zigzag) vbo.Add(v);
      vbo.Finish();
      vbo.Draw(range.Mode, range.First, range.Count);
      gfx::LineWidth(1);
      frames.push_back(window.ReadPixels());
    });
    for (std::size_t i = 1; i < frames.size(); ++i) {
      const TPictureMatch there = MatchPicture(frames[0], frames[i], 64, 64);
      const TPictureMatch back = MatchPicture(frames[i], frames[0], 64, 64);
      EXPECT_GT(there.Lit, 100);
      EXPECT_GE(there.Share(), 0.97) << i << ": " << there.Matched << " of " << there.Lit;
      EXPECT_GE(back.Share(), 0.97) << i << ": " << back.Matched << " of " << back.Lit;
    }
  }
}

// A texture filled anew between two draws of one frame: the first draw
// still shows what it held then (a glyph cell reused within a frame).
TEST(DrawBackends, ShowATextureChangedMidFrameOnlyInTheDrawsThatFollow) {
  TGLWindow window(64, 64);
  WithEachBackend([&] {
    window.BeginOverlay();
    const uint8_t red[] = {255, 0, 0, 255}, green[] = {0, 255, 0, 255};
    const gfx::TTexture texture = gfx::CreateTexture(1, 1, red);
    gfx::Enable(gfx::TCap::Texture2D);
    gfx::BindTexture(texture);
    gfx::Color(1, 1, 1);
    auto square = [](float x) {
      gfx::Begin(gfx::TPrimitive::Quads);
      for (const auto& [dx, dy] : {std::pair{0, 0}, {0, 16}, {16, 16}, {16, 0}}) {
        gfx::TexCoord(0.5f, 0.5f);
        gfx::Vertex(x + static_cast<float>(dx), 8 + static_cast<float>(dy));
      }
      gfx::End();
    };
    square(4);
    gfx::UpdateTexture(texture, 0, 0, 1, 1, green);
    square(36);
    gfx::Disable(gfx::TCap::Texture2D);
    const std::vector<uint8_t> pixels = window.ReadPixels();
    EXPECT_EQ(TGLWindow::Pixel(pixels, 64, 12, 16), 0xFF0000u);
    EXPECT_EQ(TGLWindow::Pixel(pixels, 64, 44, 16), 0x00FF00u);
    gfx::DeleteTexture(texture);
    EXPECT_EQ(gfx::TakeError(), "");
  });
}

// Pushing past a stack's depth and popping past its bottom are errors in
// both backends, and the pushes that did not fit change nothing.
TEST(DrawBackends, ReportMatrixStackOverflowAndUnderflowAlike) {
  TGLWindow window(64, 64);
  WithEachBackend([] {
    for (const gfx::TMatrixStack stack : {gfx::TMatrixStack::ModelView, gfx::TMatrixStack::Projection}) {
      gfx::MatrixMode(stack);
      gfx::LoadIdentity();
      EXPECT_EQ(gfx::TakeError(), "");
      for (int i = 0; i < 40; ++i) gfx::PushMatrix();
      EXPECT_EQ(gfx::TakeError(), "stack overflow");
      gfx::Translate(1, 2, 3);
      for (int i = 0; i < 31; ++i) gfx::PopMatrix();
      EXPECT_EQ(gfx::TakeError(), "");
      EXPECT_EQ(gfx::GetMatrix(stack)[12], 0.0f);
      gfx::PopMatrix();
      EXPECT_EQ(gfx::TakeError(), "stack underflow");
    }
    gfx::MatrixMode(gfx::TMatrixStack::ModelView);
  });
}

// The backend that draws nothing keeps what code reads back as GL keeps
// it: both matrix stacks through every kind of change, their errors, the
// viewport; and its buffers refill only with what they hold.
TEST(DrawBackends, TheNullBackendKeepsMatricesAndViewportAsGLDoes) {
  TGLWindow window(64, 64);
  struct TKept {
    gfx::TMatrix ModelView, Projection, Pushed;
    gfx::TRect Viewport;
    std::string Errors;
  };
  auto transform = [] {
    TKept kept;
    static_cast<void>(gfx::TakeError());
    gfx::Viewport({3, 5, 40, 30});
    gfx::MatrixMode(gfx::TMatrixStack::Projection);
    gfx::LoadIdentity();
    gfx::Perspective(45, 4.0 / 3.0, 0.1, 50);
    gfx::PushMatrix();
    gfx::Ortho(-2, 6, -1, 3, -1, 7);
    kept.Pushed = gfx::GetMatrix(gfx::TMatrixStack::Projection);
    gfx::PopMatrix();
    gfx::MatrixMode(gfx::TMatrixStack::ModelView);
    gfx::LoadIdentity();
    gfx::Translate(1, -2, -5);
    gfx::Rotate(33, 1, 2, 0.5f);
    gfx::Scale(2, 0.5f, 3);
    gfx::MultMatrix({1, 0.25f, 0, 0, 0, 1, 0, 0, 0.5f, 0, 1, 0, 0, 0, 0, 1});
    gfx::PushMatrix();
    gfx::Rotate(-120, 0, 0, 1);
    gfx::PopMatrix();
    kept.ModelView = gfx::GetMatrix(gfx::TMatrixStack::ModelView);
    kept.Projection = gfx::GetMatrix(gfx::TMatrixStack::Projection);
    kept.Viewport = gfx::GetViewport();
    gfx::PopMatrix();
    kept.Errors = gfx::TakeError();
    gfx::LoadIdentity();
    return kept;
  };
  render::SelectBackend(render::TBackendKind::FixedFunction);
  const TKept gl = transform();
  render::SelectBackend(render::TBackendKind::Null);
  ASSERT_STREQ(gfx::BackendName(), "null");
  const TKept null = transform();
  EXPECT_EQ(null.Viewport, gl.Viewport);
  EXPECT_EQ(null.Errors, "stack underflow");
  EXPECT_EQ(null.Errors, gl.Errors);
  for (std::size_t i = 0; i < 16; ++i) {
    EXPECT_NEAR(null.ModelView[i], gl.ModelView[i], 1e-5f) << i;
    EXPECT_NEAR(null.Projection[i], gl.Projection[i], 1e-5f) << i;
    EXPECT_NEAR(null.Pushed[i], gl.Pushed[i], 1e-5f) << i;
  }
  const float vertices[9] = {};
  const gfx::TBuffer buffer = gfx::CreateBuffer(gfx::TVertexFormat::V3F, vertices, 3);
  EXPECT_NE(buffer, 0u);
  EXPECT_TRUE(gfx::UpdateBuffer(buffer, gfx::TVertexFormat::V3F, vertices, 3));
  EXPECT_FALSE(gfx::UpdateBuffer(buffer, gfx::TVertexFormat::V3F, vertices, 2));
  EXPECT_FALSE(gfx::UpdateBuffer(buffer, gfx::TVertexFormat::C4UB_V3F, vertices, 3));
  gfx::DeleteBuffer(buffer);
  EXPECT_FALSE(gfx::UpdateBuffer(buffer, gfx::TVertexFormat::V3F, vertices, 3));
  render::SelectBackend(render::TBackendKind::Auto);
}

// Each window's context makes a backend, whose frame lists are sized to
// its frames; once the context has ended, the next one's backend takes
// its place and the old one is deleted, not kept for ever.
TEST(DrawBackends, AContextThatEndedTakesItsBackendWithIt) {
  auto frame = [] {
    TGLWindow window(64, 64);
    window.BeginOverlay();
    gfx::Color(1, 1, 1);
    gfx::Begin(gfx::TPrimitive::Lines);
    gfx::Vertex(4, 4);
    gfx::Vertex(60, 60);
    gfx::End();
    EXPECT_FALSE(window.Ink(window.ReadPixels()).Empty());
  };
  frame();
  frame();
  const int64_t before = LiveHeapAllocations();
  frame();
  EXPECT_EQ(LiveHeapAllocations(), before);
}

}  // namespace
