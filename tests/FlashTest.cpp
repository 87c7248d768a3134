// FlashTest.cpp -- the flash counter on frames made to order, and the
// setting "Weniger Blitze": with it nothing that a stage shows (the gate's
// lightning, hits under heavy fire, a boss under fire, the low-life and
// shield marks) flashes three times a second, while the game plays frame by
// frame the same as without it. Needs a display (real GL).
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "app/StateChecksum.h"
#include "flashcount/FlashCount.h"
#include "objects/Boss.h"
#include "objects/ParticleManager.h"
#include "objects/SmallEnemyManager.h"
#include "render/FrameSetup.h"
#include "render/draw/Draw.h"
#include "support/StagePlay.h"

namespace {

// A 240 x 240 picture of `background` with a rectangle of `colour`.
std::vector<uint8_t> Picture(int x0, int y0, int x1, int y1, const std::array<uint8_t, 3>& colour,
                             const std::array<uint8_t, 3>& background = {0, 0, 0}) {
  std::vector<uint8_t> rgb(240 * 240 * 3);
  for (int y = 0; y < 240; ++y) {
    for (int x = 0; x < 240; ++x) {
      const auto& c = x >= x0 && x < x1 && y >= y0 && y < y1 ? colour : background;
      for (int k = 0; k < 3; ++k) rgb[static_cast<std::size_t>((y * 240 + x) * 3 + k)] = c[static_cast<std::size_t>(k)];
    }
  }
  return rgb;
}

TEST(FlashCount, CountsPairsOfOpposingChangesOverAQuarterOfAnArea) {
  using TFrame = std::function<std::vector<uint8_t>(int frame)>;
  const std::array<uint8_t, 3> white{255, 255, 255}, red{170, 0, 0};
  // Frame f of 120 (two seconds at 60 a second) and the counts expected.
  struct Case {
    const char* what;
    TFrame frame;
    int screen, part, spot;
  } cases[] = {
      {"half the picture blinks white 6 times a second",
       [&](int f) { return Picture(0, 0, 240, f / 5 % 2 ? 120 : 0, white); }, 6, 6, 6},
      {"the same, twice a second", [&](int f) { return Picture(0, 0, 240, f / 15 % 2 ? 120 : 0, white); }, 2, 2, 2},
      // 6 % of the picture: no flash of the whole, but of the part and the spots it fills.
      {"a small square blinks", [&](int f) { return Picture(80, 80, f / 5 % 2 ? 140 : 80, 140, white); }, 0, 6, 6},
      // Both states are brighter than 0.8: no flash.
      {"white and light grey", [&](int f) { return Picture(0, 0, 240, 240, f / 5 % 2 ? white : std::array<uint8_t, 3>{238, 238, 238}); }, 0, 0, 0},
      // A dark saturated red changes the luminance by less than 0.1: it
      // flashes all the same, as red.
      {"dark red blinks", [&](int f) { return Picture(0, 0, 240, 240, f / 5 % 2 ? red : std::array<uint8_t, 3>{0, 0, 0}); }, 6, 6, 6},
      // Up at once and fading out over 12 frames, four times a second: the
      // fade is one change too.
      {"a flash that fades out",
       [&](int f) {
         const int k = f % 15;
         const auto v = static_cast<uint8_t>(k < 12 ? 255 - k * 21 : 0);
         return Picture(0, 0, 240, 240, {v, v, v});
       },
       4, 4, 4},
      // A bright line crossing the picture: the mean of the picture stays.
      {"a line moves", [&](int f) { return Picture(f * 2, 0, f * 2 + 4, 240, white); }, 0, 0, 1},
  };
  for (const Case& c : cases) {
    flash::TFlashCounter counter(240, 240, 60);
    for (int f = 0; f < 120; ++f) counter.Add(c.frame(f), 3);
    const flash::TFlashes most = counter.Most();
    EXPECT_EQ(most.Screen, c.screen) << c.what;
    EXPECT_EQ(most.Part, c.part) << c.what;
    EXPECT_EQ(most.Spot, c.spot) << c.what;
  }
}

// What a run of frames showed and what it left of the game, frame by frame.
struct TWatched {
  flash::TFlashes Flashes;
  std::vector<uint32_t> Checksums;
};

// Plays `frames` frames of 1/60 s of the first stage, set up by `start`,
// with `each` before every frame, and counts the flashes drawn.
TWatched Watch(bool reduceFlash, int frames, const std::function<void(TStagePlay&)>& start,
         const std::function<void(TStagePlay&, int)>& each) {
  TStagePlay play;
  TLevel& level = *play.Level;
  level.LoadFromFile(RV_BIN_DIR "/data/Level01.level");
  level.fReduceFlash = reduceFlash;
  start(play);
  const int w = play.Window.Width(), h = play.Window.Height();
  flash::TFlashCounter counter(w, h, 60);
  TWatched run;
  for (int f = 0; f < frames; ++f) {
    each(play, f);
    play.Frame(1000.0f / 60);
    run.Checksums.push_back(StateChecksum(level));
    render::BeginFrame(w, h);
    gfx::PushMatrix();
    level.Render();
    gfx::PopMatrix();
    counter.Add(play.Window.ReadPixels(), 4);
  }
  run.Flashes = counter.Most();
  return run;
}

TEST(Flashes, WenigerBlitzeKeepsEveryFlashingThingUnderThreeASecondAndPlaysTheSame) {
  auto nothing = [](TStagePlay&, int) {};
  auto flight = [](TStagePlay& play) {
    play.FlyTo(0.3f);
    play.Level->fSmallEnemy.Manager->fSmallEnemy.clear();  // only the shots set here
    // Standing still: the tube's rings would pass through the small spots
    // ten times a second.
    play.Level->fSpeed = 0;
  };
  struct Source {
    const char* what;
    int frames;
    std::function<void(TStagePlay&)> start;
    std::function<void(TStagePlay&, int)> each;
    int leastWithout;  // the worst spot flashes at least this often without the setting
  } sources[] = {
      {"the gate's lightning", 240, [](TStagePlay&) {}, nothing, 4},
      {"a shot on the ship four times a second", 120, flight,
       [](TStagePlay& play, int f) {
         TLevel& level = *play.Level;
         if (f % 15 == 0)
           level.fSmallEnemy.Manager->fParticleManager.Add(level.fSmallEnemy.Particle.get())
               .Init(false, level.ShipPos(), level.fRoll, 0, 0, 0, 0, 1000);
       },
       3},
      {"the boss under a volley every 100 ms", 120,
       [](TStagePlay& play) {
         TLevel& level = *play.Level;
         const float c = static_cast<float>(level.fCircles);
         play.FlyTo(1 + 30 / c - level.fCamera.Dist / c);
         level.fTime = 90000;
         level.fEndPos = (static_cast<float>(level.fEndLength) - 30) / c + 1;
         level.fSpeed = 0;
         level.fBoss->fActive = true;
         level.fBoss->fRollSpeed = 0;
         level.fBoss->fFirePoints.clear();  // it takes hits, nothing else
       },
       [](TStagePlay& play, int f) {
         TLevel& level = *play.Level;
         if (f % 6 == 0)
           level.fPlayer.ParticleManager->Add(level.fPlayer.Particle.get())
               .Init(true, level.fBoss->fPos, level.fBoss->fRoll, 0, 0, 0, 0, 2000);
       },
       6},
      {"low life and a shield running out", 150,
       [&](TStagePlay& play) {
         flight(play);
         play.Level->fLife = 15;
         play.Level->fPlayer.ShieldTime = 2400;
         play.Level->fPlayer.ShieldVisible = true;
       },
       nothing, 2},
  };
  for (const Source& source : sources) {
    const TWatched without = Watch(false, source.frames, source.start, source.each);
    const TWatched with = Watch(true, source.frames, source.start, source.each);
    // The rule's areas, and the spots far below them.
    EXPECT_GE(without.Flashes.Spot, source.leastWithout) << source.what;
    EXPECT_LT(with.Flashes.Screen, 3) << source.what;
    EXPECT_LT(with.Flashes.Part, 3) << source.what;
    EXPECT_LT(with.Flashes.Spot, 3) << source.what;
    // Drawing only: every frame leaves the game as it would have been.
    ASSERT_EQ(with.Checksums.size(), without.Checksums.size());
    for (std::size_t i = 0; i < with.Checksums.size(); ++i)
      ASSERT_EQ(with.Checksums[i], without.Checksums[i]) << source.what << ", frame " << i;
  }
}

}  // namespace
