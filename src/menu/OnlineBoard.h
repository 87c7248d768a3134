// OnlineBoard.h -- the game's side of the online leaderboard: sending a
// finished run's recording for the server to replay (again and again until
// the server gives its verdict), asking until it is verified or refused,
// keeping the server's challenges ready for the stages about to start, and
// fetching a stage's online top ten. Nothing here
// waits: requests go through THttpClient, answers are taken in Update.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <map>
#include <optional>
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
// A stage's challenge is asked for again once the one at hand is this old,
// and one older than kChallengeMaxAgeMs never starts a stage (the server
// takes one for a while longer: the rest is the start's slack). Ages count
// from the request's start on the game's own steady clock.
inline constexpr double kChallengeRefreshMs = 20 * 1000;
inline constexpr double kChallengeMaxAgeMs = 30 * 1000;
// A stage no longer asked for (WantChallenge) gets no new challenge after
// this long.
inline constexpr double kChallengeWantedMs = 1000;
// Runs waiting to be sent, at most; the oldest goes first.
inline constexpr std::size_t kQueueLimit = 50;
// After a failed request (no answer, 5xx, 429 without Retry-After) the next
// try waits this long, doubled with each failure in a row up to the most.
inline constexpr double kRetryFirstMs = 5 * 1000;
inline constexpr double kRetryMostMs = 5 * 60 * 1000;
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

  // Sends a run: the replay file's bytes, the stage's name (Level01) and the
  // SHA-256 of its stage. `file`, when not empty, holds the run on disk
  // until the server's verdict and is removed then. The run waits and is
  // sent again after no answer, a 429 or a 5xx; the outcome comes as notes.
  void Submit(std::string recording, const std::string& stage, const std::string& stageHash, std::string file = {});
  // A run kept on disk by an earlier start: sent like Submit's, quietly.
  void Resume(std::string recording, const std::string& stage, const std::string& stageHash, std::string file);
  // Takes the answers that came and starts what is due. `nowMs`: any steady
  // clock in milliseconds (never the game's recorded one).
  void Update(double nowMs);

  // The stage's online list of `difficulty` (Leicht, Normal, Schwer) as far
  // as known; asks the server for it when it has not been asked yet or its
  // answer is older than kBoardMaxAgeMs.
  const TOnlineBoardView& Board(const std::string& stage, const std::string& difficulty);

  // A stage (plain file name) may start soon on `difficulty`: a challenge
  // for it is kept ready (fetched when missing or aging, one request per
  // stage at a time). Asked each frame while it holds.
  void WantChallenge(const std::string& stage, const std::string& stageHash, const std::string& difficulty);
  // The stage's ready challenge, taken: each starts one stage only. None
  // when there is none younger than kChallengeMaxAgeMs at `nowMs`.
  [[nodiscard]] std::optional<std::string> TakeChallenge(const std::string& stage, const std::string& difficulty,
                                                         double nowMs);

  // The latest message about a sent run ("Online-Bestenliste: ..."),
  // Windows-1252; empty once it was shown for kNoteShownMs.
  [[nodiscard]] const std::string& Note() const { return fNote; }
  // Shows `german` (Windows-1252, "%1", "%2" filled with `values`) in the
  // player's language as the latest note.
  void SetNote(std::string_view german, std::initializer_list<std::string_view> values = {});
  // The menu showed the note for `elapsedMs` more.
  void NoteShown(float elapsedMs);
  // Whether a run is being sent or its verdict followed, or goes out at the
  // next Update (not a run waiting for its next try).
  [[nodiscard]] bool Busy() const;
  // The runs without a verdict yet, sent or waiting to be.
  [[nodiscard]] std::size_t Waiting() const { return fRuns.size(); }

 private:
  struct TRun {
    // Idle: waits to be sent (Parked: not before the next start).
    enum class TState { Idle, Posting, Waiting, Polling } State = TState::Idle;
    std::string Recording, Stage, StageHash, File, Id;
    uint64_t Request = 0;
    double SentMs = -1, NextPollMs = 0;
    int PollFailures = 0;
    bool Parked = false;
  };
  struct TChallengeSlot {
    std::string StageHash, Difficulty, Token;
    double TokenMs = 0;    // when the request that brought Token started
    double StartedMs = 0;  // when the request in flight started
    double WantedMs = -1e300, NextTryMs = 0;
    uint64_t Request = 0;
  };
  struct TBoardSlot {
    TOnlineBoardView View;
    uint64_t Request = 0;  // 0: none in flight
    double FetchedMs = 0;
  };

  void Enqueue(TRun run);
  // One answer to a run's request; false when the run is over.
  bool Answered(TRun& run, const THttpResponse& response);
  // The run's file is gone with it.
  static void Forget(const TRun& run);
  void Post(TRun& run);
  void UpdateChallenges(double nowMs);
  void UpdateBoards(double nowMs);
  // A 429's or 503's Retry-After holds every request back; true when the
  // answer had one.
  bool HoldBack(const THttpResponse& response);
  // The wait before the next try after `failures` failures in a row.
  static double Backoff(int failures);

  THttpClient& fHttp;
  std::string fServer;
  bool fServerUsable;
  std::vector<TRun> fRuns;  // oldest first
  std::map<std::pair<std::string, std::string>, TBoardSlot> fBoards;  // stage, difficulty
  std::map<std::pair<std::string, std::string>, TChallengeSlot> fChallenges;
  // No request before this (Retry-After), no run sent before fSendAfterMs.
  double fQuietUntilMs = 0, fSendAfterMs = 0;
  int fSendFailures = 0;
  std::string fNote;
  float fNoteLeftMs = 0;
  double fNowMs = 0;
};
