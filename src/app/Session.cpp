// Session.cpp -- one run: the window, the player's folder, the platform
// layers the options ask for, the per-second checksums of a recording or
// replay, and what the run reports at its end.
#include "app/Session.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "app/Form.h"
#include "app/OnlineUpload.h"
#include "app/Options.h"
#include "app/PlatformStack.h"
#include "app/Report.h"
#include "app/StageRun.h"
#include "app/StateChecksum.h"
#include "app/Timedemo.h"
#include "app/UserFolder.h"
#include "app/VerifyReport.h"
#include "menu/MainMenu.h"
#include "menu/OnlineBoard.h"
#include "pilot/Autopilot.h"
#include "platform/Browser.h"
#include "platform/Cp1252.h"
#include "platform/Dialog.h"
#include "platform/HeadlessPlatform.h"
#include "platform/RecordingPlatform.h"
#include "platform/ReplayPlatform.h"
#include "platform/SdlPlatform.h"
#include "render/draw/Backend.h"
#include "render/draw/Draw.h"
#include "services/FatalError.h"
#include "services/IniFile.h"
#include "services/Language.h"
#include "services/Settings.h"
#include "stage/Level.h"

namespace {

constexpr float kChecksumIntervalMs = 1000;

// In the page stderr reaches only the console: what ends a replay there is
// shown above the canvas too.
void ReportInPage(const std::string& text) {
  if (platform::kInBrowser) platform::ShowPageMessage(true, platform::kApplicationTitle, platform::Cp1252ToUtf8(text));
}

void SelectRenderer(const TIniFile& settings) {
  const std::string value = settings.ReadString("main", "renderer", "");
  const std::optional<render::TBackendKind> kind = render::ParseBackendKind(value);
  if (!kind)
    Report("settings.ini: renderer=" + value + " ist unbekannt (m\xF6glich sind auto, gl1 und shader); es gilt auto");
  render::SelectBackend(kind.value_or(render::TBackendKind::Auto));
}

TFrameKind FrameKind(const TLevel& level) {
  if (!level.fActive) return TFrameKind::Menu;
  if (level.fFinish.State != TFinishState::Running) return TFrameKind::Finish;
  return level.Paused() ? TFrameKind::Pause : TFrameKind::Play;
}

// The desktop's size for a run without a window, until a recording tells.
constexpr platform::TScreenSize kHeadlessScreen{1920, 1080};

}  // namespace

struct TSession::Impl {
  explicit Impl(const TOptions& options)
      : Options(options),
        ProgramFolder(LocateProgramFolder(platform::ExecutableDirectory(), platform::DataHomeDirectory())) {
    if (options.Headless) {
      auto headless = std::make_unique<platform::THeadlessPlatform>(platform::ExecutableDirectory(), kHeadlessScreen);
      Headless = headless.get();
      Window = std::move(headless);
    } else {
      Window = std::make_unique<platform::SdlPlatform>(WindowFor(options, ProgramFolder));
    }
  }

  static platform::TWindowOptions WindowFor(const TOptions& options, const TProgramFolder& programFolder) {
    platform::TWindowOptions window;
    window.Width = options.WindowWidth;
    window.Height = options.WindowHeight;
    // An installed game plays in the player's own folder, which is laid out
    // once the window is open, so that a failure reaches the player as a
    // dialog; the window itself already opens as the player's settings say.
    if (window.Width == 0 && !programFolder.Path.empty()) {
      // The player's choice on this machine (replays too); --window wins.
      const platform::TWindowMode mode = ReadWindowSetting(ReadSettings(programFolder.Path + "settings.ini"));
      if (!mode.FullScreen) {
        window.Width = mode.Width;
        window.Height = mode.Height;
      }
    }
    window.CaptureMouse = options.Mode == TRunMode::Play;
    return window;
  }

  // A stage's run is checked on the stage's state alone.
  uint32_t Checksum() const {
    if (Replay && !Stack->Replayed().StartStage.empty()) return StateChecksum(*Form->MainMenu->Level);
    return StateChecksum(*Form->MainMenu);
  }

