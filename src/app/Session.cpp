// Session.cpp -- the platform layers of a run (the player's folder of an
// installed game, scratch folder, autopilot, recorder, replay), the
// per-second checksums and the timedemo's figures.
#include "app/Session.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <numeric>
#include <optional>
#include <vector>

#include "app/Form.h"
#include "app/GameFolder.h"
#include "app/Options.h"
#include "app/StateChecksum.h"
#include "app/UserFolder.h"
#include "menu/MainMenu.h"
#include "pilot/Autopilot.h"
#include "platform/Dialog.h"
#include "platform/FolderPlatform.h"
#include "platform/RecordingPlatform.h"
#include "platform/ReplayPlatform.h"
#include "platform/SdlPlatform.h"
#include "services/FatalError.h"
#include "services/IniFile.h"
#include "services/Paths.h"
#include "services/RC4Stream.h"
#include "services/Settings.h"
#include "stage/Level.h"

namespace {

constexpr float kChecksumIntervalMs = 1000;

void Report(const std::string& text) {
  std::fprintf(stderr, "%s\n", platform::Cp1252ToUtf8(text).c_str());
}

// Frame times of a timedemo, in ms, and which frames loaded a stage.
struct TFrameTimes {
  std::vector<double> Ms;
  std::vector<std::size_t> Frame;
  std::vector<bool> Load;

  void Print(double startMs) const {
    if (Ms.empty()) {
      std::printf("timedemo: 0 frames\n");
      return;
    }
    std::vector<double> sorted = Ms;
    std::sort(sorted.begin(), sorted.end());
    auto percentile = [&](double p) {
      return sorted[std::min(sorted.size() - 1, static_cast<std::size_t>(p * static_cast<double>(sorted.size())))];
    };
    const double mean = std::accumulate(Ms.begin(), Ms.end(), 0.0) / static_cast<double>(Ms.size());
    const auto worst = static_cast<std::size_t>(std::max_element(Ms.begin(), Ms.end()) - Ms.begin());
    const double p50 = percentile(0.5);
    std::printf("timedemo: %zu frames, mean %.2f ms, p50 %.2f ms, p99 %.2f ms, max %.2f ms at frame %zu\n", Ms.size(),
                mean, p50, percentile(0.99), Ms[worst], Frame[worst]);
    std::fflush(stdout);
    // The details behind the figures: loads, and frames far above the median.
    double worstPlain = 0, worstLoad = 0;
    std::size_t worstPlainFrame = 0, slow = 0, loads = 0;
    for (std::size_t i = 0; i < Ms.size(); ++i) {
      if (Load[i]) {
        ++loads;
        worstLoad = std::max(worstLoad, Ms[i]);
        continue;
      }
      if (Ms[i] > 3 * p50) ++slow;
      if (Ms[i] > worstPlain) {
        worstPlain = Ms[i];
        worstPlainFrame = Frame[i];
      }
    }
    char details[320];
    std::snprintf(details, sizeof details,
                  "timedemo: Start bis zum ersten Bild %.1f ms; %zu Ladebilder, l\xE4ngstes %.2f ms; ohne Ladebilder "
                  "max %.2f ms bei Bild %zu, %zu Bilder \xFC" "ber dem Dreifachen des Medians",
                  startMs, loads, worstLoad, worstPlain, worstPlainFrame, slow);
    Report(details);
    // The slowest frames of play, for hunting what breaks the figures.
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < Ms.size(); ++i) {
      if (!Load[i]) order.push_back(i);
    }
    const std::size_t shown = std::min<std::size_t>(order.size(), 8);
    std::partial_sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(shown), order.end(),
                      [&](std::size_t a, std::size_t b) { return Ms[a] > Ms[b]; });
    std::string slowest = "timedemo: langsamste Bilder:";
    for (std::size_t k = 0; k < shown; ++k) {
      char item[48];
      std::snprintf(item, sizeof item, " %zu (%.1f ms)", Frame[order[k]], Ms[order[k]]);
      slowest += item;
    }
    Report(slowest);
  }
};

// Marks the stages the pilot is told to play as unlocked in its copy.
void UnlockStages(const std::string& base, const std::vector<std::string>& stages) {
  for (const std::string& stage : stages) {
    const std::string path = base + "data/" + stage;
    if (!FileExists(path)) continue;  // the pilot reports it
    TIniFile ini;
    LoadIni(ini, path, kLevelKey);
    if (ini.ReadBool("Level", "Active", false)) continue;
    ini.WriteBool("Level", "Active", true);
    SaveIni(&ini, path, kLevelKey);
  }
}

}  // namespace

