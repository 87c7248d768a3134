// Verifier.h -- proving a run by playing its recording back in the game
// itself: a child process per run ("riftvaulter --verify FILE
// --installed-stage": the stage played is the one installed beside it) under the
// limits of ChildProcess.h, its outcome judged by Verdict.h.
#pragma once

#include <map>
#include <string>

#include "ChildProcess.h"
#include "Verdict.h"

// Removes the recordings that servers no longer running left in tempDir
// (a killed server cannot clean up; its files carry its process id).
void RemoveOrphanedRunFiles(const std::string& tempDir);

class TVerifier {
 public:
  // program: the game. It reads its stages from data/ in its own folder
  // (an installed game from its share folder), whatever folder it runs in,
  // so the program chooses the stages; it runs in its own folder.
  TVerifier(std::string program, TChildLimits limits);

  // The shipped stages, name to hash, from "--stage-hashes". Throws
  // std::runtime_error with the reason when the program cannot say,
  // naming the folder the stages are missing from when it has none.
  [[nodiscard]] std::map<std::string, std::string> StageHashes() const;

  // Verifies a recording: writes it to a file in tempDir, runs the game on
  // it and judges the outcome.
  [[nodiscard]] TVerdict Verify(const std::string& bytes, const std::string& claimedStageHash,
                                const std::map<std::string, std::string>& shippedStages,
                                const std::string& tempDir) const;

 private:
  std::string fProgram, fProgramDir;
  TChildLimits fLimits;
};
