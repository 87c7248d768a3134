// OnlineBoard.cpp -- sending runs, following their verdict, fetching boards.
#include "menu/OnlineBoard.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

#include "platform/Browser.h"
#include "platform/Cp1252.h"
#include "platform/FileNames.h"
#include "services/Http.h"
#include "services/IniFile.h"
#include "services/Json.h"
#include "services/Language.h"
#include "services/Text.h"

namespace {

// Each challenge request that failed waits this long before the next,
// unless the server said when.
constexpr double kChallengeRetryMs = 5 * 1000, kChallengeRefusedRetryMs = 60 * 1000;

std::string UrlEncode(const std::string& text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' || c == '~') {
      out += ch;
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

// The server's refusals by their code, in English. A German player reads
// the server's own text; an English one reads this, or the server's text
// for a code the game does not know.
constexpr struct {
  std::string_view Code, English;
} kServerErrors[] = {
    {"rate_limited", "too many requests, please try again later"},
    {"not_found", "no such address on the server"},
    {"too_large", "the recording is too large"},
    {"bad_request", "the request is malformed"},
    {"unavailable", "the server cannot handle the request right now"},
    {"missing_stage", "the stage is missing from the request"},
    {"bad_stage", "the stage is not a SHA-256 checksum (64 hex digits)"},
    {"bad_difficulty", "the difficulty is Leicht, Normal or Schwer"},
    // A run's refusal for its challenge, its clock or its play.
    {"no_challenge", "not for the leaderboard: played without a challenge"},
    {"challenge_foreign", "the challenge is not from this server or was changed"},
    {"challenge_other_stage", "the challenge is for another stage"},
    {"challenge_other_difficulty", "the challenge is for another difficulty"},
    {"challenge_other_seed", "the run does not fly its challenge's seed"},
    {"challenge_future", "the challenge was issued in the future"},
    {"challenge_expired", "the challenge has expired"},
    {"clock_slow", "the recording's clock runs slow"},
    {"challenge_used", "the challenge was already used"},
    {"already_listed", "this play is already on the board"},
    {"unknown_stage", "the server does not know this stage"},
    {"bad_content_type", "the recording must be sent as application/octet-stream"},
    {"empty", "the recording is empty"},
    {"bad_id", "the run's number is invalid"},
    {"unknown_run", "the server does not know this run"},
    {"bad_limit", "the board's limit is out of range"},
};

// The game's English for a code of the server's; none for another code or
// in German.
std::optional<std::string> EnglishFor(const std::string& code) {
  if (Language() != TLanguage::English) return std::nullopt;
  for (const auto& known : kServerErrors) {
    if (known.Code == code) return std::string(known.English);
  }
  return std::nullopt;
}

// The server's words for a refusal ({"error":code,"message":text}), else
// its status.
std::string ErrorText(const THttpResponse& response) {
  if (response.Status == 0) return std::string(Tr(response.Error));
  if (const std::optional<TJsonValue> answer = ParseJson(response.Body)) {
    const std::string code = answer->Text("error");
    if (std::optional<std::string> english = EnglishFor(code)) return *english;
    const std::string message = answer->Text("message", code);
    if (!message.empty()) return platform::Utf8ToCp1252(message);
  }
  return FillText("Server antwortet mit Status %1", {std::to_string(response.Status)});
}

// A whole number of the server's answer in [low, high]: `fallback` when the
// key is missing or not a number; none when it is out of range (or
// infinite), which makes the answer malformed.
std::optional<int64_t> WholeNumber(const TJsonValue& object, std::string_view key, int64_t fallback, int64_t low,
                                   int64_t high) {
  const TJsonValue* member = object.Find(key);
  if (!member || member->Kind != TJsonValue::TKind::Number) return fallback;
  const double value = member->Number;
  // The bounds are far inside double's exact integers; NaN fails both tests.
  if (!(value >= static_cast<double>(low) && value <= static_cast<double>(high))) return std::nullopt;
  return static_cast<int64_t>(value);
}

// The widest score the game takes from the server (exact in a double), and
// the bounds of ranks and lives (int32_t).
constexpr int64_t kMaxScore = int64_t{1} << 52;
constexpr int64_t kMaxSmall = std::numeric_limits<int32_t>::max();

}  // namespace

TOnlineSettings ReadOnlineSettings(const TIniFile& settings) {
  TOnlineSettings online;
  online.Enabled = settings.ReadInteger(kOnlineSection, "enabled", 0) != 0;
  online.Server = std::string(TrimBlanks(settings.ReadString(kOnlineSection, "server", kDefaultOnlineServer)));
  return online;
}

std::string OnlineServerProblem(const std::string& server) {
  const std::size_t scheme = server.find("://");
  const std::string name = scheme == std::string::npos ? "" : server.substr(0, scheme);
  if ((name != "http" && name != "https") || server.size() == scheme + 3 || server[scheme + 3] == '/' ||
      server.find_first_of(" \t\"<>\\") != std::string::npos)
    return FillText("Serveradresse '%1' ung\xFCltig, erwartet wird http://HOST:PORT", {server});
  return {};
}

TOnlineBoard::TOnlineBoard(THttpClient& http, const std::string& server)
    : fHttp(http), fServer(server), fServerUsable(OnlineServerProblem(server).empty()) {
  while (!fServer.empty() && fServer.back() == '/') fServer.pop_back();
}

void TOnlineBoard::SetNote(std::string_view german, std::initializer_list<std::string_view> values) {
  fNote = FillText(german, values);
  fNoteLeftMs = kNoteShownMs;
}

void TOnlineBoard::NoteShown(float elapsedMs) {
  if (fNote.empty()) return;
  fNoteLeftMs -= elapsedMs;
  if (fNoteLeftMs <= 0) fNote.clear();
}

bool TOnlineBoard::Busy() const {
  const bool sendingNow = fNowMs >= fSendAfterMs && fNowMs >= fQuietUntilMs;
  return std::any_of(fRuns.begin(), fRuns.end(), [&](const TRun& run) {
    return run.State != TRun::TState::Idle || (sendingNow && !run.Parked);
  });
}

void TOnlineBoard::Forget(const TRun& run) {
  if (run.File.empty()) return;
  std::error_code ignored;
  std::filesystem::remove(platform::FsPath(run.File), ignored);
  platform::PersistSavedFiles();
}

double TOnlineBoard::Backoff(int failures) {
  double wait = kRetryFirstMs;
  for (int i = 1; i < failures && wait < kRetryMostMs; ++i) wait *= 2;
  return std::min(wait, kRetryMostMs);
}

bool TOnlineBoard::HoldBack(const THttpResponse& response) {
  if ((response.Status != 429 && response.Status != 503) || response.RetryAfterSeconds < 0) return false;
  fQuietUntilMs = std::max(fQuietUntilMs, fNowMs + 1000.0 * response.RetryAfterSeconds);
  return true;
}

void TOnlineBoard::Submit(std::string recording, const std::string& stage, const std::string& stageHash, std::string file) {
  TRun run;
  run.Recording = std::move(recording);
  run.Stage = stage;
  run.StageHash = stageHash;
  run.File = std::move(file);
  if (const std::string problem = OnlineServerProblem(fServer); !problem.empty()) {
    SetNote(kNoteNotSent, {problem});
    Forget(run);
    return;
  }
  if (run.Recording.size() > kMaxUploadBytes) {
    SetNote("Online-Bestenliste: Aufnahme zu gro\xDF (%1 KB, h\xF6" "chstens %2 KB), der Lauf wurde nicht gesendet",
            {std::to_string(run.Recording.size() / 1024), std::to_string(kMaxUploadBytes / 1024)});
    Forget(run);
    return;
  }
  Enqueue(std::move(run));
  SetNote("Online-Bestenliste: Lauf wird gesendet ...");
  // A fresh run goes out at once unless the server asked for quiet.
  fSendAfterMs = std::min(fSendAfterMs, fNowMs);
}

void TOnlineBoard::Resume(std::string recording, const std::string& stage, const std::string& stageHash, std::string file) {
  TRun run;
  run.Recording = std::move(recording);
  run.Stage = stage;
  run.StageHash = stageHash;
  run.File = std::move(file);
  if (!fServerUsable || run.Recording.size() > kMaxUploadBytes) {
    Forget(run);
    return;
  }
  Enqueue(std::move(run));
}

void TOnlineBoard::Enqueue(TRun run) {
  fRuns.push_back(std::move(run));
  while (fRuns.size() > kQueueLimit) {
    // The oldest not in flight; one in flight ends on its own.
    const auto oldest = std::find_if(fRuns.begin(), fRuns.end(), [](const TRun& queued) {
      return queued.State == TRun::TState::Idle || queued.State == TRun::TState::Waiting;
    });
    if (oldest == fRuns.end()) break;
    std::fprintf(stderr, "%s\n",
                 platform::Cp1252ToUtf8(FillText("Online-Bestenliste: mehr als %1 L\xE4" "ufe warten, der \xE4lteste (%2) wird verworfen",
                                                 {std::to_string(kQueueLimit), oldest->File.empty() ? oldest->Stage : oldest->File}))
                     .c_str());
    Forget(*oldest);
    fRuns.erase(oldest);
  }
}

void TOnlineBoard::Post(TRun& run) {
  THttpRequest request;
  request.Method = "POST";
  request.Url = fServer + "/api/runs?stage=" + UrlEncode(run.StageHash);
  request.Body = run.Recording;
  run.Request = fHttp.Start(request);
  run.State = TRun::TState::Posting;
}

bool TOnlineBoard::Answered(TRun& run, const THttpResponse& response) {
  if (run.State == TRun::TState::Posting) {
    const std::optional<TJsonValue> answer = ParseJson(response.Body);
    const std::string id = answer ? answer->Text("id") : std::string();
    if (response.Status == 202 && !id.empty()) {
      fSendFailures = 0;
      run.Id = id;
      run.State = TRun::TState::Waiting;
      run.SentMs = fNowMs;
      run.NextPollMs = fNowMs + kPollIntervalMs;
      SetNote("Online-Bestenliste: Lauf gesendet, der Server pr\xFC" "ft ihn ...");
      return true;
    }
    if (response.Status == 0 || response.Status == 429 || response.Status >= 500) {
      // Kept, and sent again later: the server's wait or a growing one.
      run.State = TRun::TState::Idle;
      fSendAfterMs = fNowMs + (HoldBack(response) ? 0 : Backoff(++fSendFailures));
      SetNote("Online-Bestenliste: %1, der Lauf wird sp\xE4ter gesendet", {ErrorText(response)});
      return true;
    }
    fSendFailures = 0;
    SetNote("Online-Bestenliste: abgelehnt (%1)", {ErrorText(response)});
    return false;
  }

  // A poll's answer.
  run.State = TRun::TState::Waiting;
  run.NextPollMs = fNowMs + kPollIntervalMs;
  if (HoldBack(response)) return true;
  if (response.Status == 0 || response.Status >= 500 || response.Status == 429) {
    // The verdict comes later; the run is with the server.
    run.NextPollMs = fNowMs + Backoff(++run.PollFailures);
    return true;
  }
  run.PollFailures = 0;
  const std::optional<TJsonValue> answer = ParseJson(response.Body);
  const std::string status = answer ? answer->Text("status") : std::string();
  if (response.Status != 200 || !answer) {
    // The server lost the run (or never knew it): sent again.
    run.State = TRun::TState::Idle;
    fSendAfterMs = std::max(fSendAfterMs, fNowMs + Backoff(++fSendFailures));
    return true;
  }
  if (status == "verified") {
    const std::optional<int64_t> score = WholeNumber(*answer, "score", 0, -kMaxScore, kMaxScore);
    if (!score) {
      SetNote("Online-Bestenliste: Lauf nicht mehr abrufbar (%1)", {Tr("unlesbare Antwort des Servers")});
      return false;
    }
    SetNote("Online-Bestenliste: angenommen: %1 mit %2 Punkten",
            {platform::Utf8ToCp1252(answer->Text("name")), std::to_string(*score)});
    // The next look fetches the lists with it.
    std::erase_if(fBoards, [&](const auto& slot) { return slot.first.first == run.Stage; });
    return false;
  }
  if (status == "refused") {
    const std::string reason = EnglishFor(answer->Text("code")).value_or(platform::Utf8ToCp1252(answer->Text("reason")));
    if (reason.empty()) {
      SetNote("Online-Bestenliste: abgelehnt");
    } else {
      SetNote("Online-Bestenliste: abgelehnt (%1)", {reason});
    }
    return false;
  }
  if (fNowMs - run.SentMs > kPollGiveUpMs) {
    // Sent again at the next start: the server knows it by its content.
    SetNote("Online-Bestenliste: der Server hat den Lauf nicht rechtzeitig gepr\xFC" "ft");
    run.State = TRun::TState::Idle;
    run.Parked = true;
  }
  return true;
}

void TOnlineBoard::Update(double nowMs) {
  fNowMs = nowMs;
  const bool quiet = nowMs < fQuietUntilMs;
  bool posting = false;
  for (std::size_t i = 0; i < fRuns.size();) {
    TRun& run = fRuns[i];
    bool going = true;
    if (run.State == TRun::TState::Posting || run.State == TRun::TState::Polling) {
      if (const std::optional<THttpResponse> response = fHttp.Take(run.Request)) going = Answered(run, *response);
    } else if (run.State == TRun::TState::Waiting && nowMs >= run.NextPollMs && !quiet) {
      THttpRequest request;
      request.Url = fServer + "/api/runs/" + UrlEncode(run.Id);
      run.Request = fHttp.Start(request);
      run.State = TRun::TState::Polling;
    }
    if (going) {
      posting = posting || run.State == TRun::TState::Posting;
      ++i;
    } else {
      Forget(run);
      fRuns.erase(fRuns.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
  // One run on its way at a time, the oldest first.
  if (!posting && nowMs >= fSendAfterMs && nowMs >= fQuietUntilMs) {
    const auto next = std::find_if(fRuns.begin(), fRuns.end(),
                                   [](const TRun& run) { return run.State == TRun::TState::Idle && !run.Parked; });
    if (next != fRuns.end()) Post(*next);
  }
  UpdateChallenges(nowMs);
  UpdateBoards(nowMs);
}

void TOnlineBoard::WantChallenge(const std::string& stage, const std::string& stageHash, const std::string& difficulty) {
  TChallengeSlot& slot = fChallenges[{stage, difficulty}];
  if (slot.StageHash != stageHash) slot.Token.clear();  // the stage file changed
  slot.StageHash = stageHash;
  slot.Difficulty = difficulty;
  slot.WantedMs = fNowMs;
}

std::optional<std::string> TOnlineBoard::TakeChallenge(const std::string& stage, const std::string& difficulty, double nowMs) {
  const auto found = fChallenges.find({stage, difficulty});
  if (found == fChallenges.end() || found->second.Token.empty()) return std::nullopt;
  TChallengeSlot& slot = found->second;
  std::string token = std::exchange(slot.Token, std::string());
  if (nowMs - slot.TokenMs > kChallengeMaxAgeMs) return std::nullopt;
  return token;
}

void TOnlineBoard::UpdateChallenges(double nowMs) {
  for (auto& [key, slot] : fChallenges) {
    if (slot.Request != 0) {
      const std::optional<THttpResponse> response = fHttp.Take(slot.Request);
      if (!response) continue;
      slot.Request = 0;
      const std::optional<TJsonValue> answer = ParseJson(response->Body);
      const std::string token = answer ? answer->Text("challenge") : std::string();
      if (response->Status == 201 && !token.empty()) {
        slot.Token = token;
        slot.TokenMs = slot.StartedMs;
      } else if (!HoldBack(*response)) {
        // A refusal (a stage the server does not have) stands longer than
        // a server away.
        const bool refused = response->Status >= 400 && response->Status < 500 && response->Status != 429;
        slot.NextTryMs = nowMs + (refused ? kChallengeRefusedRetryMs : kChallengeRetryMs);
      }
    }
    if (!slot.Token.empty() && nowMs - slot.TokenMs > kChallengeMaxAgeMs) slot.Token.clear();
    const bool wanted = nowMs - slot.WantedMs <= kChallengeWantedMs;
    const bool due = slot.Token.empty() || nowMs - slot.TokenMs >= kChallengeRefreshMs;
    if (!wanted || !due || !fServerUsable || nowMs < slot.NextTryMs || nowMs < fQuietUntilMs) continue;
    THttpRequest request;
    request.Method = "POST";
    request.Url = fServer + "/api/challenges?stage=" + UrlEncode(slot.StageHash) + "&difficulty=" + UrlEncode(slot.Difficulty);
    slot.Request = fHttp.Start(request);
    slot.StartedMs = nowMs;
  }
}

void TOnlineBoard::UpdateBoards(double nowMs) {
  for (auto& [stage, slot] : fBoards) {
    if (slot.Request == 0) continue;
    const std::optional<THttpResponse> response = fHttp.Take(slot.Request);
    if (!response) continue;
    slot.Request = 0;
    slot.FetchedMs = nowMs;
    const std::optional<TJsonValue> answer = ParseJson(response->Body);
    const TJsonValue* entries = answer ? answer->Find("entries") : nullptr;
    if (response->Status != 200 || !entries || entries->Kind != TJsonValue::TKind::Array) {
      slot.View.State = TOnlineBoardView::TState::Failed;
      slot.View.Error = response->Status == 200 ? std::string(Tr("unlesbare Antwort des Servers")) : ErrorText(*response);
      slot.View.Entries.clear();
      continue;
    }
    std::vector<TOnlineEntry> list;
    bool malformed = false;
    for (const TJsonValue& item : entries->Array) {
      if (item.Kind != TJsonValue::TKind::Object) continue;
      const auto rank = WholeNumber(item, "rank", static_cast<int64_t>(list.size() + 1), 1, kMaxSmall);
      const auto score = WholeNumber(item, "score", 0, -kMaxScore, kMaxScore);
      const auto life = WholeNumber(item, "life", 0, -kMaxSmall, kMaxSmall);
      const double time = item.NumberOr("time", 0);
      if (!rank || !score || !life || !std::isfinite(time)) {
        malformed = true;
        break;
      }
      TOnlineEntry entry;
      entry.Rank = static_cast<int32_t>(*rank);
      entry.Name = platform::Utf8ToCp1252(item.Text("name"));
      entry.Score = *score;
      entry.Life = static_cast<int32_t>(*life);
      entry.Time = time;
      entry.Difficulty = platform::Utf8ToCp1252(item.Text("difficulty"));
      list.push_back(std::move(entry));
      if (list.size() == 10) break;
    }
    if (malformed) {
      slot.View.State = TOnlineBoardView::TState::Failed;
      slot.View.Error = std::string(Tr("unlesbare Antwort des Servers"));
      slot.View.Entries.clear();
      continue;
    }
    slot.View.State = TOnlineBoardView::TState::Ready;
    slot.View.Entries = std::move(list);
  }
}

const TOnlineBoardView& TOnlineBoard::Board(const std::string& stage, const std::string& difficulty) {
  const auto [found, fresh] = fBoards.try_emplace({stage, difficulty});
  TBoardSlot& slot = found->second;
  const bool stale = !fresh && slot.Request == 0 && fNowMs - slot.FetchedMs > kBoardMaxAgeMs;
  if (fresh || stale) {
    if (const std::string problem = OnlineServerProblem(fServer); !problem.empty()) {
      slot.View.State = TOnlineBoardView::TState::Failed;
      slot.View.Error = problem;
      slot.FetchedMs = fNowMs;
      return slot.View;
    }
    THttpRequest request;
    request.Url = fServer + "/api/boards/" + UrlEncode(stage) + "?difficulty=" + UrlEncode(difficulty) + "&limit=10";
    slot.Request = fHttp.Start(request);
    // An old list stays on screen until the new one is there.
    if (fresh) slot.View.State = TOnlineBoardView::TState::Loading;
  }
  return slot.View;
}
