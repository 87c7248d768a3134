// FuzzRegressionTest.cpp -- every input that once broke a parser, kept under
// tests/fuzz/<target>/, goes through that parser again.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>

#include "Targets.h"
#include "support/TempDir.h"

namespace {

TEST(FuzzRegressions, EveryKeptInputPassesItsParser) {
  const std::pair<const char*, void (*)(std::string_view)> targets[] = {
      {"stage", FuzzStageFile}, {"model", FuzzModelFile},     {"boss", FuzzBossFile},
      {"menu", FuzzMenuText},   {"settings", FuzzSettings}, {"valuelists", FuzzValueLists},
      {"replay", FuzzReplayFile},
  };
  int inputs = 0;
  for (const auto& [name, target] : targets) {
    const std::filesystem::path folder = std::filesystem::path(RV_SOURCE_DIR) / "tests" / "fuzz" / name;
    ASSERT_TRUE(std::filesystem::is_directory(folder)) << folder;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      if (!entry.is_regular_file() || entry.path().filename() == ".keep") continue;
      SCOPED_TRACE(entry.path().string());
      // A finding aborts or throws; either ends this test.
      target(ReadBytes(entry.path().string()));
      ++inputs;
    }
  }
  EXPECT_GT(inputs, 0);
}

}  // namespace
