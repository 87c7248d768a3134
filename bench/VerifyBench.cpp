// VerifyBench.cpp -- verifying the recording of a whole stage, as a server
// does for every run sent to it: without window, GL or sound. The figure to
// watch is game_s_per_wall_s, seconds of recorded play verified per second.
// The recording is the pilot's first stage under a fixed step and seed,
// made once, headless too; needs the runtime folder laid out by the build.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/Options.h"
#include "app/Session.h"
#include "platform/Recording.h"

namespace {

// Runs `run` with stdout going nowhere (the pilot's and the verification's
// report lines); returns what it returns.
template <typename F>
int Quietly(F run) {
  std::fflush(stdout);
  const int saved = dup(STDOUT_FILENO);
  const int null = open("/dev/null", O_WRONLY);
  dup2(null, STDOUT_FILENO);
  close(null);
  const int code = run();
  std::fflush(stdout);
  dup2(saved, STDOUT_FILENO);
  close(saved);
  return code;
}

struct TRecordedStage {
  TRecordedStage() {
    File = (std::filesystem::temp_directory_path() / ("riftvaulter-verify-bench-" + std::to_string(getpid()) + ".rvr"))
               .string();
    const TOptions pilot = ParseOptions({"--autopilot", "--headless", "--stage", "Level01", "--fixed-step", "10",
                                         "--seed", "5", "--record", File});
    Recorded = Quietly([&] { return RunSession(pilot); }) == 0;
    if (!Recorded) return;
    const platform::TRecording recording = platform::LoadRecording(File);
    uint64_t first = 0, last = 0;
    bool any = false;
    for (const platform::TRecordedFrame& frame : recording.Frames) {
      for (const uint64_t counter : frame.Counters) {
        if (!any) first = counter;
        any = true;
        last = counter;
      }
    }
    GameSeconds = static_cast<double>(last - first) / static_cast<double>(recording.Frequency);
  }
  ~TRecordedStage() { std::filesystem::remove(File); }
  std::string File;
  bool Recorded = false;
  double GameSeconds = 0;
};

void BM_VerifyWholeStage(benchmark::State& state) {
  static const TRecordedStage stage;
  if (!stage.Recorded) {
    state.SkipWithError("the pilot's recording could not be made");
    return;
  }
  const TOptions verify = ParseOptions({"--verify", stage.File});
  int code = 0;
  // The wall clock's seconds, whatever the benchmark's own clock is.
  std::chrono::duration<double> wall{0};
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    code = Quietly([&] { return RunSession(verify); });
    wall += std::chrono::steady_clock::now() - start;
  }
  if (code != 0) state.SkipWithError("the recording did not verify");
  state.counters["game_s"] = stage.GameSeconds;
  state.counters["game_s_per_wall_s"] = stage.GameSeconds * static_cast<double>(state.iterations()) / wall.count();
}
BENCHMARK(BM_VerifyWholeStage)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
