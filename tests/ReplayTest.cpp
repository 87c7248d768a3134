// ReplayTest.cpp -- a scripted run of a small stage recorded through the
// recording platform, written to bytes and read back, then played through
// the replay platform: the stage's state is the same in every frame. And the
// command line. Needs a display (real GL).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <regex>
#include <type_traits>
#include <vector>

#include "app/GameFolder.h"
#include "app/Options.h"
#include "app/PlatformStack.h"
#include "app/Timedemo.h"
#include "objects/Boss.h"
#include "objects/MediumEnemyManager.h"
#include "objects/ParticleManager.h"
#include "objects/SmallEnemyManager.h"
#include "platform/RecordingPlatform.h"
#include "platform/ReplayPlatform.h"
#include "render/Font.h"
#include "services/IniFile.h"
#include "services/RC4Stream.h"
#include "services/Settings.h"
#include "support/Run.h"
#include "support/StagePlay.h"
#include "support/TempDir.h"
#include "platform/VirtualKeys.h"
#include "services/Random.h"

namespace {

// What one frame of the stage left behind.
struct TSnapshot {
  float Time, Pos, Roll, Speed, BossRoll, EnemyPos, EnemyRoll;
  int32_t Life, Score, Weapon, BossLife;
  std::size_t Shots, EnemyShots;
  TFinishState State;

