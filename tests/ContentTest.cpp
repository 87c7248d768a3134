// ContentTest.cpp -- every shipped stage, model, boss, text and sound file in
// the runtime folder, read through the game's own parsers.
#include <gtest/gtest.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "geometry/Spline3D.h"
#include "menu/MainMenu.h"
#include "objects/Bolt.h"
#include "objects/Boss.h"
#include "objects/Particle.h"
#include "objects/ParticleManager.h"
#include "objects/PowerUp.h"
#include "objects/Ship.h"
#include "render/Font.h"
#include "render/FrameSetup.h"
#include "render/draw/Draw.h"
#include "render/TubeTransform.h"
#include "stage/Level.h"
#include "platform/Audio.h"
#include "services/Difficulty.h"
#include "services/IniFile.h"
#include "services/RC4Stream.h"
#include "services/ValueLists.h"
#include "support/GLWindow.h"
#include "support/StagePlay.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

const std::string kBin = RV_BIN_DIR;
const std::string kData = kBin + "/data/";

std::vector<std::string> StageNames() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(kData)) {
    if (entry.path().extension() == ".level") names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TIniFile LoadStage(const std::string& name) {
  TIniFile ini;
  LoadIni(ini, kData + name, kLevelKey);
  return ini;
}

// Items of a stage or boss list, by the game's own list rule.
std::vector<std::string> Items(std::string_view text) {
  const std::vector<std::string_view> items = TerminatedItems(text);
  return {items.begin(), items.end()};
}

float Distance(const TVector3f& a, const TVector3f& b) {
  return std::hypot(a.x - b.x, a.y - b.y, a.z - b.z);
}

TEST(Content, StagePathsAreCurvedTubesThatNeverTouchThemselves) {
  const auto names = StageNames();
  ASSERT_GE(names.size(), 8u);
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const TIniFile ini = LoadStage(name);
    const int count = ini.ReadInteger("SplinePoints", "count", 0);
    ASSERT_GE(count, 10);
    T3DPoints points;
    std::vector<TVector3f> controls;
    for (int i = 0; i < count; ++i) {
      const TVector3f p = StrToVector3f(ini.ReadString("SplinePoints", "p" + std::to_string(i), "0;0;0"));
      controls.push_back(p);
      points.x.push_back(p.x);
      points.y.push_back(p.y);
      points.z.push_back(p.z);
    }
    // The path runs by point index, so even spacing means even speed.
    std::vector<float> gaps;
    for (int i = 1; i < count; ++i) gaps.push_back(Distance(controls[i - 1], controls[i]));
    EXPECT_LT(*std::max_element(gaps.begin(), gaps.end()), 1.5f * *std::min_element(gaps.begin(), gaps.end()));

    TTubeDimensions tube{ini.ReadFloat("Level", "TubeSize", 4), ini.ReadInteger("Level", "Circles", 1200)};
    T3DSpline spline;
    spline.SetPoints(tube, points);
    const int rings = tube.fCircles;
    const int endRings = ini.ReadInteger("Level", "EndLength", 50);
    // Run-in, tube and opened end zone, every other ring, with arc lengths.
    std::vector<TVector3f> path;
    std::vector<float> arc;
    for (int i = -20; i <= rings + endRings; i += 2) {
      path.push_back(spline.GetPoint(static_cast<float>(i) / rings));
      arc.push_back(path.size() > 1 ? arc.back() + Distance(path[path.size() - 2], path.back()) : 0);
    }
    // No fold: the bend over ten rings stays far wider than the tube.
    float sharpest = 1e9f;
    for (std::size_t i = 5; i + 5 < path.size(); ++i) {
      const float chord = Distance(path[i - 5], path[i + 5]);
      const float sag = Distance(path[i], TVector3f{(path[i - 5].x + path[i + 5].x) / 2, (path[i - 5].y + path[i + 5].y) / 2,
                                                    (path[i - 5].z + path[i + 5].z) / 2});
      if (sag > 1e-3f) sharpest = std::min(sharpest, chord * chord / (8 * sag));
    }
    EXPECT_GT(sharpest, 4 * tube.fTubeSize);
    EXPECT_LT(sharpest, 1e6f) << "a straight tube";
    // Parts of the tube far apart along it keep well clear of each other.
    float clearance = 1e9f;
    for (std::size_t i = 0; i < path.size(); ++i) {
      for (std::size_t j = i + 1; j < path.size(); ++j) {
        if (arc[j] - arc[i] > 30 * tube.fTubeSize) clearance = std::min(clearance, Distance(path[i], path[j]));
      }
    }
    EXPECT_GT(clearance, 4 * tube.fTubeSize);
  }
}

