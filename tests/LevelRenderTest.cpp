// LevelRenderTest.cpp -- what a stage frame shows: HUD texts and their
// blocks, and pixels of real frames under the test display.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "objects/Bolt.h"
#include "objects/Boss.h"
#include "render/Font.h"
#include "render/draw/Draw.h"
#include "stage/Level.h"
#include "support/GLWindow.h"
#include "support/StageFiles.h"
#include "support/StagePlay.h"
#include "support/TempDir.h"
#include "render/FrameSetup.h"
#include "render/VertexBufferObject.h"
#include "render/draw/Backend.h"

namespace {

class LevelRenderTest : public testing::Test {
 protected:
  void SetUp() override { Level.LoadFromFile(WriteStage(Dir)); }

  // One frame as the main form draws it.
  std::vector<uint8_t> Frame() {
    render::BeginFrame(Window.Width(), Window.Height());
    gfx::PushMatrix();
    Level.Render();
    gfx::PopMatrix();
    return Window.ReadPixels();
  }

  // Pixels in a rectangle that are not black.
  int Lit(const std::vector<uint8_t>& rgba, int x0, int y0, int x1, int y1) const {
    int lit = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) lit += TGLWindow::Pixel(rgba, Window.Width(), x, y) != 0;
    return lit;
  }

  TGLWindow Window{800, 600};
  TTempDir Dir;
  TSilentLevel Level{Window.Platform()};
};

const THudText* Find(const std::vector<THudText>& texts, const std::string& text) {
  for (const THudText& t : texts) {
    if (t.Text == text) return &t;
  }
  return nullptr;
}

TEST_F(LevelRenderTest, ScoreLifeAndBossTexts) {
  Level.fTime = 9000;  // past the title
  Level.fScore = 7;
  Level.fLife = 5;
  auto texts = Level.HudTexts(800, 600, 30);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0].Text, "0000000007 Points");
  EXPECT_EQ(texts[0].Alignment, kAlignRight);
  EXPECT_FLOAT_EQ(texts[0].Width, 800 - 6);
  EXPECT_EQ(texts[1].Text, "Life: 005");
  EXPECT_FLOAT_EQ(texts[1].Left, 6);

  Level.fScore = -1;  // shown unsigned
  Level.fLife = 100;
  Level.fPos = 1.01f;
  Level.fBoss->fLife = 400;  // of 800
  texts = Level.HudTexts(800, 600, 30);
  EXPECT_EQ(texts[0].Text, "4294967295 Points");
  EXPECT_EQ(texts[1].Text, "Life: 100");
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[2].Text, "Boss: 050");
  EXPECT_EQ(texts[2].Alignment, kAlignCentre);
  EXPECT_FLOAT_EQ(texts[2].Top, 600 - 33);

  // Two hits in the last frame take life and the boss below 0: nothing is
  // left, and that is what shows (never "0-1").
  Level.fLife = -1;
  Level.fBoss->fLife = -8;  // of 800: -1 %
  texts = Level.HudTexts(800, 600, 30);
  EXPECT_EQ(texts[1].Text, "Life: 000");
  EXPECT_EQ(texts[2].Text, "Boss: 000");
  Level.fLife = -100;
  EXPECT_EQ(Level.HudTexts(800, 600, 30)[1].Text, "Life: 000");
}

