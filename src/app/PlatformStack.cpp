// PlatformStack.cpp -- building the layers of a run, bottom to top.
#include "app/PlatformStack.h"

#include "app/Options.h"
#include "pilot/Autopilot.h"
#include "platform/FolderPlatform.h"
#include "platform/RecordingPlatform.h"
#include "platform/ReplayPlatform.h"
#include "services/IniFile.h"
#include "services/Paths.h"
#include "services/RC4Stream.h"
#include "services/Settings.h"

namespace {

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

TPlatformStack::TPlatformStack(platform::TPlatform& window, const TOptions& options, const std::string& playerFolder)
    : fTop(&window) {
  if (!playerFolder.empty()) {
    fUserFolder = std::make_unique<platform::TFolderPlatform>(window, playerFolder);
    fTop = fUserFolder.get();
  }
  const std::string realBase = fTop->BasePath();
  if (options.Mode == TRunMode::Replay || options.Mode == TRunMode::Timedemo || options.Mode == TRunMode::Verify)
    StackReplay(options, realBase);
  if (options.Mode == TRunMode::Autopilot) StackPilot(options, realBase);
  if (!options.RecordFile.empty() || !options.RecordStageFile.empty() || options.RecordInMemory) {
    // Only a file of the whole session keeps every frame since the start;
    // stage runs alone keep one stage.
    fRecorder = std::make_unique<platform::TRecordingPlatform>(*fTop, ReadStartState(fTop->BasePath()),
                                                               !options.RecordFile.empty());
    fTop = fRecorder.get();
  }
}

TPlatformStack::~TPlatformStack() = default;

void TPlatformStack::StackReplay(const TOptions& options, const std::string& realBase) {
  fRecording = platform::LoadRecording(options.ReplayFile);
  // A stage's run holds its own stage file alone: the installed ones stand
  // beside it, so that the stage it unlocks is there to be unlocked.
  std::map<std::string, std::string> stages = fRecording.StageFiles;
  if (!fRecording.StartStage.empty()) stages.merge(ReadStartState(realBase).StageFiles);
  fScratch = std::make_unique<TScratchFolder>(realBase, fRecording.Settings, stages);
  // Whether this machine can open its audio device is its own affair.
  const TIniFile real = ReadSettings(realBase + "settings.ini");
  const int sound = real.ReadInteger("main", "sound", 1);
  WriteSetting(fScratch->Base() + "settings.ini", "sound", sound != 0 ? "1" : "0");
  // So is the language the player reads; the game plays the same in both.
  if (const auto language = ReadLanguageSetting(real))
    WriteSetting(fScratch->Base() + "settings.ini", "language", std::string(LanguageName(*language)));
  fReplay = std::make_unique<platform::TReplayPlatform>(
      *fTop, fRecording, fScratch->Base(),
      options.Mode == TRunMode::Replay ? platform::TReplayPace::Recorded : platform::TReplayPace::Fastest);
  fTop = fReplay.get();
}

void TPlatformStack::StackPilot(const TOptions& options, const std::string& realBase) {
  if (!options.KeepScores) {
    const platform::TRecording start = ReadStartState(realBase);
    fScratch = std::make_unique<TScratchFolder>(realBase, start.Settings, start.StageFiles);
    UnlockStages(fScratch->Base(), options.Stages);
    // The copy's settings say it, so that a recording of the run carries it.
    if (options.Difficulty)
      WriteSetting(fScratch->Base() + "settings.ini", "difficulty", std::string(DifficultyRules(*options.Difficulty).Name));
    fFolder = std::make_unique<platform::TFolderPlatform>(*fTop, fScratch->Base());
    fTop = fFolder.get();
  }
  fPilot = std::make_unique<pilot::TAutopilot>(
      *fTop, pilot::TPilotOptions{options.Stages, options.AllStages, options.FixedStepMs, options.Seed, "AUTOPILOT",
                                  options.ReactionMs, options.AimNoiseDeg});
  fTop = fPilot.get();
}