TEST(Content, StageSettingsAndListsParse) {
  static const char* const kColours[][2] = {
      {"Level", "TubeStartColor"}, {"Level", "TubeEndColor"},       {"Player", "ShipColor"},
      {"Player", "ParticleColor"}, {"SmallEnemy", "Color"},         {"SmallEnemy", "ParticleColor"},
      {"MediumEnemy", "Color"},    {"MediumEnemy", "ParticleColor"}, {"Boss", "Color"},
      {"Boss", "ParticleColor"}};
  std::set<std::string> kinds;
  for (const std::string& name : StageNames()) {
    SCOPED_TRACE(name);
    const TIniFile ini = LoadStage(name);
    EXPECT_FALSE(ini.ReadString("Level", "Title", "").empty());
    const std::string desc = ini.ReadString("Level", "Desc", "");
    EXPECT_FALSE(desc.empty());
    // The stage list shows the description as written: no line-break markers.
    EXPECT_EQ(desc.find("[r]"), std::string::npos);
    const int perRing = ini.ReadInteger("Level", "PointsPerCircle", 0);
    EXPECT_TRUE(perRing >= 8 && perRing % 2 == 0) << perRing;
    EXPECT_GE(ini.ReadInteger("Level", "Circles", 0), 600);
    for (const auto& key : kColours) EXPECT_NO_THROW((void)StrToVector4f(ini.ReadString(key[0], key[1], ""))) << key[1];
    EXPECT_LT(ini.ReadFloat("Player", "MinSpeed", 0), ini.ReadFloat("Player", "MaxSpeed", 0));
    EXPECT_LT(ini.ReadFloat("SmallEnemy", "MinCreateDist", 0), ini.ReadFloat("SmallEnemy", "MaxCreateDist", 0));

    const auto positions = Items(ini.ReadString("MediumEnemy", "Position", ""));
    EXPECT_FALSE(positions.empty());
    for (const std::string& item : positions) {
      const float t = StrToFloat(item);
      EXPECT_TRUE(t > 0 && t < 1) << item;
    }
    const auto pos = Items(ini.ReadString("Level", "PowerUpPos", ""));
    const auto roll = Items(ini.ReadString("Level", "PowerUpRoll", ""));
    const auto type = Items(ini.ReadString("Level", "PowerUpType", ""));
    const auto value = Items(ini.ReadString("Level", "PowerUpValue", ""));
    ASSERT_FALSE(pos.empty());
    ASSERT_EQ(roll.size(), pos.size());
    ASSERT_EQ(type.size(), pos.size());
    ASSERT_EQ(value.size(), pos.size());
    for (std::size_t i = 0; i < pos.size(); ++i) {
      const float t = StrToFloat(pos[i]);
      EXPECT_TRUE(t > 0 && t < 1) << pos[i];
      EXPECT_LE(std::abs(StrToFloat(roll[i])), 180.0f);
      EXPECT_TRUE(type[i] == "S" || type[i] == "L" || type[i] == "W") << type[i];
      EXPECT_GT(StrToInt(value[i]), 0);
      kinds.insert(type[i]);
    }
  }
  EXPECT_EQ(kinds.size(), 3u) << "every kind of power-up somewhere in the campaign";
}

TEST(Content, StagesUnlockOneAfterAnotherFromTheFirst) {
  const auto names = StageNames();
  std::map<std::string, std::string> next;
  std::set<std::string> named;
  for (const std::string& name : names) {
    const std::string n = LoadStage(name).ReadString("Level", "NextLevel", "");
    next[name] = n;
    if (n.empty()) continue;
    EXPECT_EQ(n.find_first_of("/\\"), std::string::npos) << name << " -> " << n;
    EXPECT_NE(n, "..");
    EXPECT_TRUE(fs::is_regular_file(kData + n)) << name << " -> " << n;
    named.insert(n);
  }
  std::vector<std::string> heads;
  for (const std::string& name : names) {
    if (!named.count(name)) heads.push_back(name);
  }
  ASSERT_EQ(heads, std::vector<std::string>{"Level01.level"});
  std::vector<std::string> chain;
  for (std::string at = heads[0]; !at.empty() && chain.size() <= names.size(); at = next[at]) chain.push_back(at);
  ASSERT_EQ(chain.size(), names.size()) << "the chain reaches every stage once";

  // Playing only ever unlocks the next stage, so the unlocked ones are a
  // prefix of the chain; the sources ship with the first one alone unlocked.
  bool open = true;
  for (const std::string& name : chain) {
    const bool active = LoadStage(name).ReadBool("Level", "Active", false);
    EXPECT_TRUE(!active || open) << name;
    open = active;
    TIniFile source;
    source.LoadFromFile(std::string(RV_SOURCE_DIR) + "/assets/stages/" + name + ".ini");
    EXPECT_EQ(source.ReadBool("Level", "Active", false), name == chain.front()) << name;
  }
}

