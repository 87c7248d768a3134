// AutopilotTest.cpp -- the whole game played by the built-in pilot through
// the real program: every shipped stage won under a fixed seed and a fixed
// step, its recording replayed (as a timedemo) to the same checksums, a
// changed recording caught where it drifts, the player's stage files and
// settings untouched. And the replay file's errors
// as a player meets them. Needs a display; the program draws in a small
// window to keep the run short.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>

#include "geometry/Extended.h"
#include "platform/Recording.h"
#include "services/IniFile.h"
#include "services/Settings.h"
#include "support/Run.h"
#include "support/TempDir.h"

namespace {

const std::string kGame = std::string("cd '") + RV_BIN_DIR + "' && ./riftvaulter --window 160x120 ";

// The instant pilot's flight through the first stage under the seed below
// (the stage's start reseeds the stage from it): a pilot that reacts at once
// and aims true must keep flying it exactly so.
const std::string kInstantLevel01 = "autopilot: Level01.level gewonnen, Punkte 12610, Leben 100, Gesamt 54376, Zeit 69.4 s";

// Every stage file and settings.ini of the runtime folder, as bytes.
std::map<std::string, std::string> PlayerFiles() {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(RV_BIN_DIR "/data")) {
    if (entry.path().extension() == ".level") files[entry.path().string()] = ReadBytes(entry.path().string());
  }
  files["settings.ini"] = ReadBytes(RV_BIN_DIR "/settings.ini");
  return files;
}

class AutopilotWins : public testing::TestWithParam<const char*> {};

TEST_P(AutopilotWins, AndItsRecordingReplaysToTheSameResult) {
  const std::string stage = GetParam();
  TTempDir dir;
  const std::string file = dir.File(stage + ".rvr");
  const auto before = PlayerFiles();

  const TRun pilot =
      RunCommand(kGame + "--autopilot --stage " + stage + " --fixed-step 16.667 --seed 20261207 --record '" + file + "'");
  EXPECT_EQ(pilot.Status, 0) << pilot.Output;
  EXPECT_NE(pilot.Output.find("autopilot: " + stage + ".level gewonnen"), std::string::npos) << pilot.Output;
  if (stage == "Level01") {
    EXPECT_NE(pilot.Output.find(kInstantLevel01), std::string::npos) << pilot.Output;
  }
  // Every wall and burst can be dodged, by rolling or, in the arena, by
  // backing off: the instant pilot loses at most 10 life on any stage.
  std::smatch life;
  ASSERT_TRUE(std::regex_search(pilot.Output, life, std::regex("Leben ([0-9]+)"))) << pilot.Output;
  EXPECT_GE(std::stoi(life[1]), 90) << pilot.Output;

  const TRun replay = RunCommand(kGame + "--timedemo '" + file + "' --frame-times '" + dir.File("times.txt") + "'");
  EXPECT_EQ(replay.Status, 0) << replay.Output;
  EXPECT_NE(replay.Output.find("timedemo: "), std::string::npos) << replay.Output;
  EXPECT_EQ(replay.Output.find("diverged"), std::string::npos) << replay.Output;
  // One line per frame the timedemo counted: the stage's load, its frames of
  // play and, last, its finish screen, which is not play.
  const std::string times = ReadBytes(dir.File("times.txt"));
  std::smatch counted;
  ASSERT_TRUE(std::regex_search(replay.Output, counted, std::regex("timedemo: ([0-9]+) frames"))) << replay.Output;
  EXPECT_EQ(std::count(times.begin(), times.end(), '\n'), std::stol(counted[1])) << times.substr(0, 200);
  EXPECT_TRUE(std::regex_search(times, std::regex("\n[0-9]+ [0-9]+\\.[0-9]{3} 1 0\n[0-9]+ [0-9]+\\.[0-9]{3} 0 1\n")))
      << times.substr(0, 200);
  EXPECT_TRUE(times.ends_with(" 0 0\n")) << times.substr(times.size() - std::min<std::size_t>(times.size(), 200));

  EXPECT_EQ(PlayerFiles(), before) << "the pilot wrote to the player's files";

  // The stage's feedback is only picture and sound: the same recording with
  // klassisch switched the other way replays to the same checksums. The
  // second stage has hits, power-ups and a boss to flash.
  if (stage == "Level02") {
    platform::TRecording recording = platform::LoadRecording(file);
    TIniFile settings;
    settings.SetText(recording.Settings);
    const bool wasClassic = settings.ReadInteger("main", "klassisch", 0) != 0;
    recording.Settings = SetMainKey(recording.Settings, "klassisch", wasClassic ? "0" : "1");
    platform::SaveRecording(recording, file);
    const TRun classic = RunCommand(kGame + "--timedemo '" + file + "'");
    EXPECT_EQ(classic.Status, 0) << classic.Output;
    EXPECT_EQ(classic.Output.find("diverged"), std::string::npos) << classic.Output;
  }

  // The same recording with its fire button released for a stretch no longer
  // fits its checksums: the replay stops where the state first differs,
  // within a second of game time. One stage is enough to show it.
  if (stage != "Level01") return;
  const TRun unwritable =
      RunCommand(kGame + "--timedemo '" + file + "' --frame-times '" + dir.File("missing/times.txt") + "'");
  EXPECT_EQ(unwritable.Status, 2) << unwritable.Output;
  EXPECT_NE(unwritable.Output.find("Die Bildzeiten k\xC3\xB6nnen nicht nach"), std::string::npos) << unwritable.Output;

  platform::TRecording recording = platform::LoadRecording(file);
  ASSERT_GT(recording.Frames.size(), 1200u);
  for (std::size_t i = 1000; i < 1100; ++i) recording.Frames[i].Keys[1] = false;
  platform::SaveRecording(recording, file);
  const TRun changed = RunCommand(kGame + "--timedemo '" + file + "'");
  EXPECT_EQ(changed.Status, 3) << changed.Output;
  const std::size_t at = changed.Output.find("replay diverged at frame ");
  ASSERT_NE(at, std::string::npos) << changed.Output;
  const int frame = std::stoi(changed.Output.substr(at + 25));
  EXPECT_GE(frame, 1000);
  EXPECT_LE(frame, 1000 + 62);
}

