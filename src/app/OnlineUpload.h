// OnlineUpload.h -- a played session's side of the online leaderboard: the
// board's answers taken each frame, and a stage's run whose name entry was
// confirmed sent as the stage's own recording (TStageRuns).
#pragma once

#include <memory>
#include <string>

class THttpClient;
class TOnlineBoard;
class TMainMenu;
class TStageRuns;

class TOnlineUpload {
 public:
  // Talks to `server` through the system's HTTP client.
  explicit TOnlineUpload(const std::string& server);
  ~TOnlineUpload();
  TOnlineUpload(const TOnlineUpload&) = delete;
  TOnlineUpload& operator=(const TOnlineUpload&) = delete;

  // Hands the board to the menu.
  void Attach(TMainMenu& menu);
  // The stage's name entry was confirmed in this frame.
  void NameConfirmed() { fRunToSend = true; }
  // At the end of each frame, after `stages` took it: takes the answers that
  // came and, when a name entry was confirmed in the frame (and the player
  // has the board on), sends the stage's run that ended with it, named runs
  // only, under the SHA-256 of its stage.
  void FrameDone(TMainMenu& menu, const TStageRuns& stages);

 private:
  void SendRun(const TStageRuns& stages);

  std::unique_ptr<THttpClient> fHttp;
  std::unique_ptr<TOnlineBoard> fBoard;
  // A run's name entry was confirmed in this frame.
  bool fRunToSend = false;
};
