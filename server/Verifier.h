// Verifier.h -- proving a run by playing its recording back in the game
// itself: a child process per run ("riftvaulter --verify FILE"), held to a
// wall-clock time, a CPU time and an address-space limit. Whatever the child
// does (crash, hang, print nonsense, eat memory) ends as a verdict on that
// run; the server goes on.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <variant>
#include <vector>

#include "Protocol.h"

struct TChildLimits {
  int WallSeconds = 120;
  int CpuSeconds = 120;
  int64_t MemoryBytes = int64_t{2048} << 20;
  std::size_t MaxOutputBytes = 64 * 1024;  // per stream; the rest is read and dropped
};

struct TChildResult {
  bool Started = false;    // false: fork or exec failed (ExitCode 127 from exec)
  bool TimedOut = false;   // killed at the wall-clock limit
  int ExitCode = -1;       // when it exited
  int Signal = 0;          // when a signal ended it
  std::string Out, Err;
};

// Runs program with args in workDir, stdin from /dev/null, in a process
// group of its own that is killed whole at the time limit. Thread-safe; the
// child inherits no descriptor but its two pipes.
[[nodiscard]] TChildResult RunLimited(const std::string& program, const std::vector<std::string>& args,
                                      const std::string& workDir, const TChildLimits& limits);

// The verdict on one run: what was proven, or why not (German, for the
// player).
using TVerdict = std::variant<TVerifiedRun, std::string>;

// Judges a finished verifier: accepted only when it exited with 0, printed
// one well-formed line, the line's stage hash is the one the client named
// and a shipped stage's, under that stage's name, and the name is of the
// entry's alphabet.
[[nodiscard]] TVerdict Judge(const TChildResult& child, const std::string& claimedStageHash,
                             const std::map<std::string, std::string>& shippedStages);

// Removes the recordings that servers no longer running left in tempDir
// (a killed server cannot clean up; its files carry its process id).
void RemoveOrphanedRunFiles(const std::string& tempDir);

class TVerifier {
 public:
  // program: the game; gameDir: the folder it runs in (its data/).
  TVerifier(std::string program, std::string gameDir, TChildLimits limits);

  // The shipped stages, name to hash, from "--stage-hashes". Throws
  // std::runtime_error with the reason when the program cannot say.
  [[nodiscard]] std::map<std::string, std::string> StageHashes() const;

  // Verifies a recording: writes it to a file in tempDir, runs the game on
  // it and judges the outcome.
  [[nodiscard]] TVerdict Verify(const std::string& bytes, const std::string& claimedStageHash,
                                const std::map<std::string, std::string>& shippedStages,
                                const std::string& tempDir) const;

 private:
  std::string fProgram, fGameDir;
  TChildLimits fLimits;
};
