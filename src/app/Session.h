// Session.h -- one run of the program as the command line asks for it: play
// (and record), replay, timedemo or autopilot.
#pragma once

struct TOptions;

// Exit codes beyond 0 (success).
inline constexpr int kExitPlatform = 1;   // no window or GL context
inline constexpr int kExitInput = 2;      // bad command line or replay file
inline constexpr int kExitDiverged = 3;   // the replay drifted from its recording
inline constexpr int kExitPilotLost = 4;  // the autopilot did not win every stage

// Opens the window, builds the platform layers the options ask for, runs the
// game and reports. Returns the exit code.
int RunSession(const TOptions& options);
