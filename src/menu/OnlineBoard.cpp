// OnlineBoard.cpp -- sending runs, following their verdict, fetching boards.
#include "menu/OnlineBoard.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "platform/Cp1252.h"
#include "services/Http.h"
#include "services/IniFile.h"
#include "services/Json.h"
#include "services/Language.h"
#include "stage/InputTexts.h"

namespace {

constexpr int kPollFailuresAllowed = 3;

// The server speaks UTF-8; the game's texts are Windows-1252. Broken
// sequences become '?'.
std::string Utf8ToCp1252(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
    if (extra < 0 || i + static_cast<std::size_t>(extra) >= text.size() + (extra == 0 ? 1 : 0)) {
      out += '?';
      ++i;
      continue;
    }
    char32_t code = extra == 0 ? c : c & (0x3F >> extra);
    bool broken = false;
    for (int k = 1; k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
      if ((next & 0xC0) != 0x80) broken = true;
      code = (code << 6) | (next & 0x3F);
    }
    if (broken) {
      out += '?';
      ++i;
      continue;
    }
    out += platform::Cp1252FromCodePoint(code);
    i += static_cast<std::size_t>(extra) + 1;
  }
  return out;
}

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

// The server's own words for a refusal, else its status.
std::string ErrorText(const THttpResponse& response) {
  if (response.Status == 0) return std::string(Tr(response.Error));
  if (const std::optional<TJsonValue> answer = ParseJson(response.Body)) {
    const std::string message = answer->Text("message", answer->Text("error"));
    if (!message.empty()) return Utf8ToCp1252(message);
  }
  return FillText("Server antwortet mit Status %1", {std::to_string(response.Status)});
}

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
    const auto score = static_cast<int64_t>(answer->NumberOr("score", 0));
    SetNote("Online-Bestenliste: angenommen: %1 mit %2 Punkten", {Utf8ToCp1252(answer->Text("name")), std::to_string(score)});
    fBoards.erase(run.Stage);  // the next look fetches the list with it
    return false;
  }
  if (status == "refused") {
    const std::string reason = Utf8ToCp1252(answer->Text("reason"));
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
    slot.View.State = TOnlineBoardView::TState::Ready;
    slot.View.Entries.clear();
    for (const TJsonValue& item : entries->Array) {
      if (item.Kind != TJsonValue::TKind::Object) continue;
      TOnlineEntry entry;
      entry.Rank = static_cast<int32_t>(item.NumberOr("rank", static_cast<double>(slot.View.Entries.size() + 1)));
      entry.Name = Utf8ToCp1252(item.Text("name"));
      entry.Score = static_cast<int64_t>(item.NumberOr("score", 0));
      entry.Life = static_cast<int32_t>(item.NumberOr("life", 0));
      entry.Time = item.NumberOr("time", 0);
      entry.Difficulty = Utf8ToCp1252(item.Text("difficulty"));
      slot.View.Entries.push_back(std::move(entry));
      if (slot.View.Entries.size() == 10) break;
    }
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
