// OnlineBoard.cpp -- sending runs, following their verdict, fetching boards.
#include "menu/OnlineBoard.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "platform/Cp1252.h"
#include "services/Http.h"
#include "services/IniFile.h"
#include "services/Json.h"
#include "services/Language.h"
#include "services/Text.h"

namespace {

constexpr int kPollFailuresAllowed = 3;

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
    {"bad_stage", "the stage is not a 16-digit checksum"},
    {"unknown_stage", "the server does not know this stage"},
    {"bad_content_type", "the recording must be sent as application/octet-stream"},
    {"empty", "the recording is empty"},
    {"bad_id", "the run's number is invalid"},
    {"unknown_run", "the server does not know this run"},
    {"bad_limit", "the board's limit is out of range"},
};

// The server's words for a refusal ({"error":code,"message":text}), else
// its status.
std::string ErrorText(const THttpResponse& response) {
  if (response.Status == 0) return std::string(Tr(response.Error));
  if (const std::optional<TJsonValue> answer = ParseJson(response.Body)) {
    const std::string code = answer->Text("error");
    if (Language() == TLanguage::English) {
      for (const auto& known : kServerErrors) {
        if (known.Code == code) return std::string(known.English);
      }
    }
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

TOnlineBoard::TOnlineBoard(THttpClient& http, const std::string& server) : fHttp(http), fServer(server) {
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

void TOnlineBoard::Submit(std::string recording, const std::string& stage, const std::string& stageHash) {
  if (const std::string problem = OnlineServerProblem(fServer); !problem.empty()) {
    SetNote(kNoteNotSent, {problem});
    return;
  }
  if (recording.size() > kMaxUploadBytes) {
    SetNote("Online-Bestenliste: Aufnahme zu gro\xDF (%1 KB, h\xF6" "chstens %2 KB), der Lauf wurde nicht gesendet",
            {std::to_string(recording.size() / 1024), std::to_string(kMaxUploadBytes / 1024)});
    return;
  }
  THttpRequest request;
  request.Method = "POST";
  request.Url = fServer + "/api/runs?stage=" + UrlEncode(stageHash);
  request.Body = std::move(recording);
  TRun run;
  run.Stage = stage;
  run.Request = fHttp.Start(request);
  fRuns.push_back(std::move(run));
  SetNote("Online-Bestenliste: Lauf wird gesendet ...");
}

bool TOnlineBoard::Answered(TRun& run, const THttpResponse& response) {
  if (run.State == TRun::TState::Posting) {
    const std::optional<TJsonValue> answer = ParseJson(response.Body);
    const std::string id = answer ? answer->Text("id") : std::string();
    if (response.Status == 202 && !id.empty()) {
      run.Id = id;
      run.State = TRun::TState::Waiting;
      run.SentMs = fNowMs;
      run.NextPollMs = fNowMs + kPollIntervalMs;
      SetNote("Online-Bestenliste: Lauf gesendet, der Server pr\xFC" "ft ihn ...");
      return true;
    }
    if (response.Status == 0) {
      SetNote("Online-Bestenliste: %1, der Lauf wurde nicht gewertet", {Tr(response.Error)});
    } else {
      SetNote("Online-Bestenliste: abgelehnt (%1)", {ErrorText(response)});
    }
    return false;
  }

  // A poll's answer.
  run.State = TRun::TState::Waiting;
  run.NextPollMs = fNowMs + kPollIntervalMs;
  if (response.Status == 0 || response.Status >= 500) {
    if (++run.Failures < kPollFailuresAllowed) return true;
    SetNote("Online-Bestenliste: keine Antwort mehr vom Server (%1), das Ergebnis ist unbekannt", {ErrorText(response)});
    return false;
  }
  run.Failures = 0;
  const std::optional<TJsonValue> answer = ParseJson(response.Body);
  const std::string status = answer ? answer->Text("status") : std::string();
  if (response.Status != 200 || !answer) {
    SetNote("Online-Bestenliste: Lauf nicht mehr abrufbar (%1)", {ErrorText(response)});
    return false;
  }
  if (status == "verified") {
    const std::optional<int64_t> score = WholeNumber(*answer, "score", 0, -kMaxScore, kMaxScore);
    if (!score) {
      SetNote("Online-Bestenliste: Lauf nicht mehr abrufbar (%1)", {Tr("unlesbare Antwort des Servers")});
      return false;
    }
    SetNote("Online-Bestenliste: angenommen: %1 mit %2 Punkten",
            {platform::Utf8ToCp1252(answer->Text("name")), std::to_string(*score)});
    fBoards.erase(run.Stage);  // the next look fetches the list with it
    return false;
  }
  if (status == "refused") {
    const std::string reason = platform::Utf8ToCp1252(answer->Text("reason"));
    if (reason.empty()) {
      SetNote("Online-Bestenliste: abgelehnt");
    } else {
      SetNote("Online-Bestenliste: abgelehnt (%1)", {reason});
    }
    return false;
  }
  if (fNowMs - run.SentMs > kPollGiveUpMs) {
    SetNote("Online-Bestenliste: der Server hat den Lauf nicht rechtzeitig gepr\xFC" "ft");
    return false;
  }
  return true;
}

void TOnlineBoard::Update(double nowMs) {
  fNowMs = nowMs;
  for (std::size_t i = 0; i < fRuns.size();) {
    TRun& run = fRuns[i];
    bool going = true;
    if (run.State != TRun::TState::Waiting) {
      if (const std::optional<THttpResponse> response = fHttp.Take(run.Request)) going = Answered(run, *response);
    } else if (nowMs >= run.NextPollMs) {
      THttpRequest request;
      request.Url = fServer + "/api/runs/" + UrlEncode(run.Id);
      run.Request = fHttp.Start(request);
      run.State = TRun::TState::Polling;
    }
    if (going) {
      ++i;
    } else {
      fRuns.erase(fRuns.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }

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

const TOnlineBoardView& TOnlineBoard::Board(const std::string& stage) {
  const auto [found, fresh] = fBoards.try_emplace(stage);
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
    request.Url = fServer + "/api/boards/" + UrlEncode(stage) + "?limit=10";
    slot.Request = fHttp.Start(request);
    // An old list stays on screen until the new one is there.
    if (fresh) slot.View.State = TOnlineBoardView::TState::Loading;
  }
  return slot.View;
}
