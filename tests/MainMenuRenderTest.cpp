// MainMenuRenderTest.cpp -- what a menu frame shows, read back from the
// test display: torus colours, the marker's slide, caption colours, arrows,
// the highscore list and the information power-up.
#include <gtest/gtest.h>

#include <cmath>

#include "menu/MainMenu.h"
#include "platform/VirtualKeys.h"
#include "render/Font.h"
#include "render/draw/Backend.h"
#include "render/draw/Draw.h"
#include "render/draw/GL.h"
#include "stage/Level.h"
#include "support/MenuRuntime.h"
#include "support/PictureMatch.h"
#include "render/FrameSetup.h"

namespace {

using platform::kVkDown;
using platform::kVkReturn;

constexpr int kW = 800, kH = 600;
constexpr int kBig = 40, kSmall = 20;  // 600 / 15 and 600 / 30

struct TRgb {
  int r, g, b;
};

class MainMenuRenderTest : public TMenuTest {
 protected:
  MainMenuRenderTest() : TMenuTest(kW, kH) {}

  // One frame as the main form draws it.
  std::vector<uint8_t> Frame3D() {
    render::BeginFrame(kW, kH);
    gfx::PushMatrix();
    Menu->Render();
    gfx::PopMatrix();
    return Window.ReadPixels();
  }

  static TRgb At(const std::vector<uint8_t>& rgba, int x, int y) {
    const uint32_t p = TGLWindow::Pixel(rgba, kW, x, y);
    return {static_cast<int>(p >> 16), static_cast<int>((p >> 8) & 0xFF), static_cast<int>(p & 0xFF)};
  }

  // Pixels in [x0, x1) x [y0, y1) that pass `test`.
  template <typename TTest>
  static int Count(const std::vector<uint8_t>& rgba, int x0, int y0, int x1, int y1, TTest test) {
    int n = 0;
    for (int y = std::max(0, y0); y < std::min(kH, y1); ++y)
      for (int x = std::max(0, x0); x < std::min(kW, x1); ++x) n += test(At(rgba, x, y)) ? 1 : 0;
    return n;
  }

  // Pixels that differ between two frames in a rectangle.
  static int Changed(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) n += TGLWindow::Pixel(a, kW, x, y) != TGLWindow::Pixel(b, kW, x, y);
    return n;
  }

  // Shows item `selected` of page `path` with the window at its top.
  void Select(const std::string& path, int selected) {
    Menu->fPath = path;
    const auto n = static_cast<int>(Menu->CurrentPage().Items.size());
    Menu->fLastRow = n > 3 ? 3 : n - 1;
    Menu->fFirst = std::max(0, selected - Menu->fLastRow);
    Menu->fCursor = selected - Menu->fFirst;
    Menu->fSelected = selected;
    Menu->fItemId = path + "_" + std::to_string(selected);
  }
};

TEST_F(MainMenuRenderTest, TorusIsBlueAtStationZeroAndRedAtStationFifteen) {
  Create();
  ASSERT_EQ(Menu->fBigFont->Size(), kBig);
  auto blue = [](TRgb c) { return c.b > 150 && c.r < 90 && c.g < 40; };
  auto red = [](TRgb c) { return c.r > 150 && c.b < 90 && c.g < 40; };
  struct TCase {
    float Angle;  // of the torus round its axis
    int Station;
    bool Red;
  };
  // Half a turn brings station 15 to where station 0 lay.
  for (const TCase& c : {TCase{0, 1, false}, TCase{0, 29, false}, TCase{180, 14, true}, TCase{180, 16, true}}) {
    Menu->fTorusAngle = c.Angle;
    const std::vector<uint8_t> frame = Frame3D();

    // Where the station's ring points land on screen.
    gfx::MatrixMode(gfx::TMatrixStack::ModelView);
    gfx::PushMatrix();
    gfx::LoadIdentity();
    Menu->ApplyTorusCamera();
    GLdouble model[16], projection[16];
    const gfx::TMatrix m = gfx::GetMatrix(gfx::TMatrixStack::ModelView);
    std::copy(m.begin(), m.end(), model);
    gfx::PopMatrix();
    render::SetPerspective(kW, kH);
    const gfx::TMatrix p = gfx::GetMatrix(gfx::TMatrixStack::Projection);
    std::copy(p.begin(), p.end(), projection);
    const gfx::TRect box = gfx::GetViewport();
    const GLint viewport[4] = {box.X, box.Y, box.Width, box.Height};

    int visible = 0, matched = 0;
    for (int l = 0; l < 16; ++l) {
      const TVector3f p = TMainMenu::MakeTorusVertex(l * 2 * M_PI / 16, c.Station * 2 * M_PI / 30);
      GLdouble sx, sy, sz;
      gluProject(p.x, p.y, p.z, model, projection, viewport, &sx, &sy, &sz);
      const int x = static_cast<int>(std::lround(sx)), y = kH - 1 - static_cast<int>(std::lround(sy));
      // Away from the edges and from the texts.
      if (x < 3 || y < 3 || x >= kW - 3 || y >= kH - 3 || (x < 340 && y < 320) || (x > kW / 2 && y > kH - 6 * kBig))
        continue;
      ++visible;
      matched += c.Red ? Count(frame, x - 2, y - 2, x + 3, y + 3, red) > 0
                       : Count(frame, x - 2, y - 2, x + 3, y + 3, blue) > 0;
    }
    ASSERT_GE(visible, 4) << "station " << c.Station;
    EXPECT_GE(matched * 10, visible * 8) << "station " << c.Station << ": " << matched << " of " << visible;
  }
}

