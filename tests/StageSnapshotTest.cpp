// StageSnapshotTest.cpp -- the review tool draws shipped stages and refuses
// bad requests with a message.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "support/Run.h"
#include "support/TempDir.h"

namespace {

TRun Snapshot(const std::string& args) { return RunCommand("cd " RV_BIN_DIR " && ./stage-snapshot " + args); }

TEST(StageSnapshot, DrawsAShippedStageIntoAPng) {
  TTempDir dir;
  for (const char* moment : {"intro", "boss", "play:6"}) {
    const std::string png = dir.File(std::string(moment).substr(0, 4) + ".png");
    const TRun run = Snapshot("data/Level01.level " + png + " 320x200 " + moment);
    ASSERT_EQ(run.Status, 0) << run.Output;
    // Six seconds of play: past the intro, into the tube, shooting.
    if (std::string(moment) == "play:6") {
      EXPECT_NE(run.Output.find("Zeit 6.0 s, Leben 100"), std::string::npos) << run.Output;
    }
    const std::string bytes = ReadBytes(png);
    ASSERT_GT(bytes.size(), 1000u) << moment;
    EXPECT_EQ(bytes.substr(1, 3), "PNG");
  }
}

TEST(StageSnapshot, BadRequestsFailWithAMessage) {
  TTempDir dir;
  const std::string png = dir.File("x.png");
  struct Case {
    std::string args;
    const char* says;
  } cases[] = {
      {"data/Level01.level " + png + " 320x200 lunch", "Unbekannter Zeitpunkt"},
      {"data/Level01.level " + png + " 320x200 play:", "Ung\xC3\xBCltige Spielzeit"},
      {"data/Level01.level " + png + " 320x200 play:-3", "Ung\xC3\xBCltige Spielzeit"},
      {"data/Level01.level " + png + " 320x200 play:1x", "Ung\xC3\xBCltige Spielzeit"},
      {"data/Level01.level " + png + " big intro", "Ung\xC3\xBCltige Gr\xC3\xB6\xC3\x9F" "e"},
      {"data/Nope.level " + png + " 320x200 intro", "Datein nicht gefunden"},
      {"data/Level01.level", "Aufruf"},
  };
  for (const Case& c : cases) {
    const TRun run = Snapshot(c.args);
    EXPECT_NE(run.Status, 0) << c.args;
    EXPECT_NE(run.Output.find(c.says), std::string::npos) << c.args << ": " << run.Output;
  }
}

}  // namespace
