// Session.h -- one run of the program as the command line asks for it: play
// (and record), replay, timedemo, verification or autopilot.
#pragma once

#include <memory>
#include <string>

struct TOptions;

// Exit codes beyond 0 (success).
inline constexpr int kExitPlatform = 1;   // no window or GL context; any fatal error outside --verify's play
inline constexpr int kExitInput = 2;      // bad command line or replay file; --verify: the recording is refused
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
  // Writes the run recorded so far to `fileName`, with the state's
  // checksum as it is now; a replay of it ends here. False (said on
  // stderr) when nothing is recorded or the file cannot be written.
  [[nodiscard]] bool SaveRecording(const std::string& fileName);
  // Whether a stage was left since the last call (the page then offers
  // the run as a download).
  [[nodiscard]] bool StageEnded();

 private:
  // The window, the platform layers, the form and what the run watches:
  // kept out of this header, which the browser's entry point includes.
  struct Impl;
  std::unique_ptr<Impl> fImpl;
};

// Opens the window, builds the platform layers the options ask for, runs the
// game and reports. Returns the exit code.
int RunSession(const TOptions& options);