TEST_F(MainMenuRenderTest, MarkerSlidesOneRowIn100Milliseconds) {
  Create();
  auto markerY = [&] {
    const std::vector<uint8_t> frame = Frame3D();
    long sum = 0, n = 0;
    for (int y = 0; y < kH; ++y)
      for (int x = kW - kBig * 3 / 2 + 5; x < kW; ++x) {
        const TRgb c = At(frame, x, y);
        if (c.g > 100 && c.r < 80 && c.b < 60) {
          sum += y;
          ++n;
        }
      }
    EXPECT_GT(n, 20) << "no marker";
    return n ? static_cast<double>(sum) / n : -1.0;
  };
  // Beside row 0 of four: h - (3 + 1.5) sB.
  EXPECT_NEAR(markerY(), kH - 4.5 * kBig, 3);
  Keys.SetKey(kVkDown, true);
  Frame(0);
  Keys.SetKey(kVkDown, false);
  Frame(50);
  EXPECT_NEAR(markerY(), kH - 4.0 * kBig, 3);
  Frame(50);
  EXPECT_EQ(Menu->fCursor, 1);
  EXPECT_NEAR(markerY(), kH - 3.5 * kBig, 3);
}

TEST_F(MainMenuRenderTest, LockedCaptionsAreGreyAndTurnWhiteOnceUnlocked) {
  Runtime.WritePlayableStage("A.level", "ERSTE", true);
  Runtime.WriteStage("B.level", "ZWEITE", false);
  Create();
  Press(kVkReturn);
  ASSERT_EQ(Menu->fPath, "0_0");
  ASSERT_EQ(Menu->fLastRow, 2);

  // Brightest channel in the middle of row k's capitals.
  auto brightest = [&](const std::vector<uint8_t>& frame, int k) {
    const int top = kH - (2 + 2 - k) * kBig;
    int best = 0;
    for (int y = top + kBig / 2; y < top + kBig; ++y)
      for (int x = kW * 5 / 8; x < kW - kBig * 3 / 2; ++x) {
        const TRgb c = At(frame, x, y);
        best = std::max({best, c.r, c.g, c.b});
      }
    return best;
  };
  std::vector<uint8_t> frame = Frame3D();
  EXPECT_GE(brightest(frame, 0), 230);  // unlocked: white
  EXPECT_GE(brightest(frame, 1), 100);  // locked: grey
  EXPECT_LE(brightest(frame, 1), 140);
  EXPECT_GE(brightest(frame, 2), 230);  // "zurück": always white

  // The stage unlocks B while it runs; the first menu frame re-reads it.
  Tap(kVkReturn);
  ASSERT_TRUE(Menu->Level->fActive);
  Runtime.WriteStage("B.level", "ZWEITE", true);
  Menu->Level->fActive = false;
  Frame();
  Press(kVkReturn);
  ASSERT_EQ(Menu->fPath, "0_0");
  frame = Frame3D();
  EXPECT_GE(brightest(frame, 1), 230);
}

TEST_F(MainMenuRenderTest, ArrowsShowOnlyWhereItemsAreHidden) {
  Runtime.WriteStage("A.level", "ERSTE", true);
  Create();
  // The stage page holds a stage and the back item: nothing hidden, so its
  // frame has neither arrows nor anything beyond the four rows. The other
  // frames are compared with it (the ships stand still between frames).
  Select("0_0", 0);
  const std::vector<uint8_t> allInView = Frame3D();
  const int x0 = kW - kBig * 3 / 2 - 40, x1 = kW - kBig * 3 / 2;
  auto white = [](TRgb c) { return c.r > 200 && c.g > 200 && c.b > 200; };
  EXPECT_LT(Count(allInView, x0, kH - 5 * kBig - 20, x1, kH - 5 * kBig, white), 100);
  EXPECT_LT(Count(allInView, x0, kH - kBig, x1, kH - kBig + 20, white), 100);

  const std::vector<std::tuple<int, bool, bool>> cases = {
      {0, false, true},  // five items from the first: one below
      {4, true, false},  // scrolled to the last: one above
  };
  for (const auto& [selected, up, down] : cases) {
    Select("0", selected);
    const std::vector<uint8_t> frame = Frame3D();
    EXPECT_EQ(Changed(allInView, frame, x0, kH - 5 * kBig - 20, x1, kH - 5 * kBig) > 100, up) << selected;
    EXPECT_EQ(Changed(allInView, frame, x0, kH - kBig, x1, kH - kBig + 20) > 100, down) << selected;
    // The hidden rows are clipped: nothing of them shows in the row above
    // the strip or the row below it.
    EXPECT_EQ(Changed(allInView, frame, kW / 2, kH - 6 * kBig, x0 - 5, kH - 5 * kBig), 0) << selected;
    EXPECT_EQ(Changed(allInView, frame, kW / 2, kH - kBig, x0 - 5, kH), 0) << selected;
  }
}

