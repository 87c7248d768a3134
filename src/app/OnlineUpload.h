// OnlineUpload.h -- a played session's side of the online leaderboard: the
// board's answers taken each frame, the server's challenges kept ready for
// the stages about to start, and a stage's run whose name entry was
// confirmed kept in the player's folder and sent as the stage's own
// recording (TStageRuns) until the server gives its verdict.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

class THttpClient;
class TOnlineBoard;
class TMainMenu;
class TStageRuns;

// The runs that wait for the server, one replay file each, in the player's
// folder (an installed game's; the page keeps it in IndexedDB).
inline constexpr const char* kOnlineQueueFolder = "online-queue";

// Hands the board the runs an earlier start left in `folder` (oldest
// first); a file that is no run of a stage is removed with a line on
// stderr.
void ResumeQueuedRuns(TOnlineBoard& board, const std::string& folder);
// Writes `recording` (a stage's run) as a new file of `folder`, named so
// that names sort by age; returns its path. Throws on failure.
std::string QueueRunFile(const std::string& folder, const std::string& recording, const std::string& stage);

class TOnlineUpload {
 public:
  // Talks to `server` through the system's HTTP client; keeps runs in
  // `queueFolder` (none: in memory only) and sends what it already holds.
  TOnlineUpload(const std::string& server, const std::string& queueFolder);
  ~TOnlineUpload();
  TOnlineUpload(const TOnlineUpload&) = delete;
  TOnlineUpload& operator=(const TOnlineUpload&) = delete;

  // Hands the board to the menu.
  void Attach(TMainMenu& menu);
  // The stage `fileName` starts now: its ready challenge (taken), or none,
  // in which case the finish screen says the run is not for the board.
  std::optional<std::string> ChallengeFor(TMainMenu& menu, const std::string& fileName);
  // The stage's name entry was confirmed in this frame.
  void NameConfirmed() { fRunToSend = true; }
  // At the end of each frame, after `stages` took it: keeps challenges ready
  // for the stage under the stage page's cursor, or the stage in flight and
  // the one after it; takes the answers that came and, when a name entry
  // was confirmed in the frame (and the player has the board on), keeps and
  // sends the stage's run that ended with it, named runs with a challenge
  // only, under the SHA-256 of its stage.
  void FrameDone(TMainMenu& menu, const TStageRuns& stages);

 private:
  void SendRun(const TStageRuns& stages);
  void WantChallenges(TMainMenu& menu);
  // The stage file's SHA-256, read once; empty when it cannot be read.
  const std::string& StageHashOf(TMainMenu& menu, const std::string& fileName);

  std::unique_ptr<THttpClient> fHttp;
  std::unique_ptr<TOnlineBoard> fBoard;
  std::string fQueueFolder;
  std::map<std::string, std::string> fStageHashes;
  // A run's name entry was confirmed in this frame.
  bool fRunToSend = false;
};