// Every stage through the game's own loader: models (every line names a
// point, every model narrower than the tube), the boss file and its shot
// models, lists and values.
TEST(Content, EveryStageLoadsWithTheGamesLoader) {
  TGLWindow window(640, 400);
  TSilentLevel level(window.Platform());
  for (const std::string& name : StageNames()) {
    SCOPED_TRACE(name);
    try {
      level.LoadFromFile(kData + name);
    } catch (const std::exception& error) {
      ADD_FAILURE() << error.what();
      continue;
    }
    ASSERT_TRUE(level.fActive);
    // Ships sit on the wall: none pokes through it.
    for (const TShip* ship : {level.fPlayer.Ship.get(), level.fSmallEnemy.Ship.get(), level.fMediumEnemy.Ship.get()}) {
      EXPECT_FALSE(ship->fLines.empty()) << ship->FileName();
      for (const TVector3f& v : ship->fVertices)
        EXPECT_GE(v.y * ship->fScale, -0.1f * level.fTubeSize) << ship->FileName() << " pokes through the wall";
    }
    for (const TParticle* shot : {level.fPlayer.Particle.get(), level.fSmallEnemy.Particle.get(),
                                  level.fMediumEnemy.Particle.get()})
      EXPECT_FALSE(shot->fLines.empty()) << shot->FileName();

    // The boss: several fire points on a looping timeline.
    const TBoss& boss = *level.fBoss;
    EXPECT_FALSE(boss.fModel->fLines.empty());
    EXPECT_GT(boss.fMaxTime, 0);
    EXPECT_GE(boss.fFirePoints.size(), 4u);
    for (std::size_t i = 0; i < boss.fFirePoints.size(); ++i) {
      const TFirePoint& point = boss.fFirePoints[i];
      EXPECT_GT(point.fLifeTime, 0) << "Point" << i;
      EXPECT_FALSE(point.fModel->fLines.empty()) << "Point" << i;
      EXPECT_FALSE(point.fTimes.empty()) << "Point" << i;
      int32_t last = -1;
      for (int32_t t : point.fTimes) {
        EXPECT_TRUE(t > last && t < boss.fMaxTime) << "Point" << i << "TimeList at " << t;
        last = t;
      }
    }
    for (std::size_t i = 0; i < boss.fLoops.size(); ++i) {
      const TBossLoop& loop = boss.fLoops[i];
      EXPECT_TRUE(loop.fJumpTo < loop.fAt && loop.fAt < boss.fMaxTime) << "Loop" << i;
      EXPECT_GT(loop.fRepeats, 0) << "Loop" << i;
    }
  }
}

// The colours the tube and its floor are drawn in: each ring's colour as the
// mesh carries it, the opened floor's faded over the black behind it.
std::vector<TVector3f> TubeAndFloorColours(const TLevel& level) {
  std::vector<TVector3f> colours;
  for (int i = 0; i <= level.fCircles + level.fEndLength; ++i) {
    const auto c = level.RingColor(static_cast<float>(i) / static_cast<float>(level.fCircles));
    const float a = static_cast<float>(c[3]) / 255 / 255;
    colours.push_back({static_cast<float>(c[0]) * a, static_cast<float>(c[1]) * a, static_cast<float>(c[2]) * a});
  }
  return colours;
}

// The player's ship and shots stand out from everything else in the stage:
// every enemy's and the boss's model and shots by at least 0.35 (Euclidean
// distance over RGB, 0..1 channels), the tube and floor by 0.35 and the
// power-ups lying in the stage by 0.3; every enemy, the boss and every
// enemy shot stand out from the tube and floor they fly over by 0.35.
TEST(Content, ColoursKeepThePlayerAndEveryShotInSight) {
  TGLWindow window(320, 240);
  TSilentLevel level(window.Platform());
  auto rgb = [](const TVector4f& c) { return TVector3f{c.r, c.g, c.b}; };
  for (const std::string& name : StageNames()) {
    SCOPED_TRACE(name);
    level.LoadFromFile(kData + name);
    const std::vector<TVector3f> tubeAndFloor = TubeAndFloorColours(level);
    std::vector<TVector3f> powerUps;
    for (const auto& powerUp : level.fPowerUp.List) {
      const auto c = PowerUpColour(powerUp->Kind);
      powerUps.push_back({c[0], c[1], c[2]});
    }
    const std::vector<std::pair<std::string, TVector3f>> enemies = {
        {"small enemies", rgb(level.fSmallEnemy.Color)},  {"gunboats", rgb(level.fMediumEnemy.Color)},
        {"the boss", rgb(level.fBoss->fColor)}};
    const std::vector<std::pair<std::string, TVector3f>> enemyShots = {
        {"small enemies' shots", rgb(level.fSmallEnemy.ParticleColor)},
        {"gunboats' shots", rgb(level.fMediumEnemy.ParticleColor)},
        {"the boss's shots", rgb(level.fBoss->fParticleColor)}};
    std::vector<std::tuple<std::string, std::vector<TVector3f>, float>> others = {
        {"the tube and floor", tubeAndFloor, 0.35f}, {"the power-ups", powerUps, 0.3f}};
    for (const auto& group : {enemies, enemyShots})
      for (const auto& [what, colour] : group) others.emplace_back(what, std::vector<TVector3f>{colour}, 0.35f);
    float nearest = 1e9f;
    std::string pair;
    auto check = [&](const std::string& what, const TVector3f& colour, const std::string& other,
                     const std::vector<TVector3f>& colours, float least) {
      float d = 1e9f;
      for (const TVector3f& c : colours) d = std::min(d, Distance(colour, c));
      EXPECT_GE(d, least) << what << " against " << other;
      if (d < nearest) {
        nearest = d;
        pair = what + " / " + other;
      }
    };
    for (const auto& [what, colour] : {std::pair{"ship", rgb(level.fPlayer.ShipColor)}, std::pair{"shots", rgb(level.fPlayer.ParticleColor)}}) {
      for (const auto& [other, colours, least] : others) check(std::string("player's ") + what, colour, other, colours, least);
    }
    for (const auto& group : {enemies, enemyShots})
      for (const auto& [what, colour] : group) check(what, colour, "the tube and floor", tubeAndFloor, 0.35f);
    std::printf("%s: nearest colours %.2f apart (%s)\n", name.c_str(), nearest, pair.c_str());
  }
}

