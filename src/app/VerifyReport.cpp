// VerifyReport.cpp -- the line --verify prints for a proven run, and its
// refusals.
#include "app/VerifyReport.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/Report.h"
#include "app/Session.h"
#include "app/StageHash.h"
#include "app/StageRun.h"
#include "platform/Cp1252.h"
#include "platform/FileNames.h"
#include "platform/Recording.h"
#include "stage/Level.h"

namespace {

// The file's bytes; empty when it cannot be read.
std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

TProvenRun ProvenRunOf(const TLevel& level, const TStageRuns& stages) {
  TProvenRun run;
  run.FileName = StageFileName(level.fFileName);
  const auto index = static_cast<std::size_t>(level.fFinish.EntryIndex);
  if (index < level.fFinish.HighScore.size()) run.Name = level.fFinish.HighScore[index].Name;
  run.Difficulty = level.Rules().Name;
  run.Classic = level.fClassic;
  run.Total = level.fFinish.Total;
  run.Life = level.fLife;
  run.TimeMs = level.fTime;
  run.Play = stages.PlayHex();
  run.StageHash = stages.StageHash();
  run.Challenge = stages.Challenge();
  run.Seed = stages.Seed();
  return run;
}

int RefuseRun(int exitCode, const std::string& why) {
  std::fflush(stdout);
  std::fprintf(stderr, "refused: %s\n", why.c_str());
  return exitCode;
}

int ReportVerifiedRun(const TProvenRun& run, const platform::TRecording& recording, const std::string& installedBase) {
  const auto file = recording.StageFiles.find(run.FileName);
  if (file == recording.StageFiles.end()) return RefuseRun(kExitInput, "damaged file");
  if (!installedBase.empty()) {
    // The rules text whole, not a hash of it: a stage made to match a short
    // hash is still another stage.
    const std::filesystem::path installed = platform::FsPath(installedBase) / "data" / platform::FsPath(run.FileName);
    bool same = false;
    try {
      same = std::filesystem::is_regular_file(installed) &&
             StageRulesText(ReadBytes(installed)) == StageRulesText(file->second);
    } catch (const std::exception&) {
      same = false;
    }
    if (!same) return RefuseRun(kExitDiverged, "another stage");
  }
  if (!run.Challenge.empty()) {
    const bool tokenText = run.Challenge.find_first_not_of(
                               "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ._-") == std::string::npos;
    if (!tokenText || SeedOfChallenge(run.Challenge) != run.Seed) return RefuseRun(kExitDiverged, "seed is not the challenge's");
  }
  // The recording's own clock from its first reading to its last: pauses
  // and the finish screen included.
  uint64_t first = 0, last = 0;
  bool any = false;
  for (const platform::TRecordedFrame& frame : recording.Frames) {
    for (const uint64_t reading : frame.Counters) {
      if (!any) first = reading;
      last = reading;
      any = true;
    }
  }
  const auto clockMs = static_cast<unsigned long long>(
      static_cast<long double>(last - first) * 1000 / static_cast<long double>(recording.Frequency));
  char numbers[200];
  std::snprintf(numbers, sizeof numbers, " classic=%d score=%d life=%d time=%.1f name=", run.Classic ? 1 : 0, run.Total,
                run.Life, run.TimeMs / 1000);
  char tail[120];
  std::snprintf(tail, sizeof tail, " seed=%u challenge=", run.Seed);
  const std::string line = "verified: stage=" + StageName(run.FileName) + " stagehash=" + run.StageHash +
                           " difficulty=" + std::string(run.Difficulty) + numbers + NormalizedName(run.Name) +
                           " play=" + run.Play + tail + (run.Challenge.empty() ? "-" : run.Challenge) +
                           " clockms=" + std::to_string(clockMs);
  std::printf("%s\n", platform::Cp1252ToUtf8(line).c_str());
  return 0;
}

int ReportProvenRun(const std::optional<TProvenRun>& proven, const platform::TRecording& replayed,
                    const std::string& installedBase) {
  if (!proven) {
    Report("Die Aufnahme enth\xE4lt keinen beendeten Lauf mit eingetragenem Namen");
    return RefuseRun(kExitInput, "no named run");
  }
  return ReportVerifiedRun(*proven, replayed, installedBase);
}