TEST_F(LevelRenderTest, ResultTableCountsUpOnItsTimeline) {
  Level.fFinish.State = TFinishState::Passed;
  Level.fFinish.Points = 1000;
  Level.fFinish.LifeBonus = 3700;
  Level.fFinish.TimeBonus = 25000;
  Level.fFinish.Total = 29700;
  Level.fFinish.Time = 2500;
  auto texts = Level.ResultTexts(800, 600, 30);
  ASSERT_EQ(texts.size(), 4u + 3);  // and the keys, a line each
  EXPECT_EQ(texts[0].Text, "STAGE PASSED");
  EXPECT_EQ(texts[1].Text, "___________");
  EXPECT_EQ(texts[2].Text, "Punkte");
  EXPECT_EQ(texts[3].Text, "0000000500");  // half counted
  EXPECT_FLOAT_EQ(texts[3].Top, 0.3f * 600);

  Level.fFinish.State = TFinishState::GameOver;
  Level.fFinish.Time = 5250;
  texts = Level.ResultTexts(800, 600, 30);
  EXPECT_EQ(texts[0].Text, "GAME OVER");
  ASSERT_NE(Find(texts, "Zeitbonus"), nullptr);
  EXPECT_NE(Find(texts, std::string(13, '_')), nullptr);  // round(24 * 0.5) + 1
  EXPECT_EQ(Find(texts, "Gesamtpunkte"), nullptr);

  Level.fFinish.Time = 6000;
  texts = Level.ResultTexts(800, 600, 30);
  // The total, then the keys that work: the count-up runs until 6500.
  EXPECT_EQ(texts[texts.size() - 4].Text, "0000029700");
  EXPECT_EQ(texts[texts.size() - 3].Text, "Enter: weiter");
  EXPECT_EQ(texts[texts.size() - 2].Text, "R: nochmal spielen");
  EXPECT_EQ(texts.back().Text, "Esc: Men\xFC");
  EXPECT_NE(Find(texts, std::string(25, '_')), nullptr);
}

TEST_F(LevelRenderTest, TheTitleShowsAsTheStageStartsAndThePauseNamesTheFireKey) {
  Level.fTitle = "Erste";
  Level.fTime = 2000;
  EXPECT_EQ(Level.HudTexts(800, 600, 30).back().Text, "Erste");
  Level.fTime = 2600;
  EXPECT_EQ(Level.HudTexts(800, 600, 30).size(), 2u);
  Level.fTime = 100;
  Level.fClassic = true;
  EXPECT_EQ(Level.HudTexts(800, 600, 30).size(), 2u);

  Level.fControls[TAction::Fire].Key = 'F';
  Level.fPaused = true;
  EXPECT_EQ(Level.PauseTexts(800, 600, 30).back().Text, "Feuer: F, linke Maustaste oder A");
}

TEST_F(LevelRenderTest, HighscoreTableShowsTenWithTheCursorOnTheEntry) {
  Level.fFinish.State = TFinishState::Passed;
  Level.fFinish.NameEntry = true;
  for (int i = 0; i < 12; ++i) Level.fFinish.HighScore.push_back({"P" + std::to_string(i), 1000 - i});
  Level.fFinish.EntryIndex = 3;
  Level.fFinish.CursorVisible = true;
  auto texts = Level.ResultTexts(800, 600, 30);
  ASSERT_EQ(texts.size(), 1u + 2 * 10 + 2);  // and the keys
  EXPECT_EQ(texts[0].Text, "HIGHSCORE");
  EXPECT_EQ(texts[1 + 2 * 3].Text, "P3_");
  EXPECT_EQ(texts[1 + 2 * 2].Text, "P2");
  EXPECT_EQ(texts[2 + 2 * 9].Text, "0000000991");
  EXPECT_FLOAT_EQ(texts[1 + 2 * 9].Top, (0.3f + 0.45f) * 600);
  Level.fFinish.CursorVisible = false;
  EXPECT_EQ(Level.ResultTexts(800, 600, 30)[1 + 2 * 3].Text, "P3");
}

TEST_F(LevelRenderTest, FinishedTubeIsDrawnInItsColours) {
  Level.fTime = 9000;
  Level.fPos = 0.3f;
  Level.fBolts.clear();
  const auto frame = Frame();
  // The tube fills the view: lines in a blend of yellow (start) and blue
  // (end), seen round the screen's edges away from the HUD.
  int tube = 0;
  for (int y = 60; y < 540; y += 2) {
    for (int x = 0; x < 760; x += 2) {
      const uint32_t p = TGLWindow::Pixel(frame, 800, x, y);
      const int r = p >> 16, g = (p >> 8) & 0xFF, b = p & 0xFF;
      if (r > 60 && std::abs(r - g) < 40 && b > 20) ++tube;
    }
  }
  EXPECT_GT(tube, 500);
}