int RunSession(const TOptions& options) {
  const auto started = std::chrono::steady_clock::now();
  const bool replaying = options.Mode == TRunMode::Replay || options.Mode == TRunMode::Timedemo;
  platform::TWindowOptions window;
  window.Width = options.WindowWidth;
  window.Height = options.WindowHeight;
  // An installed game plays in the player's own folder, which is laid out
  // once the window is open, so that a failure reaches the player as a
  // dialog; the window itself already opens as the player's settings say.
  const TProgramFolder programFolder = LocateProgramFolder(platform::ExecutableDirectory(), platform::DataHomeDirectory());
  if (window.Width == 0 && !programFolder.Path.empty()) {
    // The player's choice on this machine (replays too); --window wins.
    const platform::TWindowMode mode = ReadWindowSetting(ReadSettings(programFolder.Path + "settings.ini"));
    if (!mode.FullScreen) {
      window.Width = mode.Width;
      window.Height = mode.Height;
    }
  }
  window.CaptureMouse = options.Mode == TRunMode::Play;
  platform::SdlPlatform sdl(window);

  std::unique_ptr<platform::TFolderPlatform> userFolder;
  platform::TPlatform* root = &sdl;
  try {
    PrepareProgramFolder(programFolder);
  } catch (const std::exception& failure) {
    FatalError(std::string("Der Spielerordner kann nicht eingerichtet werden\r\n") + failure.what());
  }
  if (programFolder.Share) {
    userFolder = std::make_unique<platform::TFolderPlatform>(sdl, programFolder.Path);
    root = userFolder.get();
  }
  const std::string realBase = root->BasePath();

  platform::TRecording recording;
  std::unique_ptr<TScratchFolder> scratch;
  std::unique_ptr<platform::TFolderPlatform> folder;
  std::unique_ptr<pilot::TAutopilot> pilot;
  std::unique_ptr<platform::TRecordingPlatform> recorder;
  std::unique_ptr<platform::TReplayPlatform> replay;
  platform::TPlatform* top = root;

  try {
    if (replaying) {
      recording = platform::LoadRecording(options.ReplayFile);
      scratch = std::make_unique<TScratchFolder>(realBase, recording.Settings, recording.StageFiles);
      // Whether this machine can open its audio device is its own affair.
      const int sound = ReadSettings(realBase + "settings.ini").ReadInteger("main", "sound", 1);
      WriteSetting(scratch->Base() + "settings.ini", "sound", sound != 0 ? "1" : "0");
      replay = std::make_unique<platform::TReplayPlatform>(
          *root, recording, scratch->Base(),
          options.Mode == TRunMode::Timedemo ? platform::TReplayPace::Fastest : platform::TReplayPace::Recorded);
      top = replay.get();
    }
    if (options.Mode == TRunMode::Autopilot) {
      if (!options.KeepScores) {
        const platform::TRecording start = ReadStartState(realBase);
        scratch = std::make_unique<TScratchFolder>(realBase, start.Settings, start.StageFiles);
        UnlockStages(scratch->Base(), options.Stages);
        folder = std::make_unique<platform::TFolderPlatform>(*root, scratch->Base());
        top = folder.get();
      }
      pilot = std::make_unique<pilot::TAutopilot>(
          *top, pilot::TPilotOptions{options.Stages, options.AllStages, options.FixedStepMs, options.Seed, "AUTOPILOT"});
      top = pilot.get();
    }
    if (!options.RecordFile.empty()) {
      recorder = std::make_unique<platform::TRecordingPlatform>(*top, ReadStartState(top->BasePath()));
      top = recorder.get();
    }
  } catch (const std::exception& failure) {
    Report(failure.what());
    return kExitInput;
  }

  TForm1 form(*top);
  float gameMs = 0, nextChecksum = 0;
  bool wasPlaying = false;
  std::optional<std::chrono::steady_clock::time_point> lastFrame;
  double startMs = 0;
  TFrameTimes times;
  auto checksum = [&] { return StateChecksum(*form.MainMenu); };
  auto verify = [&] {
    if (!replay) return;
    const std::optional<uint32_t> expected = replay->RecordedChecksum();
    if (expected && *expected != checksum()) replay->Diverge();
  };

  TRunHooks hooks;
  hooks.Created = [&] {
    if (pilot) pilot->Attach(*form.MainMenu);
  };
  hooks.FrameDone = [&] {
    const auto now = std::chrono::steady_clock::now();
    if (options.Mode == TRunMode::Timedemo) {
      if (lastFrame) {
        const bool playing = form.MainMenu->Level->fActive;
        times.Ms.push_back(std::chrono::duration<double, std::milli>(now - *lastFrame).count());
        times.Frame.push_back(replay->FrameIndex());
        times.Load.push_back(playing && !wasPlaying);
      } else {
        startMs = std::chrono::duration<double, std::milli>(now - started).count();
      }
      wasPlaying = form.MainMenu->Level->fActive;
      lastFrame = now;
    }
    if (recorder) {
      gameMs += form.fElapsed;
      if (gameMs >= nextChecksum) {
        recorder->AddChecksum(checksum());
        nextChecksum = gameMs + kChecksumIntervalMs;
      }
    }
    verify();
    return !(replay && replay->DivergedAt());
  };
  hooks.Ending = [&] {
    if (recorder) recorder->AddChecksum(checksum());
    if (replay && !replay->DivergedAt()) verify();
  };
  form.Run(hooks);

  int exitCode = 0;
  if (recorder) {
    try {
      platform::SaveRecording(recorder->Recording(), options.RecordFile);
    } catch (const std::exception& failure) {
      Report(failure.what());
      exitCode = kExitInput;
    }
  }
  if (pilot) {
    for (const pilot::TStageResult& result : pilot->Results()) {
      std::printf("autopilot: %s %s, Punkte %d, Leben %d, Gesamt %d, Zeit %.1f s\n", result.FileName.c_str(),
                  result.Won ? "gewonnen" : "verloren", result.Score, result.Life, result.Total, result.TimeMs / 1000);
    }
    if (!pilot->Failure().empty()) Report("autopilot: " + pilot->Failure());
    if (!pilot->AllWon() && exitCode == 0) exitCode = kExitPilotLost;
  }
  if (replay) {
    if (const auto frame = replay->DivergedAt()) {
      std::fprintf(stderr, "replay diverged at frame %zu\n", *frame);
      return kExitDiverged;
    }
    if (!replay->Finished()) Report("Wiedergabe vorzeitig beendet");
    if (options.Mode == TRunMode::Timedemo) times.Print(startMs);
  }
  std::fflush(stdout);
  return exitCode;
}
