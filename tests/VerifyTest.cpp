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
                            " life=" + result[1].str() + " time=" + result[3].str() + " name=AUTOPILOT play=";

  // The honest run: one line, nothing else, and the stage's hash is the one
  // the installed stage files give.
  const TRun honest = RunCommand(kGame + "--verify '" + file + "' 2>&1");
  ASSERT_EQ(honest.Status, 0) << honest.Output;
  std::smatch hash;
  ASSERT_TRUE(std::regex_match(honest.Output, hash,
                               std::regex("verified: stage=Level01 stagehash=([0-9a-f]{64})( .* play=)[0-9a-f]{64} "
                                          "seed=5 challenge=- clockms=[0-9]+\n")))
      << honest.Output;
  EXPECT_EQ(hash[2].str(), claim);
  const TRun hashes = RunCommand(kGame + "--stage-hashes");
  ASSERT_EQ(hashes.Status, 0) << hashes.Output;
  EXPECT_NE(hashes.Output.find("Level01 " + hash[1].str() + "\n"), std::string::npos) << hashes.Output;
  EXPECT_EQ(std::regex_replace(hashes.Output, std::regex("Level0[1-8] [0-9a-f]{64}\n"), ""), "") << hashes.Output;
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
  EXPECT_NE(other.Output.find(claim), std::string::npos) << other.Output;
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
    EXPECT_TRUE(std::regex_search(run.Output, std::regex("\nrefused: diverged at frame [0-9]+\n$"))) << run.Output;
    EXPECT_EQ(run.Output.find("verified:"), std::string::npos) << run.Output;
  }

  // The first half of the run, the stage not finished: nothing to prove.
  platform::TRecording half = original;
  half.Frames.resize(half.Frames.size() / 2);
  const TRun unfinished = Verify(dir, half);
  EXPECT_EQ(unfinished.Status, 2) << unfinished.Output;
  EXPECT_NE(unfinished.Output.find("keinen beendeten Lauf mit eingetragenem Namen"), std::string::npos)
      << unfinished.Output;
  EXPECT_TRUE(unfinished.Output.ends_with("\nrefused: no named run\n")) << unfinished.Output;

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
  EXPECT_TRUE(cut.Output.ends_with("\nrefused: damaged file\n")) << cut.Output;
}

// The verify line without its clock (a stage's run has less of it).
std::string WithoutClock(const std::string& line) { return std::regex_replace(line, std::regex(" clockms=[0-9]+"), ""); }

std::string Field(const std::string& line, const std::string& name) {
  std::smatch match;
  if (!std::regex_search(line, match, std::regex(" " + name + "=([^ \n]*)"))) return "";
  return match[1].str();
}

// Two stages in one session, recorded whole and as the second stage's own
// run: both prove the same play. Then the attacks on a stage's run that the
// game itself refuses or sees through.
TEST(Verify, AStagesRunProvesThePlayWhateverCameBeforeIt) {
  TTempDir dir;
  const std::string whole = dir.File("whole.rvr"), stage = dir.File("stage.rvr");
  const TRun pilot = RunCommand(kGame + "--autopilot --headless --stage Level01 --stage Level02 --fixed-step 10 "
                                        "--seed 5 --difficulty Normal --record '" + whole + "' --record-stage '" +
                                        stage + "'");
  ASSERT_EQ(pilot.Status, 0) << pilot.Output;
  const TRun fromWhole = RunCommand(kGame + "--verify '" + whole + "'");
  const TRun fromStage = RunCommand(kGame + "--verify '" + stage + "' --installed-stage");
  ASSERT_EQ(fromWhole.Status, 0) << fromWhole.Output;
  ASSERT_EQ(fromStage.Status, 0) << fromStage.Output;
  EXPECT_NE(fromStage.Output.find("verified: stage=Level02 "), std::string::npos) << fromStage.Output;
  EXPECT_EQ(WithoutClock(fromWhole.Output), WithoutClock(fromStage.Output));
  const platform::TRecording run = platform::LoadRecording(stage);
  EXPECT_EQ(run.StartStage, "Level02.level");
  EXPECT_EQ(run.StageFiles.size(), 1u);
  EXPECT_LT(ReadBytes(stage).size() * 3, ReadBytes(whole).size() * 2);
  const std::string play = Field(fromStage.Output, "play");
  ASSERT_EQ(play.size(), 64u);

  // One play, one identity: another name typed after it (the checksums
  // that would tell left out), or a look switched on.
  platform::TRecording renamed = run;
  for (platform::TRecordedFrame& frame : renamed.Frames) frame.HasChecksum = false;
  std::size_t press = renamed.Frames.size();
  while (press > 0 && !renamed.Frames[press - 1].Keys['A']) --press;
  ASSERT_GT(press, 0u);
  for (std::size_t i = press; i-- > 0 && renamed.Frames[i].Keys['A'];) {
    renamed.Frames[i].Keys['A'] = false;
    renamed.Frames[i].Keys['B'] = true;
  }
  platform::TRecording classic = run;
  classic.Settings += "[main]\r\nklassisch=1\r\n";
  const TRun asB = Verify(dir, renamed);
  const TRun looked = Verify(dir, classic);
  ASSERT_EQ(asB.Status, 0) << asB.Output;
  ASSERT_EQ(looked.Status, 0) << looked.Output;
  EXPECT_EQ(Field(asB.Output, "name"), "BUTOPILOT");
  EXPECT_EQ(Field(looked.Output, "classic"), "1");
  EXPECT_EQ(Field(asB.Output, "play"), play);
  EXPECT_EQ(Field(looked.Output, "play"), play);

  // Another stage under the installed one's name: one rule changed that
  // leaves the play as it was, so only the installed stage tells.
  platform::TRecording retitled = run;
  ChangeStage(dir, retitled, "Level02.level", [](TIniFile& ini) {
    ini.WriteString("Level", "Title", ini.ReadString("Level", "Title", "") + " II");
  });
  platform::SaveRecording(retitled, dir.File("retitled.rvr"));
  const TRun local = RunCommand(kGame + "--verify '" + dir.File("retitled.rvr") + "'");
  EXPECT_EQ(local.Status, 0) << local.Output;
  const TRun swapped = RunCommand(kGame + "--verify '" + dir.File("retitled.rvr") + "' --installed-stage 2>&1");
  EXPECT_EQ(swapped.Status, 3) << swapped.Output;
  EXPECT_EQ(swapped.Output, "refused: another stage\n");

  // A clock set back, and one that stands still for five seconds of flight.
  platform::TRecording reversed = run, stalled = run;
  ASSERT_GT(run.Frames.size(), 1000u);
  for (std::size_t i = 700; i < reversed.Frames.size(); ++i)
    for (uint64_t& reading : reversed.Frames[i].Counters) reading -= run.Frequency / 20;
  for (std::size_t i = 700; i < stalled.Frames.size(); ++i)
    for (uint64_t& reading : stalled.Frames[i].Counters) reading += run.Frequency * 5;
  const TRun back = Verify(dir, reversed);
  const TRun slow = Verify(dir, stalled);
  EXPECT_EQ(back.Status, 3) << back.Output;
  EXPECT_TRUE(back.Output.ends_with("refused: clock runs backwards at frame 700\n")) << back.Output;
  EXPECT_EQ(slow.Status, 3) << slow.Output;
  EXPECT_TRUE(slow.Output.ends_with("refused: frame time out of range at frame 700\n")) << slow.Output;
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