INSTANTIATE_TEST_SUITE_P(ShippedStages, AutopilotWins,
                         testing::Values("Level01", "Level02", "Level03", "Level04", "Level05", "Level06", "Level07",
                                         "Level08"));

// A person's pace: the pilot sees the world 250 ms late and misses its aim
// by a few degrees, drawn from its own generator. It flies otherwise than the
// instant pilot, the same again under the same seed, and its recording
// replays exactly: the noise never touches the game's own draws.
TEST(HumanPacedPilot, FliesAlikeUnderOneSeedAndItsRecordingReplays) {
  TTempDir dir;
  const std::string human =
      kGame + "--autopilot --stage Level01 --fixed-step 16.667 --seed 20261207 --reaction 250 --aim-noise 3 --record '";
  const TRun first = RunCommand(human + dir.File("first.rvr") + "'");
  ASSERT_EQ(first.Status, 0) << first.Output;
  EXPECT_EQ(first.Output.find(kInstantLevel01), std::string::npos) << first.Output;
  const TRun again = RunCommand(human + dir.File("again.rvr") + "'");
  ASSERT_EQ(again.Status, 0) << again.Output;
  // The clock's readings start from the real clock; the hands and the
  // game's state must not differ.
  const platform::TRecording a = platform::LoadRecording(dir.File("first.rvr"));
  const platform::TRecording b = platform::LoadRecording(dir.File("again.rvr"));
  ASSERT_EQ(a.Frames.size(), b.Frames.size());
  std::size_t differing = 0;
  for (std::size_t i = 0; i < a.Frames.size(); ++i) {
    const platform::TRecordedFrame &x = a.Frames[i], &y = b.Frames[i];
    if (x.Keys != y.Keys || x.CursorX != y.CursorX || x.Checksum != y.Checksum) ++differing;
  }
  EXPECT_EQ(differing, 0u);

  const TRun replay = RunCommand(kGame + "--timedemo '" + dir.File("first.rvr") + "'");
  EXPECT_EQ(replay.Status, 0) << replay.Output;
  EXPECT_EQ(replay.Output.find("diverged"), std::string::npos) << replay.Output;
}