TEST_F(MainMenuRenderTest, AllTwelveHighscoresAreListed) {
  std::vector<std::pair<std::string, int>> scores;
  for (int j = 0; j < 12; ++j) scores.push_back({"SPIELER" + std::to_string(j), 1200 - 100 * j});
  Runtime.WriteStage("A.level", "ERSTE", true, scores);
  Runtime.WriteStage("B.level", "ZWEITE", true);
  Create();

  Select("0_1", 2);  // "zurück": no list
  const std::vector<uint8_t> none = Frame3D();
  Select("0_1", 0);
  const std::vector<uint8_t> twelve = Frame3D();
  Select("0_1", 1);
  const std::vector<uint8_t> empty = Frame3D();

  // The list starts at (10 + sS, 10 + 1.5 sS); names follow after sS, and
  // scores end at the right edge of a block 0.4 w wide.
  const int left = 10 + kSmall;
  const int right = left + kSmall + kW * 2 / 5;
  for (int j = 0; j <= 12; ++j) {
    const int top = 10 + kSmall * 3 / 2 + j * kSmall;
    // The middle of the line: glyphs reach below their block by the font's
    // ascent, into the top of the next line.
    const int rank = Changed(none, twelve, left, top + 8, left + kSmall, top + 18);
    const int score = Changed(none, twelve, right - 3 * kSmall, top + 8, right, top + 18);
    EXPECT_EQ(rank > 0, j < 12) << "line " << j;
    EXPECT_EQ(score > 0, j < 12) << "line " << j;
  }
  // A stage without entries says so where the list would start.
  EXPECT_GT(Changed(none, empty, left, 10 + kSmall * 3 / 2, right, 10 + kSmall * 7 / 2), 0);
}

// Torus, ships, marker, captions and the highscore list, drawn by each
// backend from the same menu state.
TEST_F(MainMenuRenderTest, BothBackendsDrawTheSameMenu) {
  std::vector<std::pair<std::string, int>> scores;
  for (int j = 0; j < 10; ++j) scores.push_back({"SPIELER" + std::to_string(j), 900 - 50 * j});
  Runtime.WriteStage("A.level", "ERSTE", true, scores);
  Runtime.WriteStage("B.level", "ZWEITE", false);
  std::vector<std::vector<uint8_t>> frames;
  for (render::TBackendKind kind : {render::TBackendKind::FixedFunction, render::TBackendKind::Shader}) {
    render::SelectBackend(kind);
    Create();
    Select("0_1", 0);
    frames.push_back(Frame3D());
  }
  render::SelectBackend(render::TBackendKind::Auto);
  for (int direction = 0; direction < 2; ++direction) {
    const TPictureMatch match = MatchPicture(frames[direction], frames[1 - direction], kW, kH);
    EXPECT_GT(match.Lit, 5000);
    EXPECT_GE(match.Share(), 0.99) << match.Matched << " of " << match.Lit;
  }
}

TEST_F(MainMenuRenderTest, InformationPowerUpOnlyOnItsThreeItems) {
  Create();
  // Around 100 pixels from the left edge, at mid-height; the power-up is two
  // world units (36 pixels) wide.
  const int x0 = 100 - 50, y0 = kH / 2 - 50, x1 = 100 + 50, y1 = kH / 2 + 50;
  Select("0_2", 0);
  const std::vector<uint8_t> baseline = Frame3D();
  auto red = [](TRgb c) { return c.r > 150 && c.g < 60 && c.b < 60; };
  auto green = [](TRgb c) { return c.g > 150 && c.r < 60 && c.b < 60; };
  auto blue = [](TRgb c) { return c.b > 150 && c.r < 60 && c.g < 60; };
  for (int item = 0; item < 7; ++item) {
    Select("0_2", item);
    const std::vector<uint8_t> frame = Frame3D();
    const int changed = Changed(baseline, frame, x0, y0, x1, y1);
    switch (item) {
      case 2: EXPECT_GT(Count(frame, x0, y0, x1, y1, red), 20); break;
      case 3: EXPECT_GT(Count(frame, x0, y0, x1, y1, green), 20); break;
      case 4: EXPECT_GT(Count(frame, x0, y0, x1, y1, blue), 20); break;
      default: EXPECT_EQ(changed, 0) << "item " << item;
    }
  }
  // It keeps spinning while it is hidden.
  Select("0", 0);
  const float angle = Menu->fInfoPowerUp.Angle;
  Frame(100);
  EXPECT_FLOAT_EQ(Menu->fInfoPowerUp.Angle, angle + 10);
}

}  // namespace
