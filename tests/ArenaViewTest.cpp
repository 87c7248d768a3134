// ArenaViewTest.cpp -- in every shipped stage's arena the ship stays in the
// picture and clear of the HUD's bars wherever the player takes it, by the
// pixels of real frames; klassisch keeps the camera that lost it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "objects/Boss.h"
#include "platform/VirtualKeys.h"
#include "render/Font.h"
#include "render/FrameSetup.h"
#include "render/draw/Draw.h"
#include "stage/Level.h"
#include "support/StagePlay.h"

namespace {

constexpr int kW = 1280, kH = 720;

struct TShipInView {
  TGLWindow::TBox Box;
  bool Clear = false;  // inside the picture, off the bars
};

// The ship alone, drawn by the stage's own camera and ship steps.
TShipInView ShipInView(TStagePlay& play) {
  render::BeginFrame(kW, kH);
  gfx::PushMatrix();
  play.Level->RenderCamera();
  play.Level->RenderShip();
  gfx::PopMatrix();
  const std::vector<uint8_t> pixels = play.Window.ReadPixels();
  TShipInView view;
  view.Box = play.Window.Ink(pixels, 0, 0, kW, kH, 40);
  const float s = static_cast<float>(play.Level->fFont->Size());  // the HUD's row
  view.Clear = !view.Box.Empty() && view.Box.Left > 0 && view.Box.Right < kW - 1 && view.Box.Top >= s &&
               view.Box.Bottom < kH - 1.1f * s;
  return view;
}

// A whole frame as the game shows it, for a person to look at.
void KeepShot(TStagePlay& play, const std::string& name) {
  const char* folder = std::getenv("RV_ARENA_SHOTS");
  if (!folder) return;
  render::BeginFrame(kW, kH);
  gfx::PushMatrix();
  play.Level->Render();
  gfx::PopMatrix();
  const std::vector<uint8_t> rgba = play.Window.ReadPixels();
  // A plain PPM: no library needed, any viewer converts it.
  const std::string path = std::string(folder) + "/" + name + ".ppm";
  if (FILE* file = std::fopen(path.c_str(), "wb")) {
    std::fprintf(file, "P6\n%d %d\n255\n", kW, kH);
    for (std::size_t i = 0; i < rgba.size(); i += 4) std::fwrite(&rgba[i], 1, 3, file);
    std::fclose(file);
  }
}

struct TArenaRun {
  int Checked = 0;
  int Lost = 0;  // frames in which the ship was out of the picture or under a bar
  std::string FirstLost;
};

// Into the arena, then what a player does there: back as far as the ship
// goes, rolled to each side, then forward on the keys and on with the
// mouse, each held for seconds. The ship is checked every quarter second.
TArenaRun FlyTheArena(const std::string& stage, bool classic) {
  TStagePlay play(kW, kH);
  TLevel& level = *play.Level;
  level.fClassic = classic;
  level.LoadFromFile(RV_BIN_DIR "/data/" + stage);
  play.Input.Client = {kW, kH};
  play.Input.CursorX = kW / 2;
  play.Input.CursorY = kH / 2;
  const float c = static_cast<float>(level.fCircles);
  play.FlyTo(1 - 2 / c - level.fCamera.Dist / c);
  level.fSpeed = level.fPlayer.MinSpeed;

  TArenaRun run;
  const std::string name = stage.substr(0, stage.find('.'));
  auto hold = [&](std::initializer_list<int> keys, float seconds, int mouseRise, const char* what) {
    for (int vk : keys) play.Input.SetKey(vk, true);
    for (float t = 0; t < seconds * 1000; t += 16) {
      level.fLife = 100;  // the fight goes on as long as the test needs
      play.Input.MoveMouse(0, -mouseRise);
      play.Frame(16);
      if (static_cast<int>(t) % 256 == 0) {
        const TShipInView view = ShipInView(play);
        ++run.Checked;
        if (!view.Clear && run.Lost++ == 0)
          run.FirstLost = name + " " + what + " at " + std::to_string(t) + " ms: ship box " +
                          std::to_string(view.Box.Left) + "," + std::to_string(view.Box.Top) + " - " +
                          std::to_string(view.Box.Right) + "," + std::to_string(view.Box.Bottom);
      }
    }
    for (int vk : keys) play.Input.SetKey(vk, false);
    if (!classic) KeepShot(play, name + "-" + what);
  };
  hold({}, 4, 0, "arrived");
  hold({platform::kVkDown}, 6, 0, "back");
  hold({platform::kVkDown, platform::kVkLeft}, 3, 0, "back-left");
  hold({platform::kVkDown, platform::kVkRight}, 4, 0, "back-right");
  hold({platform::kVkUp}, 6, 0, "front");
  hold({platform::kVkUp, platform::kVkLeft}, 3, 0, "front-left");
  hold({}, 2, 20, "front-mouse");
  hold({platform::kVkRight}, 4, 20, "front-right");
  EXPECT_GT(level.fEndPos, 1) << name << ": the arena was reached";
  return run;
}

std::vector<std::string> ShippedStages() {
  std::vector<std::string> stages;
  for (const auto& entry : std::filesystem::directory_iterator(RV_BIN_DIR "/data"))
    if (entry.path().extension() == ".level") stages.push_back(entry.path().filename().string());
  std::sort(stages.begin(), stages.end());
  return stages;
}

TEST(ArenaView, TheShipStaysInThePictureAndOffTheBarsInEveryArena) {
  DummyAudio();
  const std::vector<std::string> stages = ShippedStages();
  ASSERT_GE(stages.size(), 8u);
  int classicLost = 0;
  for (const std::string& stage : stages) {
    const TArenaRun run = FlyTheArena(stage, false);
    EXPECT_GT(run.Checked, 100);
    EXPECT_EQ(run.Lost, 0) << run.FirstLost;
    // The old camera, kept with klassisch, is the one that lost the ship.
    classicLost += FlyTheArena(stage, true).Lost;
  }
  EXPECT_GT(classicLost, 0);
}

}  // namespace
