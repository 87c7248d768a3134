// LevelpackTest.cpp -- the stage authors' tool round-trips a stage file.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "services/IniFile.h"
#include "services/RC4Stream.h"
#include "support/Run.h"
#include "support/TempDir.h"

namespace {

TRun Levelpack(const std::string& args) { return RunCommand(std::string(RV_BIN_DIR) + "/levelpack " + args); }

TEST(Levelpack, EncryptDecryptCheckRoundTrip) {
  TTempDir dir;
  const std::string text = "[SplinePoints]\r\ncount=3\r\np0=0;0;0\r\n\r\n[Level]\r\nTitle=Pr\xFC" "fung\r\n\r\n";
  WriteBytes(dir.File("in.ini"), text);
  const std::string stage = dir.File("out.level");
  ASSERT_EQ(Levelpack("encrypt " + dir.File("in.ini") + " " + stage).Status, 0);
  TIniFile loaded;
  LoadIni(loaded, stage, kLevelKey);
  EXPECT_EQ(loaded.ReadString("Level", "Title", ""), "Pr\xFC" "fung");

  const TRun decrypted = Levelpack("decrypt " + stage);
  EXPECT_EQ(decrypted.Status, 0);
  EXPECT_EQ(decrypted.Output, text);
  const TRun checked = Levelpack("check " + stage);
  EXPECT_EQ(checked.Status, 0) << checked.Output;
}

TEST(Levelpack, InstallKeepsAnExistingStageFile) {
  TTempDir dir;
  WriteBytes(dir.File("a.ini"), "[Level]\r\nTitle=A\r\n");
  WriteBytes(dir.File("b.ini"), "[Level]\r\nTitle=B\r\n");
  const std::string stage = dir.File("x.level");
  ASSERT_EQ(Levelpack("install " + dir.File("a.ini") + " " + stage).Status, 0);
  ASSERT_EQ(Levelpack("install " + dir.File("b.ini") + " " + stage).Status, 0);
  TIniFile loaded;
  LoadIni(loaded, stage, kLevelKey);
  EXPECT_EQ(loaded.ReadString("Level", "Title", ""), "A");
}

TEST(Levelpack, BadInputFailsWithAClearMessage) {
  TTempDir dir;
  WriteBytes(dir.File("plain.txt"), "just some words\r\n");
  const TRun notStage = Levelpack("check " + dir.File("plain.txt"));
  EXPECT_NE(notStage.Status, 0);
  EXPECT_NE(notStage.Output.find("keine Level-Datei"), std::string::npos) << notStage.Output;
  const TRun missing = Levelpack("decrypt " + dir.File("nope.level"));
  EXPECT_NE(missing.Status, 0);
  EXPECT_NE(missing.Output.find("Datei nicht gefunden"), std::string::npos);
  const TRun noSections = Levelpack("encrypt " + dir.File("plain.txt") + " " + dir.File("o.level"));
  EXPECT_NE(noSections.Status, 0);
  EXPECT_NE(Levelpack("frobnicate").Status, 0);
}

}  // namespace
