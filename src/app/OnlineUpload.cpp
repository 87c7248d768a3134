// OnlineUpload.cpp -- challenges for the stages about to start, and
// keeping and sending a session's confirmed runs.
#include "app/OnlineUpload.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "app/Report.h"
#include "app/StageHash.h"
#include "app/StageRun.h"
#include "menu/MainMenu.h"
#include "menu/OnlineBoard.h"
#include "platform/Browser.h"
#include "platform/Cp1252.h"
#include "platform/FileNames.h"
#include "platform/Recording.h"
#include "services/AtomicFile.h"
#include "services/Http.h"
#include "stage/Level.h"

namespace {

double SteadyMs() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string ReadWhole(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("nicht lesbar");
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A stage's run's stage (Level01) and the SHA-256 of its stage file.
std::pair<std::string, std::string> StageOfRun(const platform::TRecording& run) {
  const auto file = run.StageFiles.find(run.StartStage);
  if (run.StartStage.empty() || file == run.StageFiles.end()) throw std::runtime_error("kein Lauf eines Levels");
  return {StageName(run.StartStage), StageSha256(file->second)};
}

}  // namespace

void ResumeQueuedRuns(TOnlineBoard& board, const std::string& folder) {
  std::error_code error;
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(platform::FsPath(folder), error)) {
    if (entry.path().extension() == ".rvr") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  for (const std::filesystem::path& path : files) {
    const std::string name = platform::Utf8Path(path);
    try {
      std::string bytes = ReadWhole(path);
      const auto [stage, hash] = StageOfRun(platform::ParseRecording(bytes));
      board.Resume(std::move(bytes), stage, hash, name);
    } catch (const std::exception& failure) {
      Report("Online-Bestenliste: " + platform::Utf8ToCp1252(name) + " ist besch\xE4" "digt und wird verworfen (" + failure.what() + ")");
      std::filesystem::remove(path, error);
      platform::PersistSavedFiles();
    }
  }
}

std::string QueueRunFile(const std::string& folder, const std::string& recording, const std::string& stage) {
  std::filesystem::create_directories(platform::FsPath(folder));
  // Milliseconds since 1970, zero-padded: names sort by age.
  auto stamp = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch()).count();
  std::string path;
  do {
    std::string digits = std::to_string(stamp++);
    digits.insert(0, digits.size() < 16 ? 16 - digits.size() : 0, '0');
    path = folder + "/" + digits + "-" + stage + ".rvr";
  } while (std::filesystem::exists(platform::FsPath(path)));
  WriteFileAtomically(path, recording);
  return path;
}

TOnlineUpload::TOnlineUpload(const std::string& server, const std::string& queueFolder)
    : fHttp(MakeSystemHttpClient()), fBoard(std::make_unique<TOnlineBoard>(*fHttp, server)), fQueueFolder(queueFolder) {
  if (!fQueueFolder.empty()) ResumeQueuedRuns(*fBoard, fQueueFolder);
}

TOnlineUpload::~TOnlineUpload() = default;

void TOnlineUpload::Attach(TMainMenu& menu) { menu.fOnline = fBoard.get(); }

std::optional<std::string> TOnlineUpload::ChallengeFor(TMainMenu& menu, const std::string& fileName) {
  std::optional<std::string> token;
  if (menu.fOnlineSettings.Enabled) {
    token = fBoard->TakeChallenge(fileName, std::string(DifficultyRules(menu.fDifficulty).Name), SteadyMs());
    if (token && !SeedOfChallenge(*token)) token.reset();
  }
  menu.Level->fNotForBoard = menu.fOnlineSettings.Enabled && !token;
  return token;
}

const std::string& TOnlineUpload::StageHashOf(TMainMenu& menu, const std::string& fileName) {
  const auto [found, fresh] = fStageHashes.try_emplace(fileName);
  if (fresh) {
    try {
      found->second = StageSha256(ReadWhole(platform::FsPath(menu.Level->ProgramDir()) / "data" / platform::FsPath(fileName)));
    } catch (const std::exception&) {
      // No challenge then: the stage's start says what is wrong with it.
    }
  }
  return found->second;
}

void TOnlineUpload::WantChallenges(TMainMenu& menu) {
  const TLevel& level = *menu.Level;
  std::vector<std::string> stages;
  if (level.fActive) {
    // For R, and for the next stage once this one is passed.
    const std::string current = StageFileName(level.fFileName);
    stages.push_back(current);
    const auto at = std::find_if(menu.fLevelList.begin(), menu.fLevelList.end(),
                                 [&](const TLevelListItem& item) { return item.FileName == current; });
    if (at != menu.fLevelList.end() && at + 1 != menu.fLevelList.end()) stages.push_back((at + 1)->FileName);
  } else if (menu.fPath == kStagePage && menu.fSelected >= 0 &&
             static_cast<std::size_t>(menu.fSelected) < menu.fLevelList.size() &&
             menu.fLevelList[static_cast<std::size_t>(menu.fSelected)].Active) {
    stages.push_back(menu.fLevelList[static_cast<std::size_t>(menu.fSelected)].FileName);
  }
  const std::string difficulty(DifficultyRules(menu.fDifficulty).Name);
  for (const std::string& stage : stages) {
    const std::string& hash = StageHashOf(menu, stage);
    if (!hash.empty()) fBoard->WantChallenge(stage, hash, difficulty);
  }
}

void TOnlineUpload::FrameDone(TMainMenu& menu, const TStageRuns& stages) {
  if (menu.fOnlineSettings.Enabled) WantChallenges(menu);
  fBoard->Update(SteadyMs());
  if (!fRunToSend) return;
  fRunToSend = false;
  if (menu.fOnlineSettings.Enabled) SendRun(stages);
}

void TOnlineUpload::SendRun(const TStageRuns& stages) {
  // The stage's own run, from its start to the name entry just confirmed:
  // the server replays it on its installed stage. One started without a
  // challenge is not for the board (its finish screen said so).
  const platform::TRecording* run = stages.LastRun();
  if (!run || !stages.LastRunNamed() || run->Challenge.empty()) return;
  std::string stage, hash;
  try {
    std::tie(stage, hash) = StageOfRun(*run);
  } catch (const std::exception& failure) {
    fBoard->SetNote(kNoteNotSent, {std::string("Level nicht lesbar: ") + failure.what()});
    return;
  }
  std::string recording = platform::SerializeRecording(*run);
  // On disk before it goes out: a run the server has not judged survives
  // the game's end.
  std::string file;
  if (!fQueueFolder.empty() && recording.size() <= kMaxUploadBytes) {
    try {
      file = QueueRunFile(fQueueFolder, recording, stage);
    } catch (const std::exception& failure) {
      Report(std::string("Online-Bestenliste: der Lauf kann nicht aufbewahrt werden: ") + failure.what());
    }
  }
  fBoard->Submit(std::move(recording), stage, hash, file);
}
