// OnlineUpload.cpp -- sending a session's confirmed runs to the server.
#include "app/OnlineUpload.h"

#include <chrono>
#include <stdexcept>

#include "app/StageHash.h"
#include "app/StageRun.h"
#include "menu/MainMenu.h"
#include "menu/OnlineBoard.h"
#include "platform/Recording.h"
#include "services/Http.h"
#include "stage/Level.h"

TOnlineUpload::TOnlineUpload(const std::string& server)
    : fHttp(MakeSystemHttpClient()), fBoard(std::make_unique<TOnlineBoard>(*fHttp, server)) {}

TOnlineUpload::~TOnlineUpload() = default;

void TOnlineUpload::Attach(TMainMenu& menu) { menu.fOnline = fBoard.get(); }

void TOnlineUpload::FrameDone(TMainMenu& menu, const TStageRuns& stages) {
  const double nowMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
  fBoard->Update(nowMs);
  if (!fRunToSend) return;
  fRunToSend = false;
  if (menu.fOnlineSettings.Enabled) SendRun(stages);
}

void TOnlineUpload::SendRun(const TStageRuns& stages) {
  // The stage's own run, from its start to the name entry just confirmed:
  // the server replays it on its installed stage.
  const platform::TRecording* run = stages.LastRun();
  if (!run || !stages.LastRunNamed()) return;
  std::string hash;
  try {
    const auto file = run->StageFiles.find(run->StartStage);
    if (file == run->StageFiles.end()) throw std::runtime_error(run->StartStage + " fehlt in der Aufnahme");
    hash = StageSha256(file->second);
  } catch (const std::exception& failure) {
    fBoard->SetNote(kNoteNotSent, {std::string("Level nicht lesbar: ") + failure.what()});
    return;
  }
  fBoard->Submit(platform::SerializeRecording(*run), StageName(run->StartStage), hash);
}