// Where a model drawn on the wall at (t, roll) lands on screen with the
// camera that Render sets: the smallest box (in normalised device
// coordinates) round its points, and how far in front of the camera the
// nearest of them is.
struct TScreenBox {
  double Left = 1e9, Right = -1e9, Bottom = 1e9, Top = -1e9, Nearest = 1e9;
};

void Project(TLevel& level, const std::array<double, 16>& projection, const TParticle& model, float t, float roll,
             TScreenBox& box) {
  gfx::LoadIdentity();
  level.RenderCamera();
  ApplyTubeTransform(level.fSpline, t, roll);
  gfx::Scale(model.fScale, model.fScale, model.fScale);
  const gfx::TMatrix m = gfx::GetMatrix(gfx::TMatrixStack::ModelView);
  std::array<double, 16> modelview{};
  std::copy(m.begin(), m.end(), modelview.begin());
  auto transform = [](const std::array<double, 16>& m, const std::array<double, 4>& v) {
    std::array<double, 4> r{};
    for (std::size_t row = 0; row < 4; ++row)
      for (std::size_t k = 0; k < 4; ++k) r[row] += m[k * 4 + row] * v[k];
    return r;
  };
  for (const TVector3f& v : model.fVertices) {
    const auto clip = transform(projection, transform(modelview, {v.x, v.y, v.z, 1}));
    box.Nearest = std::min(box.Nearest, clip[3]);
    box.Left = std::min(box.Left, clip[0] / clip[3]);
    box.Right = std::max(box.Right, clip[0] / clip[3]);
    box.Bottom = std::min(box.Bottom, clip[1] / clip[3]);
    box.Top = std::max(box.Top, clip[1] / clip[3]);
  }
}

// Enemy shots as a player sees them coming down the tube at 1280x720, drawn
// as their managers draw them: a second of flight before they reach the ship
// (the shot's speed on the hardest difficulty plus the ship's top speed),
// seen from the stage's own camera at several places of the tube, every
// shot is at least 6 pixels across.
TEST(Content, EnemyShotsCanBeSeenComingDownTheTube) {
  TGLWindow window(320, 240);
  TSilentLevel level(window.Platform());
  render::SetPerspective(1280, 720);
  std::array<double, 16> projection{};
  const gfx::TMatrix p = gfx::GetMatrix(gfx::TMatrixStack::Projection);
  std::copy(p.begin(), p.end(), projection.begin());
  const float pace = DifficultyRules(TDifficulty::Hard).EnemyShotSpeed;
  for (const std::string& name : StageNames()) {
    SCOPED_TRACE(name);
    level.LoadFromFile(kData + name);
    const float c = static_cast<float>(level.fCircles);
    for (const auto& [what, model, speed] :
         {std::tuple{"small enemies' shots", level.fSmallEnemy.Particle.get(), level.fSmallEnemy.ParticleSpeed},
          std::tuple{"gunboats' shots", level.fMediumEnemy.Particle.get(), level.fMediumEnemy.ParticleSpeed}}) {
      double smallest = 1e9;
      for (int k = 1; k <= 8; ++k) {
        level.fPos = static_cast<float>(k) / 10;
        TScreenBox box;
        Project(level, projection, *model, level.ShipPos() + (speed * pace + level.fPlayer.MaxSpeed) / c, level.fRoll, box);
        ASSERT_GT(box.Nearest, 0);
        const double across = std::max((box.Right - box.Left) * 1280 / 2, (box.Top - box.Bottom) * 720 / 2);
        smallest = std::min(smallest, across * ShotDrawScale(*model, static_cast<float>(box.Nearest), kEnemyShotMinSize));
      }
      EXPECT_GE(smallest, 6.0) << what;
      std::printf("%s: %s at least %.1f px across\n", name.c_str(), what, smallest);
    }
  }
  gfx::LoadIdentity();
}

// The arena in view: the boss for its whole fight, for every place of the
// camera on its way into the arena, every roll the player can take on the
// floor and every roll of the boss's swing; and the ship where it comes to
// rest (30 rings into the zone) at the rolls it takes to face the boss. Both stay on screen, clear of
// the HUD's top row (a twentieth of the height) and of the boss bar at the
// bottom, on the narrowest common desktop (5:4).
TEST(Content, BossAndShipStayInViewInTheArena) {
  TGLWindow window(320, 256);
  TSilentLevel level(window.Platform());
  // The stage's own camera, as the content must fit it; the camera that
  // follows a ship leaving the picture is ArenaView's to check.
  level.fClassic = true;
  render::SetPerspective(320, 256);
  std::array<double, 16> projection{};
  const gfx::TMatrix p = gfx::GetMatrix(gfx::TMatrixStack::Projection);
  std::copy(p.begin(), p.end(), projection.begin());
  for (const std::string& name : StageNames()) {
    SCOPED_TRACE(name);
    level.LoadFromFile(kData + name);
    const TBoss& boss = *level.fBoss;
    const float c = static_cast<float>(level.fCircles);
    const float first = 1 - level.fCamera.Dist / c;  // the end flight starts as the ship leaves the tube
    const float last = (static_cast<float>(level.fEndLength) - 30) / c + 1;
    const float swing = 90 + std::fabs(boss.fRollSpeed) * 0.05f;  // one slow frame past the turn
    TScreenBox bossBox, shipBox;
    for (int k = 0; k <= 8; ++k) {
      level.fEndPos = first + (last - first) * static_cast<float>(k) / 8;
      for (int r = -3; r <= 3; ++r) {
        level.fRoll = 179.0f * static_cast<float>(r) / 3;
        for (int b = -4; b <= 4; ++b)
          Project(level, projection, *boss.fModel, boss.fPos, swing * static_cast<float>(b) / 4, bossBox);
        if (k == 8 && std::fabs(level.fRoll) <= 120) Project(level, projection, *level.fPlayer.Ship, 1 + 30 / c, level.fRoll, shipBox);
      }
    }
    gfx::LoadIdentity();
    for (const auto& [what, box] : {std::pair{"boss", bossBox}, std::pair{"ship", shipBox}}) {
      ASSERT_GT(box.Nearest, 0) << what << " reaches behind the camera";
      EXPECT_GE(box.Left, -1) << what << " cut off on the left";
      EXPECT_LE(box.Right, 1) << what << " cut off on the right";
      EXPECT_GE(box.Bottom, -1 + 2 * 1.1 / 20) << what << " under the boss bar";
      EXPECT_LE(box.Top, 1 - 2.0 / 20) << what << " under the score and life";
    }
  }
}