  void Verify() {
    if (!Replay) return;
    const std::optional<uint32_t> expected = Replay->RecordedChecksum();
    if (expected && *expected != Checksum()) Replay->Diverge();
  }

  // A verification's end without a verified run: the fixed last line.
  int Refuse(int exitCode, const std::string& why) {
    return Options.Mode == TRunMode::Verify ? RefuseRun(exitCode, why) : exitCode;
  }

  TRunHooks Hooks() {
    TRunHooks hooks;
    hooks.Created = [this] {
      Stages->Attach(*Form->MainMenu);
      if (Online) {
        Online->Attach(*Form->MainMenu);
        // A stage starts with the server's challenge when one is ready.
        Stages->ChallengeFor = [this](const std::string& fileName) { return Online->ChallengeFor(*Form->MainMenu, fileName); };
      }
      Form->MainMenu->Level->OnNameConfirmed = [this] {
        Stages->NameConfirmed();
        if (Online) Online->NameConfirmed();
        if (Options.Mode == TRunMode::Verify) Proven = ProvenRunOf(*Form->MainMenu->Level, *Stages);
      };
      if (Pilot) Pilot->Attach(*Form->MainMenu);
      if (Replay) StartReplayedStage(*Form->MainMenu, Stack->Replayed(), *Stages);
    };
    hooks.FrameDone = [this] {
      const bool active = Form->MainMenu->Level->fActive;
      if (WasActive && !active) {
        StageLeft = true;
        Stages->StageLeft();
      }
      WasActive = active;
      if (Timedemo) Timedemo->FrameDone(FrameKind(*Form->MainMenu->Level), Replay->FrameIndex());  // Start checked Replay
      bool checksumDue = false;
      if (Recorder) {
        GameMs += Form->fElapsed;
        if (GameMs >= NextChecksum) {
          Recorder->AddChecksum(Checksum());
          NextChecksum = GameMs + kChecksumIntervalMs;
          checksumDue = true;
        }
      }
      Stages->FrameDone(*Form->MainMenu->Level, checksumDue);
      Verify();
      if (Options.Mode == TRunMode::Verify && !ClockRefused)
        ClockRefused = Stages->FrameTimeRefusal(*Form->MainMenu->Level, Form->fElapsed, Replay->FrameIndex());
      if (ClockRefused) return false;
      if (Online) Online->FrameDone(*Form->MainMenu, *Stages);
      return !(Replay && Replay->DivergedAt());
    };
    hooks.Ending = [this] {
      if (Recorder) Recorder->AddChecksum(Checksum());
      if (Replay && !Replay->DivergedAt()) Verify();
    };
    return hooks;
  }

  const TOptions Options;
  std::optional<TTimedemo> Timedemo;
  TProgramFolder ProgramFolder;
  std::unique_ptr<platform::TPlatform> Window;
  platform::THeadlessPlatform* Headless = nullptr;  // Window, when there is none
  std::optional<TProvenRun> Proven;
  // Before the layers and the form, which refer to it.
  std::unique_ptr<TOnlineUpload> Online;
  std::unique_ptr<TPlatformStack> Stack;
  std::unique_ptr<TForm1> Form;
  pilot::TAutopilot* Pilot = nullptr;
  platform::TRecordingPlatform* Recorder = nullptr;
  platform::TReplayPlatform* Replay = nullptr;
  float GameMs = 0, NextChecksum = 0;
  std::unique_ptr<TStageRuns> Stages;
  // The replayed clock failed a check: the fixed refusal (verify).
  std::optional<std::string> ClockRefused;
  int ExitCode = 0;
  bool Running = false;
  bool WasActive = false, StageLeft = false;
};

TSession::TSession(const TOptions& options) : fImpl(std::make_unique<Impl>(options)) {
  if (options.Mode == TRunMode::Timedemo) fImpl->Timedemo.emplace();
}

TSession::~TSession() = default;

