// VerifyReport.cpp -- the line --verify prints for a proven run.
#include "app/VerifyReport.h"

#include <cstdio>

#include "app/Report.h"
#include "app/Session.h"
#include "app/StageHash.h"
#include "platform/Recording.h"
#include "stage/Level.h"

TProvenRun ProvenRunOf(const TLevel& level) {
  TProvenRun run;
  run.FileName = StageFileName(level.fFileName);
  const auto index = static_cast<std::size_t>(level.fFinish.EntryIndex);
  if (index < level.fFinish.HighScore.size()) run.Name = level.fFinish.HighScore[index].Name;
  run.Difficulty = level.Rules().Name;
  run.Classic = level.fClassic;
  run.Total = level.fFinish.Total;
  run.Life = level.fLife;
  run.TimeMs = level.fTime;
  return run;
}

int ReportProvenRun(const std::optional<TProvenRun>& proven, const platform::TRecording& replayed) {
  if (!proven) {
    Report("Die Aufnahme enth\xE4lt keinen beendeten Lauf mit eingetragenem Namen");
    return kExitInput;
  }
  const auto file = replayed.StageFiles.find(proven->FileName);
  if (file == replayed.StageFiles.end()) {
    Report("Die Aufnahme enth\xE4lt die Leveldatei " + proven->FileName + " nicht");
    return kExitInput;
  }
  const std::string stage = StageName(proven->FileName);
  char numbers[160];
  std::snprintf(numbers, sizeof numbers, " classic=%d score=%d life=%d time=%.1f name=", proven->Classic ? 1 : 0,
                proven->Total, proven->Life, proven->TimeMs / 1000);
  const std::string line = "verified: stage=" + stage + " stagehash=" + StageHashText(StageRulesHash(file->second)) +
                           " difficulty=" + std::string(proven->Difficulty) + numbers + proven->Name;
  std::printf("%s\n", platform::Cp1252ToUtf8(line).c_str());
  return 0;
}
