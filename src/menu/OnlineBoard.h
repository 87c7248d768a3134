// OnlineBoard.h -- the game's side of the online leaderboard: sending a
// finished run's recording for the server to replay, asking until it is
// verified or refused, and fetching a stage's online top ten. Nothing here
// waits: requests go through THttpClient, answers are taken in Update.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <map>
#include <string>
#include <vector>

class THttpClient;
struct THttpResponse;
class TIniFile;

// settings.ini [online]: enabled=0|1, server=http://HOST:PORT.
inline constexpr const char* kOnlineSection = "online";
inline constexpr const char* kDefaultOnlineServer = "http://127.0.0.1:8080";
struct TOnlineSettings {
  bool Enabled = false;
  std::string Server = kDefaultOnlineServer;
};
[[nodiscard]] TOnlineSettings ReadOnlineSettings(const TIniFile& settings);
// Whether `server` is an address the game can talk to (http:// or https://
// and a host); the German reason when not.
[[nodiscard]] std::string OnlineServerProblem(const std::string& server);

// The note for a run that was not sent: %1 says why.
inline constexpr const char* kNoteNotSent = "Online-Bestenliste: %1, der Lauf wurde nicht gesendet";

// The server takes recordings up to this size.
inline constexpr std::size_t kMaxUploadBytes = 2 * 1024 * 1024;
// How often a sent run's state is asked for, and for how long in all.
inline constexpr double kPollIntervalMs = 1000;
inline constexpr double kPollGiveUpMs = 10 * 60 * 1000;
// A board is fetched again after this long.
inline constexpr double kBoardMaxAgeMs = 30 * 1000;
// How long a message shows in the menu, counted while the menu is shown.
inline constexpr float kNoteShownMs = 10 * 1000;

struct TOnlineEntry {
  int32_t Rank = 0;
  std::string Name;  // Windows-1252, as the game shows texts
  int64_t Score = 0;
  int32_t Life = 0;
  double Time = 0;  // seconds
  std::string Difficulty;
};

struct TOnlineBoardView {
  enum class TState { Loading, Ready, Failed } State = TState::Loading;
  std::vector<TOnlineEntry> Entries;  // best first
  std::string Error;                  // Failed: why, in German
};

class TOnlineBoard {
 public:
  // `server` is the address as settings.ini has it (a trailing / is
  // dropped). The client must outlive the board.
  TOnlineBoard(THttpClient& http, const std::string& server);

  // Sends a run: the replay file's bytes, the stage's name (Level01) and its
  // StageHashText. The outcome comes as notes.
  void Submit(std::string recording, const std::string& stage, const std::string& stageHash);
  // Takes the answers that came and starts what is due. `nowMs`: any steady
  // clock in milliseconds (never the game's recorded one).
  void Update(double nowMs);

  // The stage's online list as far as known; asks the server for it when it
  // has not been asked yet or its answer is older than kBoardMaxAgeMs.
  const TOnlineBoardView& Board(const std::string& stage);

  // The latest message about a sent run ("Online-Bestenliste: ..."),
  // Windows-1252; empty once it was shown for kNoteShownMs.
  [[nodiscard]] const std::string& Note() const { return fNote; }
  // Shows `german` (Windows-1252, "%1", "%2" filled with `values`) in the
  // player's language as the latest note.
  void SetNote(std::string_view german, std::initializer_list<std::string_view> values = {});
  // The menu showed the note for `elapsedMs` more.
  void NoteShown(float elapsedMs);
  // Whether a sent run still waits for its verdict.
  [[nodiscard]] bool Busy() const { return !fRuns.empty(); }

 private:
  struct TRun {
    enum class TState { Posting, Waiting, Polling } State = TState::Posting;
    std::string Stage, Id;
    uint64_t Request = 0;
    double SentMs = -1, NextPollMs = 0;
    int Failures = 0;
  };
  struct TBoardSlot {
    TOnlineBoardView View;
    uint64_t Request = 0;  // 0: none in flight
    double FetchedMs = 0;
  };

  // One answer to a run's request; false when the run is over.
  bool Answered(TRun& run, const THttpResponse& response);

  THttpClient& fHttp;
  std::string fServer;
  std::vector<TRun> fRuns;
  std::map<std::string, TBoardSlot> fBoards;
  std::string fNote;
  float fNoteLeftMs = 0;
  double fNowMs = 0;
};
