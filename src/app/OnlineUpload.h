// OnlineUpload.h -- a played session's side of the online leaderboard: the
// board's answers taken each frame, and a run whose name entry was
// confirmed sent with the session's recording so far.
#pragma once

#include <memory>
#include <string>

class THttpClient;
class TOnlineBoard;
class TMainMenu;
namespace platform {
class TRecordingPlatform;
}

class TOnlineUpload {
 public:
  // Talks to `server` through the system's HTTP client.
  explicit TOnlineUpload(const std::string& server);
  ~TOnlineUpload();
  TOnlineUpload(const TOnlineUpload&) = delete;
  TOnlineUpload& operator=(const TOnlineUpload&) = delete;

  // Hands the board to the menu and listens for its stage's confirmed name
  // entries.
  void Attach(TMainMenu& menu);
  // At the end of each frame: takes the answers that came and, when a name
  // entry was confirmed in the frame (and the player has the board on),
  // sends the run with the state the frame ended in.
  void FrameDone(TMainMenu& menu, platform::TRecordingPlatform& recorder);

 private:
  void SendRun(TMainMenu& menu, platform::TRecordingPlatform& recorder);

  std::unique_ptr<THttpClient> fHttp;
  std::unique_ptr<TOnlineBoard> fBoard;
  // A run's name entry was confirmed in this frame.
  bool fRunToSend = false;
};
