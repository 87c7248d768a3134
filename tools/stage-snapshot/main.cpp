// stage-snapshot -- draws a stage at a chosen moment into a PNG, for review.
//
//   stage-snapshot STAGEFILE OUT.png WIDTHxHEIGHT MOMENT
//
// MOMENT: intro (stage time 2 s), flight (the ship a third into the tube),
// boss (the ship at rest in the end zone), hit, powerup, bosshit (the frame
// after a hit on the ship, a weapon power-up taken, a volley on the boss:
// what the stage shows of each), result (stage passed, the table fully
// counted), highscore (name entry open), or play:SECONDS, the frame
// after that many seconds of real play by a simple pilot (fire held, full
// speed, aiming at the boss), in 16 ms frames with a fixed seed. Run it from
// the game's folder (build/bin): it loads the stage with the game's own
// loader. A sixth argument chooses the drawing backend (auto, gl1, shader).
//
// MOMENT+SECONDS (e.g. intro+4) plays on from the moment for that long in
// frames of 1/60 s, the pilot's fire held, draws every frame and prints the
// most flashes in any one second (over the whole picture and over its worst
// part); OUT.png is then the last frame, or every frame when it holds a
// printf number such as %03d. hit+SECONDS puts a shot on the ship four times
// a second. More moments for it: lowlife (life at 15, the bar blinking) and
// shield (the shield's last two seconds, blinking).
// --weniger-blitze anywhere draws as the setting "Weniger Blitze" does.
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "objects/Bolt.h"
#include "objects/Boss.h"
#include "objects/ParticleManager.h"
#include "objects/PowerUp.h"
#include "objects/SmallEnemyManager.h"
#include "platform/Cp1252.h"
#include "platform/Dialog.h"
#include "platform/PlatformDecorator.h"
#include "platform/SdlPlatform.h"
#include "render/Font.h"
#include "render/draw/Backend.h"
#include "render/draw/Draw.h"
#include "flashcount/FlashCount.h"
#include "services/FatalError.h"
#include "services/Random.h"
#include "services/Sound.h"
#include "stage/Level.h"
#include "render/FrameSetup.h"
#include "platform/VirtualKeys.h"

namespace {

// The real platform with the pilot's hands on keys and mouse.
class TPilotInput final : public platform::TPlatformDecorator {
 public:
  using TPlatformDecorator::TPlatformDecorator;

  bool Keys[256] = {};

  bool IsVirtualKeyDown(int vk) override { return vk >= 0 && vk < 256 && Keys[vk]; }
  int VirtualKeyForChar(char ch) override { return ch >= 'a' && ch <= 'z' ? ch - 'a' + 'A' : ch; }
  void GetCursorPos(int& x, int& y) override {
    const platform::TScreenSize screen = ClientSize();
    x = screen.Width / 2;
    y = screen.Height / 2;
  }
  void SetCursorPos(int, int) override {}
  platform::TGamepadState Gamepad() override { return {}; }
  bool IsActive() override { return true; }
};

// Plays `seconds` of the stage: fire held, full speed through the tube,
// then aiming at the boss from as close as the end zone allows. Once the
// stage has ended the finish screen counts on to its end.
void Play(TLevel& level, TPilotInput& input, float seconds) {
  input.Keys['X'] = true;
  input.Keys[platform::kVkUp] = true;
  for (float t = 0; t < seconds * 1000 && level.fActive && level.fFinish.State == TFinishState::Running; t += 16) {
    const bool inEndZone = level.ShipPos() >= 1;
    input.Keys[platform::kVkLeft] = inEndZone && level.fBoss->fRoll > level.fRoll + 2;
    input.Keys[platform::kVkRight] = inEndZone && level.fBoss->fRoll < level.fRoll - 2;
    level.Progress(16);
  }
  input.Keys['X'] = input.Keys[platform::kVkUp] = input.Keys[platform::kVkLeft] = input.Keys[platform::kVkRight] = false;
  while (level.fActive && level.fFinish.State != TFinishState::Running && level.fFinish.Time < kFinishCountedMs) level.Progress(16);
  std::fprintf(stderr, "stage-snapshot: Zeit %.1f s, Leben %d, Punkte %d, Boss %d, Ende %d\n", level.fTime / 1000,
               level.fLife, level.fScore, level.fBoss->fLife, static_cast<int>(level.fFinish.State));
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "stage-snapshot: %s\n", platform::Cp1252ToUtf8(message).c_str());
  return 1;
}