bool TSession::Start() {
  // How frames are drawn is this machine's choice too, replays included.
  const TProgramFolder& folder = fImpl->ProgramFolder;
  const TIniFile settings = folder.Path.empty() ? TIniFile() : ReadSettings(folder.Path + "settings.ini");
  if (fImpl->Headless) {
    render::SelectBackend(render::TBackendKind::Null);
  } else {
    SelectRenderer(settings);
  }
  // The player's choice, or on a first start the system's language:
  // messages from here on follow it.
  SetLanguage(ReadLanguageSetting(settings).value_or(SystemLanguage()));
  try {
    PrepareProgramFolder(folder);
  } catch (const std::exception& failure) {
    FatalError(std::string("Der Spielerordner kann nicht eingerichtet werden\r\n") + failure.what());
  }
  try {
    if (fImpl->Timedemo && !fImpl->Options.FrameTimesFile.empty()) fImpl->Timedemo->OpenFrameTimes(fImpl->Options.FrameTimesFile);
    TOptions options = fImpl->Options;
    // With the online leaderboard on, a played session is recorded: each
    // stage's run is kept apart (TStageRuns), which the server replays.
    const TOnlineSettings online = ReadOnlineSettings(settings);
    if (options.Mode == TRunMode::Play && online.Enabled) {
      options.RecordInMemory = true;
      fImpl->Online = std::make_unique<TOnlineUpload>(
          online.Server, folder.Path.empty() ? std::string() : folder.Path + kOnlineQueueFolder);
    }
    fImpl->Stack = std::make_unique<TPlatformStack>(*fImpl->Window, options, folder.Share ? folder.Path : std::string());
  } catch (const std::exception& failure) {
    Report(failure.what());
    ReportInPage(failure.what());
    fImpl->ExitCode = fImpl->Refuse(kExitInput, "damaged file");
    return false;
  }
  fImpl->Pilot = fImpl->Stack->Pilot();
  fImpl->Recorder = fImpl->Stack->Recorder();
  fImpl->Replay = fImpl->Stack->Replay();
  fImpl->Stages = std::make_unique<TStageRuns>(fImpl->Recorder);
  // The autopilot's stages fly a server's challenge given on the command
  // line, as the online board's would.
  if (!fImpl->Options.Challenge.empty()) {
    fImpl->Stages->ChallengeFor = [token = fImpl->Options.Challenge](const std::string&) -> std::optional<std::string> {
      return token;
    };
  }
  if (fImpl->Options.Mode == TRunMode::Verify) fImpl->ClockRefused = ClockRefusal(fImpl->Stack->Replayed());
  // A timedemo is a replay played as fast as it goes: it numbers its frames
  // by the recording's.
  if (fImpl->Timedemo && !fImpl->Replay) throw std::logic_error("timedemo without a replay");
  // Without a window the game sees the recorded desktop.
  const platform::TRecording& recorded = fImpl->Stack->Replayed();
  if (fImpl->Headless && fImpl->Replay && recorded.ScreenWidth > 0 && recorded.ScreenHeight > 0)
    fImpl->Headless->SetScreenSize({recorded.ScreenWidth, recorded.ScreenHeight});
  // From here on a verification's failures come from what the recording
  // holds (a stage that names a file the game lacks, a value it cannot
  // use): they refuse the recording as a damaged one does.
  if (fImpl->Options.Mode == TRunMode::Verify) SetFatalExitCode(kExitInput);
  fImpl->Form = std::make_unique<TForm1>(fImpl->Stack->Top());
  fImpl->Form->fSilent = fImpl->Headless != nullptr;
  fImpl->Form->Begin(fImpl->Hooks());
  fImpl->Running = true;
  return true;
}

bool TSession::Frame() { return fImpl->Running && fImpl->Form->Step(); }

