// VerifyReport.h -- what --verify proves: the last run of a replayed
// recording that ended in a confirmed name entry, as one line on stdout.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class TLevel;
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
};

// The stage's run as it stands after its name entry was confirmed.
[[nodiscard]] TProvenRun ProvenRunOf(const TLevel& level);

// Prints "verified: stage=... stagehash=... difficulty=... classic=...
// score=... life=... time=... name=..." for `proven`, its stage hash taken
// from the stage file the recording starts with. Returns the exit code: 0,
// or kExitInput (said on stderr) when there is no proven run or the
// recording lacks its stage file.
[[nodiscard]] int ReportProvenRun(const std::optional<TProvenRun>& proven, const platform::TRecording& replayed);