bool WritePng(const std::string& path, int width, int height, const std::vector<unsigned char>& rgbBottomUp) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = height - 1; y >= 0; --y)
    png_write_row(png, rgbBottomUp.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 3);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::fclose(file) == 0;
}

// Lets the lightning crackle for a while, as the frames before would have,
// then on to a frame where the gate ring and some radial bolts flash (they
// flicker: most frames show only a few of them).
void AgeBolts(TLevel& level, float ms) {
  auto frame = [&] {
    for (const auto& bolt : level.fBolts) {
      if (bolt) bolt->Progress(16);
    }
  };
  for (float t = 0; t < ms; t += 16) frame();
  auto flashing = [&] {
    int visible = 0;
    for (std::size_t i = 1; i < level.fBolts.size(); ++i) visible += level.fBolts[i]->fVisible;
    return level.fBolts[0]->fVisible && visible >= 2;
  };
  for (int i = 0; i < 2000 && !level.fBolts.empty() && !flashing(); ++i) frame();
}

// The state a frame of the chosen moment would find.
bool SetMoment(TLevel& level, const std::string& moment) {
  const float c = static_cast<float>(level.fCircles);
  const float e = static_cast<float>(level.fEndLength);
  auto endZone = [&] {
    level.fTime = 90000;
    level.fBolts.clear();
    level.fPos = 1 + 30 / c - level.fCamera.Dist / c;
    level.fEndPos = (e - 30) / c + 1;
    level.fSpeed = 0;
    level.fBoss->fActive = true;
    level.fBoss->fRoll = 35;
  };
  if (moment == "intro") {
    level.fTime = 2000;
    AgeBolts(level, 2000);
    return true;
  }
  if (moment == "flight") {
    level.fTime = 30000;
    level.fBolts.clear();
    level.fPos = 1.0f / 3 - level.fCamera.Dist / c;
    level.fRoll = 20;
    level.fLife = 64;
    level.fScore = 4711;
    // The swarm as it meets the ship: the nearest few close ahead.
    auto& swarm = level.fSmallEnemy.Manager->fSmallEnemy;
    for (std::size_t i = 0; i < swarm.size(); ++i) {
      level.fSmallEnemy.Manager->Spawn(i);
      if (i < 4) swarm[i]->fPos = level.ShipPos() + static_cast<float>(10 + 7 * i) / c;
    }
    // A volley on its way.
    for (int k = 1; k <= 4; ++k)
      level.fPlayer.ParticleManager->Add(level.fPlayer.Particle.get())
          .Init(true, level.ShipPos() + k * 3 / c, level.fRoll, 0, 0, 0, 0, 2000);
    return true;
  }
  if (moment == "boss") {
    endZone();
    level.fScore = 18250;
    level.fLife = 41;
    level.fBoss->fLife = level.fBoss->fMaxLife * 2 / 3;
    // Each fire point has just fired.
    for (const TFirePoint& point : level.fBoss->fFirePoints) {
      for (int k = 0; k < 3; ++k)
        level.fBoss->fParticleManager.Add(point.fModel)
            .Init(true, point.fPos - k * 4 / c, level.fBoss->fRoll + point.fAngle + k * 5, 0, 0, 0, 0, 5000);
    }
    return true;
  }
  // The feedback's moments: the frame after a hit on the ship, after a
  // weapon power-up taken, after a volley on the boss, each played for one
  // frame so that the stage itself notes what happened.
  if (moment == "hit" || moment == "powerup") {
    SetMoment(level, "flight");
    if (moment == "hit") {
      level.fSmallEnemy.Manager->fParticleManager.Add(level.fSmallEnemy.Particle.get())
          .Init(true, level.ShipPos(), level.fRoll, 0, 0, 0, 0, 1000);
    } else {
      level.fPowerUp.List.clear();
      auto weapon = std::make_unique<TPowerUp>();
      weapon->Kind = kPowerUpWeapon;
      weapon->Value = 1;
      weapon->Pos = level.ShipPos();
      weapon->Roll = level.fRoll;
      level.fPlayer.Weapon = 2;
      level.fPowerUp.List.push_back(std::move(weapon));
    }
    level.Progress(16);
    return true;
  }
  if (moment == "lowlife" || moment == "shield") {
    SetMoment(level, "flight");
    if (moment == "lowlife") {
      level.fLife = 15;
    } else {
      level.fPlayer.ShieldTime = 2000;
      level.fPlayer.ShieldVisible = true;
    }
    return true;
  }
  if (moment == "bosshit") {
    SetMoment(level, "boss");
    for (int k = 0; k < 3; ++k)
      level.fPlayer.ParticleManager->Add(level.fPlayer.Particle.get())
          .Init(true, level.fBoss->fPos, level.fBoss->fRoll, 0, 0, 0, 0, 2000);
    level.Progress(16);
    return true;
  }
  if (moment == "result" || moment == "highscore") {
    endZone();
    level.fScore = 23870;
    level.fLife = 58;
    level.fBoss->fLife = 0;
    level.fFinish.State = TFinishState::Passed;
    level.fFinish.Points = level.fScore;
    level.fFinish.LifeBonus = level.fLife * 100;
    level.fFinish.TimeBonus = static_cast<int32_t>(std::nearbyint(level.fPathLength * 1000000.0 / 95000.0));
    level.fFinish.Total = level.fFinish.Points + level.fFinish.LifeBonus + level.fFinish.TimeBonus;
    level.fFinish.Time = 7000;
    if (moment == "highscore") {
      level.fFinish.NameEntry = true;
      level.fFinish.EntryIndex = level.LoadHighscores(level.fFinish.Total);
      level.fFinish.HighScore[static_cast<std::size_t>(level.fFinish.EntryIndex)].Name = "PILOT";
      level.fFinish.CursorVisible = true;
    }
    return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args;
  bool fewerFlashes = false;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--weniger-blitze") {
      fewerFlashes = true;
    } else {
      args.emplace_back(argv[i]);
    }
  }
  if (args.size() != 4 && args.size() != 5) {
    std::fprintf(stderr,
                 "Aufruf: stage-snapshot LEVELDATEI AUSGABE.png BREITExH\xC3\xB6HE "
                 "intro|flight|boss|hit|powerup|bosshit|lowlife|shield|result|highscore[+SEKUNDEN]|play:SEKUNDEN "
                 "[auto|gl1|shader] [--weniger-blitze]\n");
    return 2;
  }
  const std::optional<render::TBackendKind> backend = render::ParseBackendKind(args.size() == 5 ? args[4] : "");
  if (!backend) return Fail("Unbekannte Zeichnung '" + args[4] + "' (auto, gl1 oder shader)");
  render::SelectBackend(*backend);
  const std::string stageFile = args[0];
  const std::string out = args[1];
  std::string moment = args[3];
  int width = 0, height = 0;
  if (std::sscanf(args[2].c_str(), "%dx%d", &width, &height) != 2 || width < 64 || height < 64 || width > 8192 ||
      height > 8192)
    return Fail("Ung\xFCltige Gr\xF6\xDF" "e '" + args[2] + "' (erwartet z. B. 1280x720)");
  auto seconds = [](const std::string& number, float& value) {
    char* end = nullptr;
    value = std::strtof(number.c_str(), &end);
    return !number.empty() && *end == '\0' && value >= 0 && value <= 3600;
  };
  float playSeconds = -1;
  float runSeconds = -1;  // frames drawn on from the moment
  if (moment.rfind("play:", 0) == 0) {
    if (!seconds(moment.substr(5), playSeconds))
      return Fail("Ung\xFCltige Spielzeit '" + moment.substr(5) + "' (0 bis 3600 Sekunden)");
  } else {
    if (const std::size_t plus = moment.find('+'); plus != std::string::npos) {
      if (!seconds(moment.substr(plus + 1), runSeconds))
        return Fail("Ung\xFCltige Spielzeit '" + moment.substr(plus + 1) + "' (0 bis 3600 Sekunden)");
      moment.resize(plus);
    }
    const std::vector<std::string> moments = {"intro", "flight", "boss", "hit", "powerup", "bosshit",
                                              "lowlife", "shield", "result", "highscore"};
    if (std::find(moments.begin(), moments.end(), moment) == moments.end())
      return Fail("Unbekannter Zeitpunkt '" + moment +
                  "' (intro, flight, boss, hit, powerup, bosshit, lowlife, shield, result, highscore oder "
                  "play:SEKUNDEN)");
  }
  const bool everyFrame = out.find('%') != std::string::npos;
  auto frameFile = [&](int frame) {
    char name[4096];
    std::snprintf(name, sizeof name, out.c_str(), frame);
    return std::string(name);
  };

  try {
    // Played moments make sounds; nobody listens.
    const bool plays = playSeconds >= 0 || runSeconds >= 0;
    if (plays) ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    platform::SdlPlatform window(platform::TWindowOptions{.Width = width, .Height = height, .CaptureMouse = false});
    TPilotInput platform(window);
    platform::EnableDialogBoxes(false);  // a tool reports on stderr only
    TSound sound(plays);
    gfx::Viewport({0, 0, width, height});
    gfx::ClearColor(0, 0, 0, 0);
    gfx::Enable(gfx::TCap::DepthTest);
    gfx::Enable(gfx::TCap::CullFace);

    const TTextContextHandle context = CreateTextContext();
    TRandom random;
    TLevel level(platform, context, random, sound);
    level.fReduceFlash = fewerFlashes;
    random.Seed(20261207);
    try {
      level.LoadFromFile(stageFile);
    } catch (const std::exception& error) {
      return Fail("Fehler beim Laden von " + stageFile + ": " + error.what());
    }
    if (!level.fActive) return Fail(stageFile + " hat keine Kontrollpunkte: kein Level");
    random.Seed(20261207);
    if (playSeconds >= 0) {
      Play(level, platform, playSeconds);
    } else {
      SetMoment(level, moment);
    }

    auto draw = [&] {
      render::BeginFrame(width, height);
      gfx::PushMatrix();
      level.Render();
      gfx::PopMatrix();
      gfx::Finish();
      return gfx::ReadPixels({0, 0, width, height}, false);
    };
    std::vector<unsigned char> pixels = draw();
    if (runSeconds >= 0) {
      // Frames of a 60 Hz display, the pilot's hands as in play.
      constexpr float kFrameMs = 1000.0f / 60;
      flash::TFlashCounter flashes(width, height, 60);
      flashes.Add(pixels, 3);
      if (everyFrame && !WritePng(frameFile(0), width, height, pixels)) return Fail("Kann " + frameFile(0) + " nicht schreiben");
      const int frames = static_cast<int>(std::lround(runSeconds * 60));
      for (int frame = 1; frame <= frames && level.fActive; ++frame) {
        const bool inEndZone = level.ShipPos() >= 1;
        platform.Keys['X'] = true;
        platform.Keys[platform::kVkLeft] = inEndZone && level.fBoss->fRoll > level.fRoll + 2;
        platform.Keys[platform::kVkRight] = inEndZone && level.fBoss->fRoll < level.fRoll - 2;
        // Under heavy fire: a shot on the ship four times a second.
        if (moment == "hit" && frame % 15 == 0)
          level.fSmallEnemy.Manager->fParticleManager.Add(level.fSmallEnemy.Particle.get())
              .Init(true, level.ShipPos(), level.fRoll, 0, 0, 0, 0, 1000);
        level.Progress(kFrameMs);
        pixels = draw();
        flashes.Add(pixels, 3);
        if (everyFrame && !WritePng(frameFile(frame), width, height, pixels))
          return Fail("Kann " + frameFile(frame) + " nicht schreiben");
      }
      const flash::TFlashes most = flashes.Most();
      std::printf("%s %s: %d Bilder, h\xC3\xB6" "chstens %d Blitze in einer Sekunde im ganzen Bild, %d in einem Teil, "
                  "%d an einer Stelle\n",
                  moment.c_str(), fewerFlashes ? "weniger-blitze" : "normal", flashes.Frames(), most.Screen, most.Part,
                  most.Spot);
      if (everyFrame) return 0;
    }
    if (!WritePng(out, width, height, pixels)) return Fail("Kann " + out + " nicht schreiben");
  } catch (const std::exception& error) {
    return Fail(error.what());
  }
  return 0;
}