// The boss's walls, as a player meets them in the arena. The boss runs on
// its own clock from the moment it wakes, with the game's own fire points,
// loops and swing, for a minute of fight; at least kWallShots shots sent off
// in one frame to fly down the arena together (the same speed, acceleration
// and life, whatever their roll speeds) are a wall. Each wall must be one a
// player steering with the keys can always avoid, reacting a quarter of a
// second after it is fired: either the ship outruns it by holding Down from
// wherever the keys can put it, or, staying where it comes to rest and aiming
// at the boss when the wall is fired, it rolls from gap to gap at the keys'
// rate and no shot of any wall ever finds it.
constexpr float kFrameMs = 16.667f;
constexpr std::size_t kWallShots = 4;
constexpr float kKeyRollRate = 100;  // degrees per second, as the arrow keys roll
constexpr float kBackRate = 10;      // rings per second, as Down moves the ship back in the arena
constexpr int kReactionFrames = 15;  // a quarter of a second, a typical person's reaction

struct TWall {
  int Frame;       // of the fight, when it was fired
  float BossRoll;  // the boss's roll as it fired
  std::vector<std::vector<std::pair<float, float>>> Tracks;  // per shot: path parameter and roll, each frame it can hit
};

std::vector<TWall> BossWalls(TLevel& level, float seconds) {
  TBoss& boss = *level.fBoss;
  boss.fActive = true;
  level.fPos = 0;  // the ship far behind in the tube: no shot ever reaches it
  std::vector<TWall> walls;
  for (int frame = 0; static_cast<float>(frame) * kFrameMs < seconds * 1000; ++frame) {
    const uint64_t before = boss.fParticleManager.Added();
    const float roll = boss.fRoll;
    boss.Progress(kFrameMs);
    const auto fired = static_cast<std::ptrdiff_t>(boss.fParticleManager.Added() - before);
    const auto& items = boss.fParticleManager.Items();
    std::map<std::array<float, 3>, std::vector<TParticleListItem>> volleys;
    for (auto shot = items.end() - fired; shot != items.end(); ++shot)
      volleys[{shot->fSpeed, shot->fAccel, shot->fLifeTime}].push_back(*shot);
    for (auto& [flight, shots] : volleys) {
      if (shots.size() < kWallShots) continue;
      // A new shot has already made its first move; where it was before
      // that, at the boss, no ship can be.
      TWall& wall = walls.emplace_back(TWall{frame, roll, {}});
      for (TParticleListItem& shot : shots) {
        auto& track = wall.Tracks.emplace_back();
        while (!shot.Dead()) {
          track.emplace_back(shot.fPos, shot.fRoll);
          shot.Move(kFrameMs);
        }
      }
    }
  }
  return walls;
}

// The nearest (in rings) a shot of the wall comes to the front of the ship's
// box while the ship, a reaction after the wall was fired, holds Down from
// the front end of the arena, where the keys stop it; below 0 a shot
// reached the ship.
float OutrunMargin(const TLevel& level, const TWall& wall) {
  const float c = static_cast<float>(level.fCircles);
  const float e = static_cast<float>(level.fEndLength);
  const TShip& ship = *level.fPlayer.Ship;
  float pos = (e - 5) / c + 1;
  float margin = 1e9f;
  for (std::size_t k = 0;; ++k) {
    const float p = pos - (kBackRate / c) * kFrameMs / 1000;
    if (k >= kReactionFrames && p >= 5 / c + 1) pos = p;
    bool alive = false;
    for (const auto& track : wall.Tracks) {
      if (k >= track.size()) continue;
      alive = true;
      margin = std::min(margin, (track[k].first - (pos + ship.fPosMax)) * c);
    }
    if (!alive) return margin;
  }
}

