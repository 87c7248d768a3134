// Run.h -- runs a command of the build for a test.
#pragma once

#include <string>

struct TRun {
  int Status;          // exit code, -1 when it did not exit normally
  std::string Output;  // stdout and stderr together
};

// Runs `command` through the shell, stderr joined to stdout.
TRun RunCommand(const std::string& command);
