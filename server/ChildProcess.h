// ChildProcess.h -- running a program as a child process under limits: a
// wall-clock time, a CPU time and an address space, its output captured.
// Whatever the child does (crash, hang, print nonsense, eat memory, start
// children of its own) ends in a TChildResult; the caller goes on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

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
// group of its own that is killed whole when the child ends or at the time
// limit. Thread-safe; the child inherits no descriptor but its two pipes.
[[nodiscard]] TChildResult RunLimited(const std::string& program, const std::vector<std::string>& args,
                                      const std::string& workDir, const TChildLimits& limits);