// Where the ship comes to rest in the arena (path parameter), the furthest
// forward of any speed it can enter with: the end zone brakes it toward its
// least speed and, past 29 rings, harder still until it stands.
float RestPos(const TLevel& level) {
  float furthest = 0;
  for (const float entry : {level.fPlayer.MinSpeed, level.fPlayer.MaxSpeed}) {
    float speed = entry, ring = 0;
    while (speed > 0) {
      if (speed > level.fPlayer.MinSpeed) speed -= 10 * kFrameMs / 1000;
      if (ring > 29) speed -= 10 * kFrameMs / 1000;
      if (speed < 0.1f) break;
      ring += speed * kFrameMs / 1000;
    }
    furthest = std::max(furthest, ring);
  }
  return 1 + furthest / static_cast<float>(level.fCircles);
}

// Rolls the ship can be at, as closed intervals, in ascending order.
using TRolls = std::vector<std::pair<float, float>>;

// The ship rests at `pos` and rolls at `rate` degrees per second. When a
// wall is fired and no earlier one is still coming, the ship is where it
// fights from: at the boss's roll, aiming at it, and starts to roll away a
// reaction later. Every frame the rolls it
// can have reached grow by a frame's roll on each side (never over the top
// of the opened floor) and lose those where a shot of `walls` is inside the
// ship's box. Returns the frame at which no roll is left, or -1; `room`
// gets, per wall, the least width of floor the ship could still be on while
// that wall passed it.
int DodgeByRolling(const TLevel& level, const std::vector<const TWall*>& walls, float pos, float rate,
                   std::vector<float>* room = nullptr) {
  const TShip& ship = *level.fPlayer.Ship;
  // The last frame each wall is still coming at the ship or passing it.
  std::vector<int> gone;
  for (const TWall* wall : walls) {
    int last = wall->Frame;
    for (const auto& track : wall->Tracks) {
      for (std::size_t k = 0; k < track.size(); ++k) {
        if (track[k].first > pos + ship.fPosMin) last = std::max(last, wall->Frame + 1 + static_cast<int>(k));
      }
    }
    gone.push_back(last);
  }
  const int frames = walls.empty() ? 0 : *std::max_element(gone.begin(), gone.end()) + 1;
  if (room) room->assign(walls.size(), 360);
  TRolls reach{{-180, 180}};
  const float step = rate * kFrameMs / 1000;
  int still = 0;  // the ship holds its roll up to this frame
  for (int frame = 0; frame < frames; ++frame) {
    for (std::size_t w = 0; w < walls.size(); ++w) {
      if (walls[w]->Frame != frame) continue;
      bool coming = false;
      for (std::size_t v = 0; v < w; ++v) coming = coming || gone[v] >= frame;
      if (coming) continue;
      reach = {{walls[w]->BossRoll, walls[w]->BossRoll}};
      still = frame + kReactionFrames;
    }
    TRolls grown;
    for (auto [low, high] : reach) {
      if (frame >= still) {
        low = std::max(low - step, -180.0f);
        high = std::min(high + step, 180.0f);
      }
      if (!grown.empty() && low <= grown.back().second) {
        grown.back().second = std::max(grown.back().second, high);
      } else {
        grown.emplace_back(low, high);
      }
    }
    reach = std::move(grown);
    for (std::size_t w = 0; w < walls.size(); ++w) {
      const TWall& wall = *walls[w];
      const int k = frame - wall.Frame - 1;
      if (k < 0) continue;
      bool passing = false;
      for (const auto& track : wall.Tracks) {
        if (static_cast<std::size_t>(k) >= track.size()) continue;
        const auto [shotPos, shotRoll] = track[static_cast<std::size_t>(k)];
        if (!(pos + ship.fPosMin < shotPos && shotPos < pos + ship.fPosMax)) continue;
        passing = true;
        // The ship at r is hit when r + fRollMin < roll < r + fRollMax.
        const float low = shotRoll - ship.fRollMax, high = shotRoll - ship.fRollMin;
        TRolls left;
        for (const auto& [a, b] : reach) {
          if (b <= low || a >= high) {
            left.emplace_back(a, b);
            continue;
          }
          if (a <= low) left.emplace_back(a, low);
          if (b >= high) left.emplace_back(high, b);
        }
        reach = std::move(left);
      }
      if (passing && room) {
        float floor = 0;
        for (const auto& [a, b] : reach) floor += b - a;
        (*room)[w] = std::min((*room)[w], floor);
      }
    }
    if (reach.empty()) return frame;
  }
  return -1;
}

TEST(Content, EveryBossWallCanBeOutrunOrDodgedWithTheKeys) {
  TGLWindow window(320, 240);
  TSilentLevel level(window.Platform());
  for (const std::string& name : StageNames()) {
    SCOPED_TRACE(name);
    level.LoadFromFile(kData + name);
    const std::vector<TWall> walls = BossWalls(level, 60);
    std::vector<const TWall*> rolled;
    float outrun = 1e9f;
    int outrunCount = 0;
    for (const TWall& wall : walls) {
      const float margin = OutrunMargin(level, wall);
      if (margin > 0) {
        outrun = std::min(outrun, margin);
        ++outrunCount;
      } else {
        rolled.push_back(&wall);
      }
    }
    const float rest = RestPos(level);
    std::vector<float> room;
    const int caught = DodgeByRolling(level, rolled, rest, kKeyRollRate, &room);
    EXPECT_EQ(caught, -1) << "a wall no ship rolling with the keys gets through, "
                          << static_cast<float>(caught) * kFrameMs / 1000 << " s into the fight";
    // How much slower than the keys a ship could roll and still get through.
    float slowest = kKeyRollRate;
    if (caught == -1) {
      float low = 0, high = kKeyRollRate;
      while (high - low > 1) {
        const float mid = (low + high) / 2;
        (DodgeByRolling(level, rolled, rest, mid) == -1 ? high : low) = mid;
      }
      slowest = high;
    }
    std::printf("%s: %zu walls in a minute; %d outrun holding Down (nearest %.1f rings), %zu dodged by rolling "
                "(least room %.0f degrees, needs %.0f of the keys' %.0f degrees per second)\n",
                name.c_str(), walls.size(), outrunCount, outrunCount ? outrun : 0.0f, rolled.size(),
                rolled.empty() ? 0.0f : *std::min_element(room.begin(), room.end()), rolled.empty() ? 0.0f : slowest,
                kKeyRollRate);
  }
}