int TSession::Finish() {
  if (!fImpl->Running) return fImpl->ExitCode;
  fImpl->Running = false;
  fImpl->Form->End();
  if (fImpl->Recorder && !fImpl->Options.RecordFile.empty()) {
    try {
      platform::SaveRecording(fImpl->Recorder->Recording(), fImpl->Options.RecordFile);
    } catch (const std::exception& failure) {
      Report(failure.what());
      fImpl->ExitCode = kExitInput;
    }
  }
  if (fImpl->Stages && !fImpl->Options.RecordStageFile.empty()) {
    try {
      if (!fImpl->Stages->LastRun()) throw std::runtime_error("Kein Level gespielt: keine Aufnahme in " + fImpl->Options.RecordStageFile);
      platform::SaveRecording(*fImpl->Stages->LastRun(), fImpl->Options.RecordStageFile);
    } catch (const std::exception& failure) {
      Report(failure.what());
      fImpl->ExitCode = kExitInput;
    }
  }
  if (fImpl->Pilot) {
    for (const pilot::TStageResult& result : fImpl->Pilot->Results()) {
      std::printf("autopilot: %s %s, Punkte %d, Leben %d, Gesamt %d, Zeit %.1f s\n", result.FileName.c_str(),
                  result.Won ? "gewonnen" : "verloren", result.Score, result.Life, result.Total, result.TimeMs / 1000);
      const std::string stage = StageName(result.FileName);
      std::fflush(stdout);  // each stage's two lines together
      std::fprintf(stderr, "hits %s: %s\n", stage.c_str(), result.Hits.c_str());
    }
    if (!fImpl->Pilot->Failure().empty()) Report("autopilot: " + fImpl->Pilot->Failure());
    if (!fImpl->Pilot->AllWon() && fImpl->ExitCode == 0) fImpl->ExitCode = kExitPilotLost;
  }
  if (fImpl->Replay) {
    if (fImpl->ClockRefused) {
      fImpl->ExitCode = fImpl->Refuse(kExitDiverged, *fImpl->ClockRefused);
    } else if (const auto frame = fImpl->Replay->DivergedAt()) {
      std::fprintf(stderr, "replay diverged at frame %zu\n", *frame);
      ReportInPage(TrMessage("Die Wiedergabe weicht von der Aufnahme ab, bei Bild " + std::to_string(*frame)));
      fImpl->ExitCode = fImpl->Refuse(kExitDiverged, "diverged at frame " + std::to_string(*frame));
    } else if (fImpl->Options.Mode == TRunMode::Verify) {
      // A run that ends before its recording does took another path.
      if (!fImpl->Replay->Finished()) {
        Report("Wiedergabe vorzeitig beendet");
        fImpl->ExitCode = fImpl->Refuse(kExitDiverged, "diverged at frame " + std::to_string(fImpl->Replay->FrameIndex()));
      } else if (fImpl->ExitCode == 0) {
        fImpl->ExitCode = ReportProvenRun(fImpl->Proven, fImpl->Stack->Replayed(),
                                          fImpl->Options.InstalledStage ? fImpl->ProgramFolder.Path : std::string());
      }
    } else {
      if (!fImpl->Replay->Finished()) Report("Wiedergabe vorzeitig beendet");
      if (fImpl->Timedemo) {
        fImpl->Timedemo->Print();
        std::fprintf(stderr, "timedemo: gezeichnet mit %s\n", gfx::BackendName());
        try {
          fImpl->Timedemo->WriteFrameTimes();
        } catch (const std::exception& failure) {
          Report(failure.what());
          fImpl->ExitCode = kExitInput;
        }
      }
    }
  }
  std::fflush(stdout);
  return fImpl->ExitCode;
}

bool TSession::SaveRecording(const std::string& fileName) {
  // The last stage's run: the one the board would take.
  if (!fImpl->Running || !fImpl->Stages || !fImpl->Stages->LastRun()) return false;
  try {
    platform::SaveRecording(*fImpl->Stages->LastRun(), fileName);
  } catch (const std::exception& failure) {
    Report(failure.what());
    ReportInPage(failure.what());
    return false;
  }
  return true;
}

bool TSession::StageEnded() { return std::exchange(fImpl->StageLeft, false); }

int RunSession(const TOptions& options) {
  TSession session(options);
  if (session.Start()) {
    while (session.Frame()) {
    }
  }
  return session.Finish();
}
