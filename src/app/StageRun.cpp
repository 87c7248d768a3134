// StageRun.cpp -- recording a stage's run apart, the play's identity and
// the checks of a run's clock.
#include "app/StageRun.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/Session.h"
#include "app/StageHash.h"
#include "app/StateChecksum.h"
#include "menu/MainMenu.h"
#include "platform/Cp1252.h"
#include "platform/FileNames.h"
#include "platform/RecordingPlatform.h"
#include "stage/Level.h"

namespace {

// The file's bytes; empty when it cannot be read (the stage's start reads
// it again and says so).
std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

std::optional<uint32_t> SeedOfChallenge(std::string_view challenge) {
  std::string_view rest = challenge;
  for (int field = 0; field < 3; ++field) {
    const std::size_t dot = rest.find('.');
    if (dot == std::string_view::npos) return std::nullopt;
    rest.remove_prefix(dot + 1);
  }
  const std::string_view seed = rest.substr(0, rest.find('.'));
  uint32_t value = 0;
  const auto [end, error] = std::from_chars(seed.data(), seed.data() + seed.size(), value);
  if (seed.empty() || error != std::errc() || end != seed.data() + seed.size()) return std::nullopt;
  return value;
}

std::string NormalizedName(std::string_view name) {
  std::string result;
  bool space = false;
  for (const char ch : name) {
    if (ch == ' ') {
      space = !result.empty();
      continue;
    }
    if (space) result += ' ';
    space = false;
    result += ch;
  }
  return result;
}

std::optional<std::string> ClockRefusal(const platform::TRecording& recording) {
  uint64_t last = 0;
  bool any = false;
  for (std::size_t i = 0; i < recording.Frames.size(); ++i) {
    for (const uint64_t reading : recording.Frames[i].Counters) {
      if (any && reading < last) return "clock runs backwards at frame " + std::to_string(i);
      last = reading;
      any = true;
    }
  }
  return std::nullopt;
}

void TPlayHash::Begin(std::string_view stageHash, std::string_view difficulty, uint32_t seed) {
  fHash = TSha256();
  fHash.Add(stageHash);
  fHash.Add("\n");
  fHash.Add(difficulty);
  fHash.Add("\n");
  fHash.Add(std::to_string(seed));
  fHash.Add("\n");
  fBegun = true;
}

void TPlayHash::Add(uint32_t checksum) {
  const char bytes[4] = {static_cast<char>(checksum & 0xFF), static_cast<char>((checksum >> 8) & 0xFF),
                         static_cast<char>((checksum >> 16) & 0xFF), static_cast<char>(checksum >> 24)};
  fHash.Add(std::string_view(bytes, 4));
}

std::string TPlayHash::Hex() const {
  TSha256 copy = fHash;
  return copy.FinishHex();
}

void TStageRuns::Attach(TMainMenu& menu) {
  fMenu = &menu;
  menu.OnStageStarting = [this, &menu](const std::string& fileName) { Starting(menu, fileName); };
}

void TStageRuns::Starting(TMainMenu& menu, const std::string& fileName) {
  const std::filesystem::path base = platform::FsPath(menu.Level->ProgramDir());
  const std::string stage = ReadBytes(base / "data" / platform::FsPath(fileName));
  try {
    fStageHash = StageSha256(stage);
  } catch (const std::exception&) {
    fStageHash.clear();  // the stage's start reports the file
  }
  fDifficulty = std::string(menu.Level->Rules().Name);
  fChallenge.clear();
  std::optional<uint32_t> seed;
  if (ChallengeFor) {
    if (const std::optional<std::string> challenge = ChallengeFor(fileName)) {
      seed = SeedOfChallenge(*challenge);
      if (seed) fChallenge = *challenge;
    }
  }
  if (fRecorder && menu.fStagesApart) {
    // A run left unfinished is dropped: memory holds one stage's run.
    fLastRun.reset();
    (void)fRecorder->EndStage();
    fRecorder->BeginStage({ReadBytes(base / "settings.ini"), fileName, stage, fChallenge, seed});
  }
  fInStage = true;
  fSkipFrame = true;  // the frame the stage starts in is the menu's
  fFlying = true;
  fPlay = TPlayHash();
}

void TStageRuns::FrameDone(const TLevel& level, bool checksumDue) {
  if (std::exchange(fNamePending, false) && fInStage) {
    fInStage = false;
    if (!fRecorder) return;
    fRecorder->AddStageChecksum(StateChecksum(level));
    fLastRun = fRecorder->EndStage();
    fLastNamed = fLastRun.has_value();
    return;
  }
  if (!fInStage || !level.fActive) return;
  if (std::exchange(fSkipFrame, false)) return;
  if (!fPlay.Begun()) {
    fSeed = fMenu ? fMenu->fStageSeed : 0;
    fPlay.Begin(fStageHash, fDifficulty, fSeed);
  }
  const uint32_t checksum = StateChecksum(level);
  if (fFlying && level.fFinish.State != TFinishState::Running) fFlying = false;
  if (fFlying) fPlay.Add(checksum);
  if (checksumDue && fRecorder) fRecorder->AddStageChecksum(checksum);
}

void TStageRuns::StageLeft() {
  fInStage = false;
  if (!fRecorder || !fRecorder->StageRun()) return;
  fLastRun = fRecorder->EndStage();
  fLastNamed = false;
}

std::optional<std::string> TStageRuns::FrameTimeRefusal(const TLevel& level, float elapsedMs, std::size_t frame) {
  const bool flying = level.fActive && !level.Paused() && level.fFinish.State == TFinishState::Running;
  const bool refused = flying && fWasFlying && !(elapsedMs >= 0 && elapsedMs <= kMaxFlightFrameMs);
  fWasFlying = flying;
  if (!refused) return std::nullopt;
  return "frame time out of range at frame " + std::to_string(frame);
}

void StartReplayedStage(TMainMenu& menu, const platform::TRecording& recording, TStageRuns& stages) {
  if (recording.Version < 5) {
    menu.fStagesApart = false;
    return;
  }
  if (recording.StartStage.empty()) return;
  menu.StartStage(recording.StartStage);
  stages.StartedBeforeFrames();
  // The run is reported with the challenge it carries, whatever it holds
  // (the report refuses one whose seed is not the stage's).
  stages.SetReplayedChallenge(recording.Challenge);
}