TEST(Content, MenuTextHoldsTheTreeTheMenuBindsTo) {
  TIniFile ini;
  ini.LoadFromFile(kData + "ger.txt");
  const std::string back = "zur\xFC" "ck";
  auto count = [&](const std::string& id) { return ini.ReadInteger("menu_" + id, "count", 0); };
  auto name = [&](const std::string& id) { return ini.ReadString("menu_" + id, "name", ""); };
  EXPECT_EQ(count("0"), 5);
  EXPECT_TRUE(ini.ValueExists("menu_0_0", "count") && count("0_0") == 0) << "stage page, filled by the program";
  EXPECT_TRUE(ini.ValueExists("menu_0_1", "count") && count("0_1") == 0) << "highscore page, filled by the program";
  EXPECT_GE(count("0_2"), 6);
  EXPECT_GE(count("0_3"), 2);
  EXPECT_EQ(count("0_3_0"), 0) << "vsync switch";
  EXPECT_GE(count("0_3_1"), 3);
  for (const char* id : {"0_2_2", "0_2_3", "0_2_4", "0_3_1_0", "0_3_1_1", "0_3_1_2", "0_4"}) {
    EXPECT_EQ(count(id), 0) << id;
  }
  // The controls page: the actions in their order, the four items after
  // them, then the way back; the window switch is a plain item.
  EXPECT_EQ(count(kControlsPage), kDefaultsIndex + 2);
  EXPECT_EQ(count(kWindowItem), 0);
  EXPECT_EQ(name(ControlsItem(static_cast<int>(TAction::Fire))), "Feuer");
  EXPECT_EQ(name(ControlsItem(kDefaultsIndex)), "Standard");
  EXPECT_NE(ini.ReadString(std::string("menu_") + kKeyboardHelpItem, "desc", "").find("{pause}"), std::string::npos);
  // Every page is reachable, every item has its texts, every sub-page can be
  // left by its last item and none by its first (that would bounce back).
  std::set<std::string> reached;
  std::vector<std::string> open = {"0"};
  while (!open.empty()) {
    const std::string id = open.back();
    open.pop_back();
    reached.insert("menu_" + id);
    EXPECT_FALSE(name(id).empty()) << id;
    EXPECT_FALSE(ini.ReadString("menu_" + id, "desc", "").empty()) << id;
    const int n = count(id);
    for (int i = 0; i < n; ++i) open.push_back(id + "_" + std::to_string(i));
    if (n > 0 && id != "0") {
      EXPECT_EQ(name(id + "_" + std::to_string(n - 1)), back) << id;
      EXPECT_NE(name(id + "_0"), back) << id;
    }
  }
  for (const auto& section : ini.Sections()) EXPECT_TRUE(reached.count(section.Name)) << section.Name;
}

TEST(Content, TextFilesAreWindows1252WithCrLf) {
  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(kData)) {
    const std::string ext = entry.path().extension().string();
    if (ext == ".txt" || ext == ".ship" || ext == ".part" || ext == ".boss") files.push_back(entry.path().string());
  }
  for (const auto& entry : fs::directory_iterator(std::string(RV_SOURCE_DIR) + "/assets/stages")) {
    files.push_back(entry.path().string());
  }
  ASSERT_GE(files.size(), 15u);
  for (const std::string& file : files) {
    const std::string bytes = ReadBytes(file);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      const auto c = static_cast<unsigned char>(bytes[i]);
      if (c == '\n') {
        ASSERT_TRUE(i > 0 && bytes[i - 1] == '\r') << file << " has a bare LF at byte " << i;
      }
      // UTF-8 for a German letter starts with 0xC3; such a pair never occurs in Windows-1252 text.
      if ((c == 0xC2 || c == 0xC3) && i + 1 < bytes.size()) {
        const auto d = static_cast<unsigned char>(bytes[i + 1]);
        ASSERT_FALSE(d >= 0x80 && d <= 0xBF) << file << " holds UTF-8 at byte " << i;
      }
    }
  }
}

struct TWav {
  int Format = 0;
  int Channels = 0;
  int Rate = 0;
  int Bits = 0;
  std::vector<int16_t> Samples;
};

