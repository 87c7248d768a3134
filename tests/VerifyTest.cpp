// VerifyTest.cpp -- a recording proven without window, GL or sound: the
// built-in pilot's run reported as it played it, whatever the recording
// claims about the stage's highscores; changed inputs or checksums, a cut
// file, a stage naming a missing file and a recording without a named
// finish refused. Runs the program as a process of its own, headless
// throughout: no display needed.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <string>

#include "platform/Recording.h"
#include "services/IniFile.h"
#include "services/RC4Stream.h"
#include "support/Run.h"
#include "support/TempDir.h"

namespace {

const std::string kGame = std::string("cd '") + RV_BIN_DIR + "' && ./riftvaulter ";

// A stage file of a recording changed by `change`, enciphered again.
template <typename F>
void ChangeStage(const TTempDir& dir, platform::TRecording& recording, const std::string& name, F change) {
  const std::string path = dir.File("stage.level");
  WriteBytes(path, recording.StageFiles.at(name));
  TIniFile ini;
  LoadIni(ini, path, kLevelKey);
  change(ini);
  SaveIni(&ini, path, kLevelKey);
  recording.StageFiles[name] = ReadBytes(path);
}

TRun Verify(const TTempDir& dir, const platform::TRecording& recording) {
  platform::SaveRecording(recording, dir.File("changed.rvr"));
  return RunCommand(kGame + "--verify '" + dir.File("changed.rvr") + "' 2>&1");
}

TEST(Verify, ProvesThePilotsRunAndRefusesChangedRecordings) {
  TTempDir dir;
  const std::string file = dir.File("run.rvr");
  const TRun pilot = RunCommand(kGame + "--autopilot --headless --stage Level01 --fixed-step 10 --seed 5 "
                                        "--difficulty Normal --record '" + file + "'");
  ASSERT_EQ(pilot.Status, 0) << pilot.Output;
  std::smatch result;
  ASSERT_TRUE(std::regex_search(pilot.Output, result,
                                std::regex("autopilot: Level01\\.level gewonnen, Punkte [0-9]+, Leben ([0-9]+), "
                                           "Gesamt ([0-9]+), Zeit ([0-9.]+) s")))
      << pilot.Output;
  const std::string claim = std::string(" difficulty=Normal classic=0 score=") + result[2].str() +
                            " life=" + result[1].str() + " time=" + result[3].str() + " name=AUTOPILOT\n";

  // The honest run: one line, nothing else, and the stage's hash is the one
  // the installed stage files give.
  const TRun honest = RunCommand(kGame + "--verify '" + file + "' 2>&1");
  ASSERT_EQ(honest.Status, 0) << honest.Output;
  std::smatch hash;
  ASSERT_TRUE(std::regex_match(honest.Output, hash, std::regex("verified: stage=Level01 stagehash=([0-9a-f]{16})(.*\n)")))
      << honest.Output;
  EXPECT_EQ(hash[2].str(), claim);
  const TRun hashes = RunCommand(kGame + "--stage-hashes");
  ASSERT_EQ(hashes.Status, 0) << hashes.Output;
  EXPECT_NE(hashes.Output.find("Level01 " + hash[1].str() + "\n"), std::string::npos) << hashes.Output;
  EXPECT_EQ(std::regex_replace(hashes.Output, std::regex("Level0[1-8] [0-9a-f]{16}\n"), ""), "") << hashes.Output;
  const std::string honestLine = honest.Output;

  // A highscore list that claims a better score, with the checksums that
  // would betray it left out: the run is played again and counts as it
  // plays, under the same stage hash.
  const platform::TRecording original = platform::LoadRecording(file);
  platform::TRecording forged = original;
  ChangeStage(dir, forged, "Level01.level", [](TIniFile& ini) {
    ini.WriteInteger("Highscore", "count", 1);
    ini.WriteString("Highscore", "name0", "AUTOPILOT");
    ini.WriteInteger("Highscore", "score0", 999999);
    ini.WriteBool("Level", "Active", true);
  });
  for (platform::TRecordedFrame& frame : forged.Frames) frame.HasChecksum = false;
  const TRun rescored = Verify(dir, forged);
  EXPECT_EQ(rescored.Status, 0) << rescored.Output;
  EXPECT_EQ(rescored.Output, honestLine);

  // The stage's rules are all of the file but the highscores and the
  // unlock: another title (the run plays the same) is another stage.
  platform::TRecording retitled = original;
  ChangeStage(dir, retitled, "Level01.level", [](TIniFile& ini) {
    ini.WriteString("Level", "Title", ini.ReadString("Level", "Title", "") + " II");
  });
  const TRun other = Verify(dir, retitled);
  EXPECT_EQ(other.Status, 0) << other.Output;
  EXPECT_TRUE(other.Output.ends_with(claim)) << other.Output;
  EXPECT_EQ(other.Output.find(hash[1].str()), std::string::npos) << other.Output;

  // Fire held back for a second, or one checksum changed: the replay drifts
  // from what the file says.
  platform::TRecording lazy = original;
  ASSERT_GT(lazy.Frames.size(), 3000u);
  for (std::size_t i = 2000; i < 2100; ++i) lazy.Frames[i].Keys[1] = false;
  platform::TRecording misnumbered = original;
  for (std::size_t i = misnumbered.Frames.size() / 2; i < misnumbered.Frames.size(); ++i) {
    if (!misnumbered.Frames[i].HasChecksum) continue;
    misnumbered.Frames[i].Checksum ^= 1;
    break;
  }
  for (const platform::TRecording* changed : {&lazy, &misnumbered}) {
    const TRun run = Verify(dir, *changed);
    EXPECT_EQ(run.Status, 3) << run.Output;
    EXPECT_NE(run.Output.find("replay diverged at frame"), std::string::npos) << run.Output;
    EXPECT_EQ(run.Output.find("verified:"), std::string::npos) << run.Output;
  }

  // The first half of the run, the stage not finished: nothing to prove.
  platform::TRecording half = original;
  half.Frames.resize(half.Frames.size() / 2);
  const TRun unfinished = Verify(dir, half);
  EXPECT_EQ(unfinished.Status, 2) << unfinished.Output;
  EXPECT_NE(unfinished.Output.find("keinen beendeten Lauf mit eingetragenem Namen"), std::string::npos)
      << unfinished.Output;

  // A stage that names a boss file the game does not have cannot be
  // played: the recording is refused (2) like any other bad one, not the
  // program's own failure (1).
  platform::TRecording bossless = original;
  ChangeStage(dir, bossless, "Level01.level",
              [](TIniFile& ini) { ini.WriteString("Boss", "FileName", "data\\Fehlt.boss"); });
  const TRun noBoss = Verify(dir, bossless);
  EXPECT_EQ(noBoss.Status, 2) << noBoss.Output;
  EXPECT_NE(noBoss.Output.find("Fehlt.boss"), std::string::npos) << noBoss.Output;
  EXPECT_EQ(noBoss.Output.find("verified:"), std::string::npos) << noBoss.Output;

  // A cut file is damaged, and said so.
  const std::string bytes = ReadBytes(file);
  WriteBytes(dir.File("cut.rvr"), bytes.substr(0, bytes.size() / 2));
  const TRun cut = RunCommand(kGame + "--verify '" + dir.File("cut.rvr") + "' 2>&1");
  EXPECT_EQ(cut.Status, 2) << cut.Output;
  EXPECT_NE(cut.Output.find("Replay-Datei"), std::string::npos) << cut.Output;
  EXPECT_EQ(cut.Output.find("verified:"), std::string::npos) << cut.Output;
}

}  // namespace

namespace {

// A build without its stage files has no hashes to give: said with the
// folder it looked in and how the build makes them, and not a success (the
// server would take an empty list for a game without stages).
TEST(Verify, StageHashesWithoutStageFilesSayWhatIsMissing) {
  TTempDir dir;
  std::filesystem::copy_file(std::string(RV_BIN_DIR) + "/riftvaulter", dir.File("riftvaulter"));
  std::filesystem::create_directory(dir.File("data"));
  const TRun run = RunCommand("cd '" + dir.File("") + "' && ./riftvaulter --stage-hashes 2>&1");
  EXPECT_EQ(run.Status, 2) << run.Output;
  EXPECT_NE(run.Output.find(dir.File("data")), std::string::npos) << run.Output;
  EXPECT_NE(run.Output.find("rv_stages"), std::string::npos) << run.Output;
}

}  // namespace
