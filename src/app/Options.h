// Options.h -- the command line, parsed once into a plain struct.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "services/Difficulty.h"

// A command line the program cannot run (Windows-1252 text).
class EOptionsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Help and Version print their text and end the program at once, and so
// do Scores, which prints every stage file's highscores, PathFingerprint,
// which prints one number for the stages' spline results, and StageHashes,
// which prints the hash of each stage's rules. Verify plays a recording back
// without window, GL or sound and prints the run it proves.
enum class TRunMode { Play, Replay, Timedemo, Autopilot, Verify, Scores, PathFingerprint, StageHashes, Help, Version };

struct TOptions {
  TRunMode Mode = TRunMode::Play;
  std::string RecordFile;  // --record: empty when not recording
  // --record-stage: the last stage's run (from its start to its name entry,
  // or to leaving it) is written here at the end; empty when not asked for.
  std::string RecordStageFile;
  // --installed-stage (with --verify): the stage's rules must be those of
  // the installed stage file of the same name.
  bool InstalledStage = false;
  std::string ReplayFile;  // --replay / --timedemo / --verify
  std::string FrameTimesFile;  // --frame-times: a timedemo's frame times, one line each
  // --stage NAME (repeatable; "Level01" or "Level01.level"); "all" plays
  // every stage in order.
  std::vector<std::string> Stages;
  bool AllStages = false;
  double FixedStepMs = 0;   // --fixed-step: 0 runs on the real clock
  bool KeepScores = false;  // --keep-scores: the pilot plays on the real files
  std::optional<uint32_t> Seed;  // --seed: the pilot's games start from it
  // --challenge: a server's challenge token; the pilot's stages fly its
  // seed and their runs carry it, as with the online board.
  std::string Challenge;
  std::optional<TDifficulty> Difficulty;  // --difficulty: else settings.ini's
  double ReactionMs = 0;   // --reaction: the pilot sees the world this late
  double AimNoiseDeg = 0;  // --aim-noise: its aim's error (standard deviation)
  int WindowWidth = 0, WindowHeight = 0;  // --window WxH; 0: the whole desktop
  // No option: the run is recorded in memory without a file (the online
  // leaderboard sends it; the page offers it as a download).
  bool RecordInMemory = false;
  // Without window, GL context or audio device (--verify; the benchmark's
  // autopilot): nothing is drawn, nothing sounds.
  bool Headless = false;
};

// Parses the arguments after the program name. Throws EOptionsError.
[[nodiscard]] TOptions ParseOptions(const std::vector<std::string>& args);

// The usage text printed with an option error.
[[nodiscard]] const char* UsageText();
// The usage with what each option does, for --help.
[[nodiscard]] std::string HelpText();
// "riftvaulter VERSION", for --version.
[[nodiscard]] std::string VersionText();