TEST_F(LevelRenderTest, HudTextsAndBarsAppearAtTheirPlaces) {
  Level.fTime = 9000;
  Level.fPos = 0.5f;
  Level.fBolts.clear();
  Level.fScore = 123456;
  auto frame = Frame();
  const int s = Level.fFont->Size();  // 600 / 20 = 30
  ASSERT_EQ(s, 30);
  // Score at the top right, life bar and text at the top left.
  EXPECT_GT(Lit(frame, 800 - 8 * s, 0, 800 - s / 5, s), 50);
  const uint32_t bar = TGLWindow::Pixel(frame, 800, s / 5 + 2, s / 2);
  EXPECT_GT(bar >> 16, 150u);  // the bar starts red
  // The progress track at the right edge, translucent white.
  const uint32_t track = TGLWindow::Pixel(frame, 800, 800 - 15, 300);
  EXPECT_GT(track & 0xFF, 150u);

  // In the end zone: no track, a boss bar and text at the bottom.
  Level.fPos = 1.01f;
  Level.fBoss->fLife = Level.fBoss->fMaxLife;
  frame = Frame();
  EXPECT_GT(Lit(frame, 200, 600 - s, 600, 600), 1000);  // full bar, w/2 wide
  const uint32_t end = TGLWindow::Pixel(frame, 800, 595, 600 - s / 2);
  EXPECT_GT((end >> 8) & 0xFF, 150u);  // green at full life

  // The result screen darkens everything and writes its table.
  Level.fFinish.State = TFinishState::Passed;
  Level.fFinish.Time = 7000;
  Level.fFinish.Points = 1000;
  frame = Frame();
  EXPECT_GT(Lit(frame, 200, static_cast<int>(0.3 * 600), 400, static_cast<int>(0.3 * 600) + s), 20);
}

TEST_F(LevelRenderTest, OpeningRingGrowsFromAPoint) {
  Level.fTitle.clear();
  Level.fTime = 0;
  auto frame = Frame();
  const int atStart = Lit(frame, 0, 40, 760, 560);
  Level.fTime = 3000;
  frame = Frame();
  EXPECT_GT(Lit(frame, 0, 40, 760, 560), atStart + 100);
}

// The tube drawn with what lies outside the view left out gives the very
// same pixels as the whole tube, with either backend, from the start of the
// first stage to its end zone, where the rings fade (and blend); and it
// leaves out most of the tube once the camera is past the bends ahead.
TEST(TubeInView, LeavesOutOnlyWhatCannotShow) {
  TGLWindow window{640, 360};
  for (const auto kind : {render::TBackendKind::FixedFunction, render::TBackendKind::Shader}) {
    render::SelectBackend(kind);
    TSilentLevel level{window.Platform()};
    level.LoadFromFile(RV_BIN_DIR "/data/Level01.level");
    level.fTime = 60000;
    auto frame = [&](bool inView) {
      render::BeginFrame(window.Width(), window.Height());
      gfx::PushMatrix();
      level.RenderCamera();
      gfx::Enable(gfx::TCap::Blend);
      gfx::BlendFunc(gfx::TBlend::Alpha);
      int32_t drawn = level.fTubeVBO->Capacity();
      if (inView)
        drawn = level.fTubeVBO->DrawVisible(gfx::TPrimitive::LineStrip);
      else
        level.fTubeVBO->Draw(gfx::TPrimitive::LineStrip);
      gfx::PopMatrix();
      gfx::Disable(gfx::TCap::Blend);
      return std::make_pair(window.ReadPixels(), drawn);
    };
    int32_t fewest = level.fTubeVBO->Capacity();
    for (const auto& [pos, roll] : {std::pair{0.0f, 0.0f}, {0.1f, 90.0f}, {0.35f, -45.0f}, {0.6f, 180.0f},
                                    {0.97f, 10.0f}, {1.01f, 30.0f}, {1.02f, 0.0f}}) {
      SCOPED_TRACE(testing::Message() << gfx::BackendName() << " at " << pos << ", roll " << roll);
      level.fPos = pos;
      level.fRoll = roll;
      const auto whole = frame(false);
      const auto inView = frame(true);
      EXPECT_GT(std::count_if(whole.first.begin(), whole.first.end(), [](uint8_t c) { return c != 0; }), 1000);
      EXPECT_TRUE(whole.first == inView.first);
      fewest = std::min(fewest, inView.second);
    }
    EXPECT_LT(fewest, level.fTubeVBO->Capacity() / 3) << gfx::BackendName();
  }
  render::SelectBackend(render::TBackendKind::Auto);
}

}  // namespace
