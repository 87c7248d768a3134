// Session.h -- one run of the program as the command line asks for it: play
// (and record), replay, timedemo or autopilot; and the highscore listing.
#pragma once

#include <memory>

#include "services/Language.h"

struct TOptions;

// Exit codes beyond 0 (success).
inline constexpr int kExitPlatform = 1;   // no window or GL context
inline constexpr int kExitInput = 2;      // bad command line or replay file
inline constexpr int kExitDiverged = 3;   // the replay drifted from its recording
inline constexpr int kExitPilotLost = 4;  // the autopilot did not win every stage

// A run a frame at a time, for a caller that owns the loop (the browser).
class TSession {
 public:
  // Opens the window. Throws platform::EPlatformError without one.
  explicit TSession(const TOptions& options);
  ~TSession();
  TSession(const TSession&) = delete;
  TSession& operator=(const TSession&) = delete;

  // Lays out the player's folder and builds the platform layers the options
  // ask for; false when the run cannot start (Finish tells the exit code).
  [[nodiscard]] bool Start();
  // One frame; false when the run is over.
  [[nodiscard]] bool Frame();
  // Ends the run, writes the recording and reports. Returns the exit code.
  int Finish();

 private:
  // The window, the platform layers, the form and what the run watches:
  // kept out of this header, which the browser's entry point includes.
  struct Impl;
  std::unique_ptr<Impl> fImpl;
};

// Opens the window, builds the platform layers the options ask for, runs the
// game and reports. Returns the exit code.
int RunSession(const TOptions& options);

// --scores: prints each stage file of the program folder with its title,
// whether it is unlocked and its highscores, one line each. Returns the exit
// code: 0, or kExitInput when the folder or a stage file cannot be read.
int PrintScores();

// The language of the command line's own texts (--help, --scores, the usage
// after a wrong option): settings.ini's main/language in the program folder,
// else the one LC_ALL or LANG names.
[[nodiscard]] TLanguage CommandLineLanguage();

// --stage-hashes: prints each stage file of the program folder as its name
// without ".level" and the hash of its rules (StageRulesHash), one line
// each. 0, or kExitInput when the folder or a stage file cannot be read.
int PrintStageHashes();

// Prints one number for every spline result of the installed stages' paths
// (and whether the x87 or the software type computed them): the same on
// every system. 0, or kExitInput when a stage file cannot be read.
int PrintPathFingerprint();
