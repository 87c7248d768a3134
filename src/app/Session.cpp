// Session.cpp -- one run: the window, the player's folder, the platform
// layers the options ask for, the per-second checksums of a recording or
// replay, and what the run reports at its end.
#include "app/Session.h"

#include <cstdio>
#include <memory>
#include <optional>

#include "app/Form.h"
#include "app/Options.h"
#include "app/PlatformStack.h"
#include "app/StateChecksum.h"
#include "app/Timedemo.h"
#include "app/UserFolder.h"
#include "menu/MainMenu.h"
#include "pilot/Autopilot.h"
#include "platform/Dialog.h"
#include "platform/RecordingPlatform.h"
#include "platform/ReplayPlatform.h"
#include "platform/SdlPlatform.h"
#include "render/draw/Backend.h"
#include "render/draw/Draw.h"
#include "services/FatalError.h"
#include "services/Settings.h"
#include "stage/Level.h"

namespace {

constexpr float kChecksumIntervalMs = 1000;

void Report(const std::string& text) {
  std::fprintf(stderr, "%s\n", platform::Cp1252ToUtf8(text).c_str());
}

void SelectRenderer(const TIniFile& settings) {
  const std::string value = settings.ReadString("main", "renderer", "");
  const std::optional<render::TBackendKind> kind = render::ParseBackendKind(value);
  if (!kind)
    Report("settings.ini: renderer=" + value + " ist unbekannt (m\xF6glich sind auto, gl1 und shader); es gilt auto");
  render::SelectBackend(kind.value_or(render::TBackendKind::Auto));
}

}  // namespace

int RunSession(const TOptions& options) {
  std::optional<TTimedemo> timedemo;
  if (options.Mode == TRunMode::Timedemo) timedemo.emplace();
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
  // How frames are drawn is this machine's choice too, replays included.
  SelectRenderer(programFolder.Path.empty() ? TIniFile() : ReadSettings(programFolder.Path + "settings.ini"));
  try {
    PrepareProgramFolder(programFolder);
  } catch (const std::exception& failure) {
    FatalError(std::string("Der Spielerordner kann nicht eingerichtet werden\r\n") + failure.what());
  }

  std::unique_ptr<TPlatformStack> stack;
  try {
    stack = std::make_unique<TPlatformStack>(sdl, options, programFolder.Share ? programFolder.Path : std::string());
  } catch (const std::exception& failure) {
    Report(failure.what());
    return kExitInput;
  }
  pilot::TAutopilot* pilot = stack->Pilot();
  platform::TRecordingPlatform* recorder = stack->Recorder();
  platform::TReplayPlatform* replay = stack->Replay();

  TForm1 form(stack->Top());
  float gameMs = 0, nextChecksum = 0;
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
    if (timedemo) timedemo->FrameDone(form.MainMenu->Level->fActive, replay->FrameIndex());
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
    if (timedemo) {
      timedemo->Print();
      std::fprintf(stderr, "timedemo: gezeichnet mit %s\n", gfx::BackendName());
    }
  }
  std::fflush(stdout);
  return exitCode;
}