  bool operator==(const TSnapshot& other) const { return std::memcmp(this, &other, sizeof *this) == 0; }
};

TSnapshot Snap(const TLevel& level) {
  TSnapshot s;
  std::memset(&s, 0, sizeof s);
  s.Time = level.fTime;
  s.Pos = level.fPos;
  s.Roll = level.fRoll;
  s.Speed = level.fSpeed;
  s.BossRoll = level.fBoss->fRoll;
  for (const auto& enemy : level.fSmallEnemy.Manager->fSmallEnemy) {
    s.EnemyPos += enemy->fPos;
    s.EnemyRoll += enemy->fRoll;
  }
  s.Life = level.fLife;
  s.Score = level.fScore;
  s.Weapon = level.fPlayer.Weapon;
  s.BossLife = level.fBoss->fLife;
  s.Shots = level.fPlayer.ParticleManager->Items().size();
  s.EnemyShots = level.fSmallEnemy.Manager->fParticleManager.Items().size() +
                 level.fMediumEnemy.Manager->fParticleManager.Items().size() +
                 level.fBoss->fParticleManager.Items().size();
  s.State = level.fFinish.State;
  return s;
}

// Plays the stage on `platform` as the main loop would: pump, time since the
// last frame, one stage frame. `hands` moves before each frame.
std::vector<TSnapshot> Play(platform::TPlatform& platform, TStagePlay& play, auto&& hands) {
  // On the test stage's text context: a font is freed in the context that
  // is current, so one context for all keeps every font where it was made.
  TRandom random;
  TLevel level(platform, play.Level->fTextContext, random, play.Sound);
  level.LoadFromFile(play.StageFile);
  std::vector<TSnapshot> frames;
  uint64_t last = platform.PerformanceCounter();
  for (int i = 0; i < 2400 && level.fActive; ++i) {
    // Hands that also take the stage change it as the game would (a fatal
    // hit, the boss's end), the same way in the recording and the replay.
    if constexpr (std::is_invocable_v<decltype(hands), int, TLevel&>) {
      hands(i, level);
    } else {
      hands(i);
    }
    if (platform.PumpEvents().Quit) break;
    const uint64_t now = platform.PerformanceCounter();
    level.Progress(static_cast<float>(static_cast<double>(now - last) * 1000.0 /
                                      static_cast<double>(platform.PerformanceFrequency())));
    last = now;
    frames.push_back(Snap(level));
  }
  return frames;
}

// Replays what `recorder` took, through the file format, on `window` (whose
// own clock, seed, keys and pad must not matter), and expects every frame
// of `recorded` again.
void ExpectReplayed(const platform::TRecordingPlatform& recorder, TStagePlay& play,
                    platform::ScriptedPlatform& window, const std::vector<TSnapshot>& recorded) {
  const platform::TRecording recording = platform::ParseRecording(platform::SerializeRecording(recorder.Recording()));
  platform::TReplayPlatform replay(window, recording, RV_BIN_DIR "/", platform::TReplayPace::Fastest);
  const std::vector<TSnapshot> replayed = Play(replay, play, [](int) {});
  ASSERT_EQ(replayed.size(), recorded.size());
  for (std::size_t i = 0; i < recorded.size(); ++i) ASSERT_TRUE(replayed[i] == recorded[i]) << "frame " << i;
  EXPECT_FALSE(replay.DivergedAt());
}

TEST(Replay, AScriptedStageRunReplaysFrameByFrame) {
  TStagePlay play;
  play.Load({{"Level/Circles", "150"},
             {"SmallEnemy/Count", "6"},
             {"SmallEnemy/ShootValue", "300"},
             {"MediumEnemy/Position", "0,4;"},
             {"MediumEnemy/Life", "4"},
             {"Boss/Life", "30"}});

  platform::ScriptedPlatform hands;
  hands.Base = RV_BIN_DIR "/";
  hands.Seed = 4711;
  platform::TRecordingPlatform recorder(hands, {});
  const std::vector<TSnapshot> recorded = Play(recorder, play, [&](int i) {
    hands.AdvanceMs(10 + (i * 7) % 13);  // uneven frame times
    hands.SetKey(platform::kVkLButton, i % 50 >= 5);        // fire, with pauses
    hands.SetKey(platform::kVkUp, i < 600);           // speed up, then coast
    hands.SetKey(platform::kVkLeft, (i / 40) % 3 == 0);
    hands.SetKey(platform::kVkRight, (i / 40) % 3 == 1);
    hands.MoveMouse(i % 9 - 4, (i % 5) - 2);
    if (i == 1500) hands.Active = false;  // the window loses focus for a while
    if (i == 1530) hands.Active = true;
    hands.SetKey('P', i == 300 || i == 420);  // a pause of two seconds
    hands.SetPadButton(platform::kPadStart, i == 1000 || i == 1060);  // and one from the pad
    // A controller plugged in for a while: the stick sweeps, A fires.
    hands.Pad.Connected = i >= 800 && i < 1400;
    hands.Pad.StickX = static_cast<int16_t>((i * 977) % 65536 - 32768);
    hands.SetPadButton(platform::kPadA, i % 30 < 20);
  });
  ASSERT_GT(recorded.size(), 1000u);
  EXPECT_EQ(recorded[400].Time, recorded[310].Time);  // paused
  EXPECT_EQ(recorded[1050].Pos, recorded[1010].Pos);
  EXPECT_GT(recorded[440].Time, recorded[420].Time);
  EXPECT_GT(recorded.back().Score, 0);  // something was hit: the run is worth replaying
  EXPECT_NE(recorded[700].Roll, recorded[10].Roll);

  // Onto a platform whose own seed, keys and pad differ.
  platform::ScriptedPlatform window;
  window.Seed = 1;
  window.SetKey(platform::kVkLButton, true);
  window.Pad.Connected = true;
  window.SetPadButton(platform::kPadLeft, true);
  ExpectReplayed(recorder, play, window, recorded);
}

// A run whose window changed size (a switch to a window, a drag, back to
// full screen) while the mouse steered replays exactly in a window of yet
// another size: the game steers by the cursor's offset from the client
// area's centre, wherever that is.
TEST(Replay, AResizedWindowReplaysInAWindowOfAnotherSize) {
  TStagePlay play;
  play.Load({{"Level/Circles", "150"}, {"SmallEnemy/Count", "4"}, {"Boss/Life", "30"}});

  platform::ScriptedPlatform hands;
  hands.Base = RV_BIN_DIR "/";
  hands.Screen = hands.Client = {1920, 1080};
  platform::TRecordingPlatform recorder(hands, {});
  const std::vector<TSnapshot> recorded = Play(recorder, play, [&](int i) {
    hands.AdvanceMs(16);
    hands.SetKey(platform::kVkLButton, true);
    hands.SetKey(platform::kVkUp, i < 300);
    hands.MoveMouse(i % 7 - 3, i % 3 - 1);
    if (i == 200) hands.Resize(1280, 720);
    if (i == 400) hands.Resize(1000, 600);
    if (i == 600) hands.Resize(1920, 1080);
  });
  ASSERT_GT(recorded.size(), 700u);
  EXPECT_NE(recorded[500].Roll, recorded[100].Roll);

  platform::ScriptedPlatform window;  // 1024 x 768 all along
  ExpectReplayed(recorder, play, window, recorded);
}

// R after a game over and the pad's Y after a pass start the stage again at
// once; the replay sees both, frame by frame, and nothing is saved.
TEST(Replay, ARetryByKeyOrPadReplaysAndSavesNothing) {
  TStagePlay play;
  const std::string next = play.Dir.File("next.level");
  TIniFile locked;
  locked.WriteBool("Level", "Active", false);
  SaveIni(&locked, next, kLevelKey);
  // Ten better runs in the list: these runs earn no place, which R would
  // keep by asking the name first.
  std::map<std::string, std::string> values{{"SmallEnemy/Count", "3"}, {"Level/NextLevel", "next.level"},
                                            {"Highscore/count", "10"}};
  for (int i = 0; i < 10; ++i) values["Highscore/score" + std::to_string(i)] = "2000000000";
  play.Load(values);
  const std::string stageBytes = ReadBytes(play.StageFile);
  // The same fatal hit and the same end of the boss in both runs.
  auto events = [](int i, TLevel& level) {
    if (i == 200) level.fLife = 0;
    if (i == 500) level.PassStage();
  };
  platform::ScriptedPlatform hands;
  hands.Base = RV_BIN_DIR "/";
  hands.Pad.Connected = true;
  platform::TRecordingPlatform recorder(hands, {});
  const std::vector<TSnapshot> recorded = Play(recorder, play, [&](int i, TLevel& level) {
    events(i, level);
    hands.AdvanceMs(16);
    hands.SetKey(platform::kVkLButton, true);
    hands.SetKey(platform::kVkLeft, i % 60 < 20);
    hands.SetKey('R', i == 100 || i == 260);  // in flight R does nothing
    hands.SetPadButton(platform::kPadY, i == 560);
    hands.SetKey(platform::kVkEscape, i == 700);
  });
  ASSERT_EQ(recorded.size(), 701u);
  EXPECT_EQ(recorded[259].State, TFinishState::GameOver);
  EXPECT_EQ(recorded[559].State, TFinishState::Passed);
  for (const std::size_t again : {260u, 560u}) {
    EXPECT_EQ(recorded[again].State, TFinishState::Running) << again;
    EXPECT_EQ(recorded[again].Time, 0) << again;
    EXPECT_EQ(recorded[again].Life, 100) << again;
  }
  EXPECT_EQ(ReadBytes(play.StageFile), stageBytes);
  TIniFile unlocked;
  LoadIni(unlocked, next, kLevelKey);
  EXPECT_TRUE(unlocked.ReadBool("Level", "Active", false)) << "a won stage played again keeps its unlock";

  platform::ScriptedPlatform window;
  const platform::TRecording recording = platform::ParseRecording(platform::SerializeRecording(recorder.Recording()));
  platform::TReplayPlatform replay(window, recording, RV_BIN_DIR "/", platform::TReplayPace::Fastest);
  EXPECT_TRUE(Play(replay, play, events) == recorded);
  EXPECT_FALSE(replay.DivergedAt());
}

// Replays and the autopilot play in a scratch copy: the stage files and
// settings are its own, everything else links to the program folder, and
// nothing is ever written through those links.
TEST(Replay, ScratchCopyNeverWritesToTheProgramFolder) {
  TTempDir base;
  std::filesystem::create_directories(base.Path() / "data");
  std::filesystem::create_directories(base.Path() / "sound");
  WriteBytes(base.File("data/lucon.ttf"), "font");
  WriteBytes(base.File("data/Level01.level"), "old");
  WriteBytes(base.File("sound/laser.wav"), "wav");
  WriteBytes(base.File("settings.ini"), "[main]\r\nvsync=1\r\n");
  const std::string root = base.Path().string() + "/";

  const platform::TRecording start = ReadStartState(root);
  EXPECT_EQ(start.Settings, "[main]\r\nvsync=1\r\n");
  EXPECT_EQ(start.StageFiles, (std::map<std::string, std::string>{{"Level01.level", "old"}}));

  std::string scratchPath;
  {
    TScratchFolder scratch(root, "[main]\r\nvsync=0\r\n", {{"Level01.level", "new"}, {"Level02.level", "two"}});
    scratchPath = scratch.Base();
    EXPECT_EQ(ReadBytes(scratchPath + "data/Level01.level"), "new");
    EXPECT_EQ(ReadBytes(scratchPath + "data/Level02.level"), "two");
    EXPECT_EQ(ReadBytes(scratchPath + "data/lucon.ttf"), "font");
    EXPECT_EQ(ReadBytes(scratchPath + "sound/laser.wav"), "wav");
    EXPECT_EQ(ReadBytes(scratchPath + "settings.ini"), "[main]\r\nvsync=0\r\n");
  }
  EXPECT_FALSE(std::filesystem::exists(scratchPath));
  EXPECT_THROW(TScratchFolder(root, "", {{"lucon.ttf", "evil"}}), std::runtime_error);
  EXPECT_THROW(TScratchFolder(root, "", {{"../settings.ini", "evil"}}), std::runtime_error);
  // Names that Windows reads as another drive, a stream or a device.
  for (const char* name : {"D:evil.level", "ab:c.level", "CON.level", "nul.level", "Com1.level", "x.level.", "a*.level"})
    EXPECT_THROW(TScratchFolder(root, "", {{name, "evil"}}), std::runtime_error) << name;
  EXPECT_EQ(ReadBytes(base.File("data/lucon.ttf")), "font");
  EXPECT_EQ(ReadBytes(base.File("data/Level01.level")), "old");
  EXPECT_EQ(ReadBytes(base.File("sound/laser.wav")), "wav");
  EXPECT_EQ(ReadBytes(base.File("settings.ini")), "[main]\r\nvsync=1\r\n");
}

// Each run mode stacks its layers on the window: the autopilot and a replay
// on a scratch copy of the player's files, the recorder on top, an
// installed game's player folder at the bottom.
TEST(Replay, ThePlatformStackOfEachRunMode) {
  TTempDir base;
  std::filesystem::create_directories(base.Path() / "data");
  std::filesystem::create_directories(base.Path() / "sound");
  TIniFile locked;
  locked.WriteBool("Level", "Active", false);
  SaveIni(&locked, base.File("data/Level02.level"), kLevelKey);
  const std::string stage = ReadBytes(base.File("data/Level02.level"));
  WriteBytes(base.File("settings.ini"), "[main]\r\nsound=0\r\nvsync=1\r\n");
  const std::string root = base.Path().string() + "/";
  platform::ScriptedPlatform window;
  window.Base = "/nowhere/";

  auto stackFor = [&](std::vector<std::string> args, const char* player = nullptr) {
    return std::make_unique<TPlatformStack>(window, ParseOptions(args), player ? std::string(player) : root);
  };
  auto play = stackFor({});
  EXPECT_EQ(play->Top().BasePath(), root);
  EXPECT_FALSE(play->Pilot() || play->Recorder() || play->Replay());
  EXPECT_EQ(&stackFor({}, "")->Top(), &window);

  // The pilot plays a copy in which the stage it is sent to is unlocked.
  auto pilot = stackFor({"--autopilot", "--stage", "Level02", "--record", "x.rvr"});
  ASSERT_TRUE(pilot->Pilot() && pilot->Recorder());
  EXPECT_EQ(&pilot->Top(), static_cast<platform::TPlatform*>(pilot->Recorder()));
  const std::string scratch = pilot->Top().BasePath();
  EXPECT_NE(scratch, root);
  TIniFile copy;
  LoadIni(copy, scratch + "data/Level02.level", kLevelKey);
  EXPECT_TRUE(copy.ReadBool("Level", "Active", false));
  EXPECT_EQ(ReadBytes(base.File("data/Level02.level")), stage);
  EXPECT_EQ(pilot->Recorder()->Recording().StageFiles.at("Level02.level"), ReadBytes(scratch + "data/Level02.level"));
  EXPECT_EQ(stackFor({"--autopilot", "--keep-scores"})->Top().BasePath(), root);
  // --difficulty goes into the copy's settings, and so into the recording.
  auto hard = stackFor({"--autopilot", "--difficulty", "schwer", "--record", "x.rvr"});
  EXPECT_EQ(hard->Recorder()->Recording().Settings, "[main]\r\ndifficulty=Schwer\r\nsound=0\r\nvsync=1\r\n");

  // A replay plays the recorded files with this machine's sound setting and
  // the recording's difficulty, whatever this machine's file says.
  WriteBytes(base.File("settings.ini"), "[main]\r\nsound=0\r\nvsync=1\r\ndifficulty=Schwer\r\n");
  platform::TRecording recorded = ReadStartState(root);
  recorded.Settings = "[main]\r\nsound=1\r\nvsync=0\r\ndifficulty=Leicht\r\n";
  recorded.StageFiles["Level02.level"] = "recorded";
  recorded.Frequency = 1000;
  recorded.ScreenWidth = 640;
  recorded.ScreenHeight = 480;
  recorded.Frames.resize(2);
  platform::SaveRecording(recorded, base.File("run.rvr"));
  auto replay = stackFor({"--timedemo", base.File("run.rvr")});
  ASSERT_TRUE(replay->Replay());
  EXPECT_EQ(&replay->Top(), static_cast<platform::TPlatform*>(replay->Replay()));
  const TIniFile settings = ReadSettings(replay->Top().BasePath() + "settings.ini");
  EXPECT_EQ(settings.ReadInteger("main", "sound", -1), 0);
  EXPECT_EQ(settings.ReadInteger("main", "vsync", -1), 0);
  EXPECT_EQ(ReadDifficultySetting(settings), TDifficulty::Easy);
  EXPECT_EQ(ReadBytes(replay->Top().BasePath() + "data/Level02.level"), "recorded");
  EXPECT_THROW(stackFor({"--replay", base.File("missing.rvr")}), std::exception);
}

// Hitches on a made-up run: two stages of steady 5 ms frames, each after menu
// frames and a slow load, with a run of costly views (not hitches: the
// median rises with them), a frame just under twice the median, and
// hitches on the very first and last frames of play, where the window of 60
// frames around them reaches past the ends. The first stage ends in a
// finish screen twice as costly as its play, is played again (a load) and
// paused: neither the still frames nor the second load are play.
TEST(Timedemo, CountsHitchesAgainstTheFramesAroundThemAndWritesEveryFrame) {
  TTimedemo demo;
  std::size_t frame = 0;
  auto frames = [&](int count, TFrameKind kind, auto ms) {
    for (int i = 0; i < count; ++i) demo.FrameTook(ms(i), kind, frame++);
  };
  auto run = [&](int menu, int play, auto ms) {
    frames(menu, TFrameKind::Menu, [](int i) { return i == 3 ? 40 : 2; });
    frames(1, TFrameKind::Play, [](int) { return 80; });  // the load
    frames(play, TFrameKind::Play, ms);
  };
  run(10, 300, [](int i) { return i == 0 ? 12.0 : i == 60 ? 25.0 : i == 100 ? 9.9 : i >= 150 && i < 250 ? 12.0 : 5 + i % 3 * 0.1; });
  const std::size_t worst = 10 + 1 + 60;
  frames(20, TFrameKind::Finish, [](int i) { return i < 5 ? 13.0 : 11.0; });
  const std::size_t again = frame;
  frames(1, TFrameKind::Play, [](int) { return 70; });  // played again
  frames(40, TFrameKind::Play, [](int) { return 5.0; });
  frames(10, TFrameKind::Pause, [](int) { return 14.0; });
  frames(40, TFrameKind::Play, [](int) { return 5.0; });
  run(5, 100, [](int i) { return i == 99 ? 12.0 : 5.0; });
  const THitches hitches = demo.Hitches();
  EXPECT_EQ(hitches.Count, 3u);
  EXPECT_EQ(hitches.WorstMs, 25);
  EXPECT_EQ(hitches.WorstFrame, worst);
  EXPECT_NEAR(hitches.WorstMedianMs, 5.1, 0.01);
  EXPECT_NE(demo.Lines()[0].find(", 3 hitches, worst 25.00 ms at frame 71"), std::string::npos) << demo.Lines()[0];
  EXPECT_NE(demo.Lines()[1].find("3 Ladebilder"), std::string::npos) << demo.Lines()[1];

  TTempDir dir;
  EXPECT_THROW(demo.OpenFrameTimes(dir.File("missing/times.txt")), std::runtime_error);
  demo.OpenFrameTimes(dir.File("times.txt"));
  ASSERT_NO_THROW(demo.WriteFrameTimes());
  const std::string times = ReadBytes(dir.File("times.txt"));
  EXPECT_EQ(std::count(times.begin(), times.end(), '\n'), static_cast<std::ptrdiff_t>(frame));
  EXPECT_TRUE(times.starts_with("0 2.000 0 0\n1 2.000 0 0\n")) << times.substr(0, 40);
  EXPECT_NE(times.find("\n3 40.000 0 0\n"), std::string::npos);
  EXPECT_NE(times.find("\n10 80.000 1 0\n11 12.000 0 1\n"), std::string::npos);
  EXPECT_NE(times.find("\n" + std::to_string(again - 1) + " 11.000 0 0\n" + std::to_string(again) + " 70.000 1 0\n"),
            std::string::npos);
}

TEST(Replay, CommandLineOptions) {
  struct TCase {
    std::vector<std::string> args;
    const char* error;  // part of the message; nullptr: accepted
  };
  const TCase cases[] = {
      {{}, nullptr},
      {{"--record", "run.rvr"}, nullptr},
      {{"--autopilot", "--stage", "Level03", "--fixed-step", "16.667", "--seed", "7", "--record", "a.rvr"}, nullptr},
      {{"--autopilot", "--stage", "all", "--keep-scores", "--window", "320x240"}, nullptr},
      {{"--timedemo", "a.rvr", "--window", "1920x1080", "--frame-times", "t.txt"}, nullptr},
      {{"--replay", "a.rvr", "--frame-times", "t.txt"}, "nur mit --timedemo"},
      {{"--replay"}, "braucht einen Wert"},
      {{"--fly"}, "Unbekannte Option"},
      {{"--replay", "a", "--timedemo", "b"}, "schlie\xDF" "en einander aus"},
      {{"--replay", "a", "--record", "b"}, "nicht aufgenommen"},
      {{"--stage", "Level01"}, "nur mit --autopilot"},
      {{"--autopilot", "--stage", "../x"}, "kein Levelname"},
      {{"--autopilot", "--fixed-step", "0"}, "1 bis 1000"},
      {{"--autopilot", "--fixed-step", "nan"}, "keine Zahl"},
      {{"--autopilot", "--seed", "-1"}, "ganze Zahl"},
      {{"--autopilot", "--reaction", "250", "--aim-noise", "3"}, nullptr},
      {{"--reaction", "250"}, "nur mit --autopilot"},
      {{"--autopilot", "--reaction", "-1"}, "0 bis 2000"},
      {{"--autopilot", "--aim-noise", "46"}, "0 bis 45"},
      {{"--window", "320"}, "BREITEx"},
      {{"--window", "10x10"}, "zwischen 64"},
      {{"--autopilot", "--difficulty", "Mittel"}, "keine Schwierigkeit"},
      {{"--autopilot", "--keep-scores", "--difficulty", "Leicht"}, "schlie\xDF" "en einander aus"},
      {{"--scores"}, nullptr},
      {{"--scores", "--autopilot"}, "steht allein"},
      {{"--path-fingerprint"}, nullptr},
      {{"--path-fingerprint", "--window", "640x480"}, "steht allein"},
      {{"--stage-hashes"}, nullptr},
      {{"--stage-hashes", "--scores"}, "steht allein"},
      {{"--verify", "a.rvr"}, nullptr},
      {{"--verify"}, "braucht einen Wert"},
      {{"--verify", "a.rvr", "--window", "640x480"}, "steht allein"},
      {{"--autopilot", "--headless", "--record", "a.rvr"}, nullptr},
      {{"--headless"}, "nur mit --autopilot"},
      {{"--autopilot", "--headless", "--window", "640x480"}, "schlie\xDF" "en einander aus"},
  };
  for (const TCase& c : cases) {
    std::string line;
    for (const std::string& arg : c.args) line += arg + " ";
    try {
      const TOptions options = ParseOptions(c.args);
      EXPECT_EQ(c.error, nullptr) << line << "accepted";
    } catch (const EOptionsError& error) {
      ASSERT_NE(c.error, nullptr) << line << error.what();
      EXPECT_NE(std::string(error.what()).find(c.error), std::string::npos) << line << error.what();
    }
  }
  const TOptions pilot = ParseOptions({"--autopilot", "--stage", "Level03", "--stage", "Level04.level", "--fixed-step",
                                       "16.667", "--seed", "7", "--reaction", "350", "--aim-noise", "2.5"});
  EXPECT_EQ(pilot.Mode, TRunMode::Autopilot);
  EXPECT_EQ(pilot.Stages, (std::vector<std::string>{"Level03.level", "Level04.level"}));
  EXPECT_DOUBLE_EQ(pilot.FixedStepMs, 16.667);
  EXPECT_EQ(pilot.Seed, 7u);
  EXPECT_FALSE(pilot.KeepScores);
  EXPECT_EQ(pilot.ReactionMs, 350);
  EXPECT_EQ(pilot.AimNoiseDeg, 2.5);

  // Help and version win over anything else on the line and end the
  // program with 0; a wrong option is still 2.
  EXPECT_EQ(ParseOptions({"--fly", "-h"}).Mode, TRunMode::Help);
  EXPECT_EQ(ParseOptions({"--replay", "a", "--version"}).Mode, TRunMode::Version);
  const std::string game = std::string("'") + RV_BIN_DIR + "/riftvaulter' ";
  const TRun help = RunCommand(game + "--help");
  EXPECT_EQ(help.Status, 0);
  EXPECT_NE(help.Output.find("Aufruf: riftvaulter"), std::string::npos) << help.Output;
  EXPECT_NE(help.Output.find("--timedemo DATEI"), std::string::npos) << help.Output;
  EXPECT_NE(help.Output.find("--frame-times DATEI"), std::string::npos) << help.Output;
  const TRun version = RunCommand(game + "--version");
  EXPECT_EQ(version.Status, 0);
  EXPECT_TRUE(std::regex_match(version.Output, std::regex("riftvaulter [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << version.Output;
  EXPECT_EQ(RunCommand(game + "--fly").Status, 2);
}

}  // namespace
