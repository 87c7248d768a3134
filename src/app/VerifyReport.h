// VerifyReport.h -- what --verify proves: the last run of a replayed
// recording that ended in a confirmed name entry, as one line on stdout;
// or why it refuses the recording, as a fixed last line on stderr.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class TLevel;
class TStageRuns;
namespace platform {
struct TRecording;
}

// A run that ended in a confirmed name entry, as a verification reports it.
struct TProvenRun {
  std::string FileName;  // the stage file's plain name
  std::string Name;
  std::string_view Difficulty;
  bool Classic = false;
  int32_t Total = 0, Life = 0;
  float TimeMs = 0;
  std::string Play, StageHash, Challenge;  // of the stage's run (TStageRuns)
  uint32_t Seed = 0;
};

// The stage's run as it stands after its name entry was confirmed, with the
// play's identity, stage hash, challenge and seed `stages` holds for it.
[[nodiscard]] TProvenRun ProvenRunOf(const TLevel& level, const TStageRuns& stages);

// The refusal's fixed line on stderr ("refused: " and `why`, after stdout is
// flushed); returns `exitCode`.
int RefuseRun(int exitCode, const std::string& why);

// Prints "verified: stage=... stagehash=... difficulty=... classic=...
// score=... life=... time=... name=... play=... seed=... challenge=...
// clockms=..." for `run` from `recording` and returns 0, or refuses it and
// returns the exit code: a stage file missing from the recording ("damaged
// file", kExitInput); with `installedBase` (the program folder, trailing
// separator), a stage whose rules differ from data/ there ("another
// stage"), and a challenge that is not one the server could have issued for
// the run's seed ("seed is not the challenge's", both kExitDiverged).
int ReportVerifiedRun(const TProvenRun& run, const platform::TRecording& recording, const std::string& installedBase);

// --verify's end after a replay that kept to its checksums: without a proven
// run it says so and refuses ("no named run", kExitInput); else
// ReportVerifiedRun.
[[nodiscard]] int ReportProvenRun(const std::optional<TProvenRun>& proven, const platform::TRecording& replayed,
                                  const std::string& installedBase);