// The campaign's ramp from the other side: a pilot that holds fire and full
// speed and never dodges (the review tool's, which only turns toward the boss
// in its arena) gets through the first stage but not the last.
TEST(Campaign, APilotThatNeverDodgesWinsTheFirstStageAndLosesTheLast) {
  TTempDir dir;
  const struct {
    const char* stage;
    const char* end;
  } cases[] = {{"Level01", "Ende 1"}, {"Level08", "Ende 2"}};
  for (const auto& c : cases) {
    const TRun run = RunCommand(std::string("cd '") + RV_BIN_DIR + "' && ./stage-snapshot data/" + c.stage + ".level '" +
                                dir.File("end.png") + "' 160x120 play:600");
    ASSERT_EQ(run.Status, 0) << run.Output;
    EXPECT_NE(run.Output.find(c.end), std::string::npos) << c.stage << ": " << run.Output;
  }
}

TEST(AutopilotReplay, DamagedFilesAreClearErrors) {
  TTempDir dir;
  WriteBytes(dir.File("empty.rvr"), "");
  WriteBytes(dir.File("foreign.rvr"), "[main]\r\nvsync=1\r\n");
  platform::TRecording tiny;
  tiny.Frequency = 1000;
  tiny.ScreenWidth = 640;
  tiny.ScreenHeight = 480;
  tiny.Frames.resize(3);
  tiny.Frames.back().Quit = true;
  const std::string bytes = platform::SerializeRecording(tiny);
  WriteBytes(dir.File("truncated.rvr"), bytes.substr(0, bytes.size() - 9));
  const struct {
    const char* file;
    const char* message;
  } cases[] = {
      {"missing.rvr", "kann nicht ge\xC3\xB6" "ffnet werden"},
      {"empty.rvr", "ist leer"},
      {"foreign.rvr", "Keine Replay-Datei"},
      {"truncated.rvr", "Replay-Datei"},
  };
  for (const auto& c : cases) {
    const TRun run = RunCommand(kGame + "--replay '" + dir.File(c.file) + "'");
    EXPECT_EQ(run.Status, 2) << c.file << ": " << run.Output;
    EXPECT_NE(run.Output.find(c.message), std::string::npos) << c.file << ": " << run.Output;
  }
}

}  // namespace

// The game itself, on the stage files it installs into a player's folder,
// prints the same number (the browser's check asks the page for it).
TEST(Extended, GamePrintsThePathFingerprint) {
  TTempDir dataHome;
  std::ifstream file(std::string(RV_SOURCE_DIR) + "/tests/web/path-fingerprint");
  uint64_t fingerprint = 0;
  file >> std::hex >> fingerprint;
  const TRun run = RunCommand("cd / && XDG_DATA_HOME='" + dataHome.Path().string() + "' DISPLAY= '" + RV_BIN_DIR +
                              "/riftvaulter' --path-fingerprint");
  EXPECT_EQ(run.Status, 0) << run.Output;
  char expected[20];
  std::snprintf(expected, sizeof expected, "%016llx", static_cast<unsigned long long>(fingerprint));
  const std::string kind = RV_HARDWARE_EXTENDED ? "x87" : "Software";
  EXPECT_EQ(run.Output, "Pfad-Pr\xC3\xBC" "fsumme: " + std::string(expected) + " (8 Level, " + kind + ")\n");
}
