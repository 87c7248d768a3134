// Run.cpp -- running commands for tests.
#include "support/Run.h"

#include <sys/wait.h>

#include <cstdio>

TRun RunCommand(const std::string& command) {
  TRun run{-1, {}};
  if (FILE* pipe = ::popen((command + " 2>&1").c_str(), "r")) {
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.Output.append(buffer, n);
    const int status = ::pclose(pipe);
    run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  return run;
}
