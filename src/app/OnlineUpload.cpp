// OnlineUpload.cpp -- sending a session's confirmed runs to the server.
#include "app/OnlineUpload.h"

#include <chrono>
#include <stdexcept>

#include "app/StageHash.h"
#include "app/StateChecksum.h"
#include "menu/MainMenu.h"
#include "menu/OnlineBoard.h"
#include "platform/RecordingPlatform.h"
#include "services/Http.h"
#include "stage/Level.h"

TOnlineUpload::TOnlineUpload(const std::string& server)
    : fHttp(MakeSystemHttpClient()), fBoard(std::make_unique<TOnlineBoard>(*fHttp, server)) {}

TOnlineUpload::~TOnlineUpload() = default;

void TOnlineUpload::Attach(TMainMenu& menu) {
  menu.fOnline = fBoard.get();
  menu.Level->OnNameConfirmed = [this] { fRunToSend = true; };
}

void TOnlineUpload::FrameDone(TMainMenu& menu, platform::TRecordingPlatform& recorder) {
  const double nowMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
  fBoard->Update(nowMs);
  if (!fRunToSend) return;
  fRunToSend = false;
  if (menu.fOnlineSettings.Enabled) SendRun(menu, recorder);
}

void TOnlineUpload::SendRun(TMainMenu& menu, platform::TRecordingPlatform& recorder) {
  const std::string fileName = StageFileName(menu.Level->fFileName);
  const std::string stage = StageName(fileName);
  // The stage as the recording starts with it, which the server replays.
  const platform::TRecording& recording = recorder.Recording();
  const auto file = recording.StageFiles.find(fileName);
  std::string hash;
  try {
    if (file == recording.StageFiles.end()) throw std::runtime_error(fileName + " fehlt in der Aufnahme");
    hash = StageHashText(StageRulesHash(file->second));
  } catch (const std::exception& failure) {
    fBoard->SetNote(kNoteNotSent, {std::string("Level nicht lesbar: ") + failure.what()});
    return;
  }
  // The state the run ended in is checked too.
  recorder.AddChecksum(StateChecksum(menu));
  fBoard->Submit(platform::SerializeRecording(recording), stage, hash);
}