TWav ReadWav(const std::string& path) {
  const std::string bytes = ReadBytes(path);
  auto u32 = [&](std::size_t at) {
    return static_cast<uint32_t>(static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8 |
                                 static_cast<uint8_t>(bytes[at + 2]) << 16 | static_cast<uint8_t>(bytes[at + 3]) << 24);
  };
  TWav wav;
  if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) return wav;
  for (std::size_t at = 12; at + 8 <= bytes.size(); at += 8 + u32(at + 4) + (u32(at + 4) & 1)) {
    const uint32_t size = std::min<uint32_t>(u32(at + 4), static_cast<uint32_t>(bytes.size() - at - 8));
    if (bytes.compare(at, 4, "fmt ") == 0 && size >= 16) {
      wav.Format = static_cast<int>(u32(at + 8) & 0xFFFF);
      wav.Channels = static_cast<int>(u32(at + 8) >> 16);
      wav.Rate = static_cast<int>(u32(at + 12));
      wav.Bits = static_cast<int>(u32(at + 22) & 0xFFFF);
    } else if (bytes.compare(at, 4, "data") == 0) {
      for (uint32_t i = 0; i + 1 < size; i += 2) wav.Samples.push_back(static_cast<int16_t>(u32(at + 8 + i) & 0xFFFF));
    }
  }
  return wav;
}

// An Ogg Vorbis file decoded to 16-bit samples; Format 0 when it is none.
TWav ReadVorbis(const std::string& path) {
  TWav wav;
  OggVorbis_File file;
  if (ov_fopen(path.c_str(), &file) != 0) return wav;
  const vorbis_info* info = ov_info(&file, -1);
  wav.Format = -1;
  wav.Channels = info->channels;
  wav.Rate = static_cast<int>(info->rate);
  wav.Bits = 16;
  char buffer[8192];
  int section = 0;
  long got = 0;
  while ((got = ov_read(&file, buffer, sizeof buffer, 0, 2, 1, &section)) > 0) {
    for (long i = 0; i + 1 < got; i += 2) {
      wav.Samples.push_back(static_cast<int16_t>(static_cast<uint8_t>(buffer[i]) | static_cast<uint8_t>(buffer[i + 1]) << 8));
    }
  }
  if (got < 0) wav.Format = 0;
  ov_clear(&file);
  return wav;
}

TEST(Content, SoundsDecodeAndMusicLoopsForAMinute) {
  static const char* const kEffects[] = {"laser.wav",      "hit_0.wav",      "hit_1.wav",    "hit_2.wav",
                                         "menu_change.wav", "menu_enter.wav", "boss_explode.mp3", "powerup.wav",
                                         "boss_tick.wav",   "low_life.wav"};
  static const char* const kMusic[] = {"music1.wav", "music2.mp3", "music3.mp3"};
  // Decoding only: nothing needs to reach a sound card.
  ::setenv("SDL_AUDIODRIVER", "dummy", 1);
  ASSERT_TRUE(platform::OpenAudioDevice());
  for (const char* effect : kEffects) {
    const double seconds = platform::AudioFileSeconds(kBin + "/sound/" + effect, false);
    EXPECT_TRUE(seconds > 0.03 && seconds < 4) << effect << ": " << seconds << " s";
  }
  for (const char* music : kMusic) {
    EXPECT_GE(platform::AudioFileSeconds(kBin + "/sound/" + music, true), 60.0) << music;
  }
  // The game's mixer plays the Vorbis track under its old name, to its exact length.
  EXPECT_DOUBLE_EQ(platform::AudioFileSeconds(kBin + "/sound/music1.wav", true), 64.0);
  platform::CloseAudioDevice();

  for (const auto& entry : fs::directory_iterator(kBin + "/sound")) {
    if (entry.path().extension() != ".wav") continue;
    SCOPED_TRACE(entry.path().string());
    const bool music = entry.path().filename().string().starts_with("music");
    // Music may be Ogg Vorbis under its old name; effects are plain PCM.
    const bool vorbis = ReadBytes(entry.path().string()).starts_with("OggS");
    const TWav wav = vorbis ? ReadVorbis(entry.path().string()) : ReadWav(entry.path().string());
    EXPECT_EQ(wav.Format, vorbis && music ? -1 : 1);
    EXPECT_EQ(wav.Bits, 16);
    EXPECT_EQ(wav.Rate, 44100);
    ASSERT_FALSE(wav.Samples.empty());
    int peak = 0;
    for (int16_t s : wav.Samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
    // Effects leave headroom for each other and the music: -6 dBFS at most.
    EXPECT_LT(peak, music ? 32000 : 16423) << "too loud";
    EXPECT_GT(peak, 8000) << "too quiet";
  }
  // The looped track is 32 bars at 120 beats a minute to the sample, with no
  // encoder padding after them, and its last frame runs on into its first:
  // no gap and no click at the seam.
  const TWav music = ReadVorbis(kBin + "/sound/music1.wav");
  ASSERT_EQ(music.Channels, 2);
  EXPECT_EQ(music.Samples.size(), 2u * 64 * 44100);
  ASSERT_GE(music.Samples.size(), 4u);
  const std::size_t n = music.Samples.size();
  for (std::size_t c = 0; c < 2; ++c) {
    const int jump = std::abs(music.Samples[c] - music.Samples[n - 2 + c]);
    const int step = std::abs(music.Samples[n - 2 + c] - music.Samples[n - 4 + c]);
    EXPECT_LT(jump, step + 1500) << "channel " << c;
  }
}

}  // namespace
