// Server.cpp -- routes, the request log, and the verification workers.
#include "Server.h"

#include <httplib.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace {

constexpr int kBoardDefault = 10;
constexpr int kBoardMaximum = 100;
// A run is given up after this many claims: its verification keeps dying
// with the server that runs it.
constexpr int kMaxAttempts = 3;

void Json(httplib::Response& res, int status, const std::string& body) {
  res.status = status;
  res.set_content(body, "application/json; charset=utf-8");
}

void Error(httplib::Response& res, int status, std::string_view code, std::string_view message) {
  Json(res, status, JsonError(code, message));
}

std::string Iso8601Now() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<int>(ms));
  return text;
}

std::string EntryJson(const TBoardEntry& entry) {
  return "{\"rank\":" + std::to_string(entry.Rank) + ",\"name\":" + JsonString(entry.Name) +
         ",\"score\":" + std::to_string(entry.Score) + ",\"life\":" + std::to_string(entry.Life) +
         ",\"time\":" + JsonNumber(entry.Time) + ",\"difficulty\":" + JsonString(entry.Difficulty) + "}";
}

// When the request being answered on this thread began (set before routing).
thread_local std::chrono::steady_clock::time_point tRequestStart;
thread_local bool tRequestStarted = false;

}  // namespace

void LogLine(const std::string& fields) {
  static std::mutex mutex;
  const std::string line = "{\"time\":\"" + Iso8601Now() + "\"," + fields + "}\n";
  std::lock_guard lock(mutex);
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

TLeaderboardServer::TLeaderboardServer(TServerOptions options, TRunStore& store, const TVerifier& verifier,
                                       std::map<std::string, std::string> shippedStages)
    : fOptions(std::move(options)),
      fStore(store),
      fVerifier(verifier),
      fStages(std::move(shippedStages)),
      fHttp(std::make_unique<httplib::Server>()),
      fLimiter(fOptions.RatePerMinute, fOptions.RateBurst) {
  for (const auto& [name, hash] : fStages) fStageByHash[hash] = name;
  Route();
}

TLeaderboardServer::~TLeaderboardServer() {
  Stop();
  for (auto& worker : fWorkers) worker.join();
}

void TLeaderboardServer::Route() {
  auto& http = *fHttp;
  // Twenty clients at once should not wait for each other.
  http.new_task_queue = [] { return new httplib::ThreadPool(32); };
  http.set_payload_max_length(fOptions.MaxRunBytes);

  http.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    tRequestStart = std::chrono::steady_clock::now();
    tRequestStarted = true;
    if (fLimiter.Allow(req.remote_addr)) return httplib::Server::HandlerResponse::Unhandled;
    res.set_header("Retry-After", "10");
    Error(res, 429, "rate_limited", "Zu viele Anfragen. Bitte sp\u00e4ter noch einmal versuchen.");
    return httplib::Server::HandlerResponse::Handled;
  });

  // Answers httplib makes on its own (no route, body too large, a broken
  // request) get a JSON body too.
  http.set_error_handler([this](const httplib::Request&, httplib::Response& res) {
    if (!res.body.empty()) return;
    switch (res.status) {
      case 404: Error(res, 404, "not_found", "Diese Adresse gibt es nicht."); break;
      case 413:
        Error(res, 413, "too_large",
              "Die Aufzeichnung ist zu gro\u00df (h\u00f6chstens " + std::to_string(fOptions.MaxRunBytes / 1024 / 1024) +
                  " MB).");
        break;
      default: Error(res, res.status, "bad_request", "Die Anfrage ist fehlerhaft."); break;
    }
  });

  http.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr error) {
    std::string what = "unknown";
    try {
      std::rethrow_exception(error);
    } catch (const std::exception& e) {
      what = e.what();
    } catch (...) {
    }
    LogLine("\"event\":\"error\",\"message\":" + JsonString(ToCleanUtf8(what, 500)));
    Error(res, 503, "unavailable", "Der Server kann die Anfrage gerade nicht bearbeiten.");
  });

  http.set_logger([](const httplib::Request& req, const httplib::Response& res) {
    const double ms = tRequestStarted
                          ? std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - tRequestStart).count()
                          : 0.0;
    tRequestStarted = false;
    LogLine("\"address\":" + JsonString(ToCleanUtf8(req.remote_addr, 64)) + ",\"method\":" +
            JsonString(ToCleanUtf8(req.method, 16)) + ",\"path\":" + JsonString(ToCleanUtf8(req.path, 200)) +
            ",\"status\":" + std::to_string(res.status) + ",\"ms\":" + JsonNumber(std::round(ms * 1000) / 1000));
  });

  http.Post("/api/runs", [this](const httplib::Request& req, httplib::Response& res) {
    if (!req.has_param("stage")) {
      Error(res, 400, "missing_stage", "Die Strecke fehlt (?stage=...).");
      return;
    }
    const std::string hash = req.get_param_value("stage");
    if (!IsStageHash(hash)) {
      Error(res, 400, "bad_stage", "Die Strecke ist keine 16-stellige Pr\u00fcfsumme.");
      return;
    }
    if (!fStageByHash.contains(hash)) {
      Error(res, 404, "unknown_stage", "Diese Strecke kennt der Server nicht.");
      return;
    }
    const std::string type = req.get_header_value("Content-Type");
    if (!type.empty() && type.rfind("application/octet-stream", 0) != 0) {
      Error(res, 415, "bad_content_type", "Die Aufzeichnung wird als application/octet-stream gesendet.");
      return;
    }
    if (req.body.empty()) {
      Error(res, 400, "empty", "Die Aufzeichnung ist leer.");
      return;
    }
    if (req.body.size() > fOptions.MaxRunBytes) {
      Error(res, 413, "too_large", "Die Aufzeichnung ist zu gro\u00df.");
      return;
    }
    const TAddResult added = fStore.AddPending(req.body, hash, req.remote_addr);
    std::string status = "queued";
    if (!added.New) {
      if (const auto run = fStore.Run(added.Id)) status = StatusName(run->Status);
    } else {
      fWake.notify_one();
    }
    Json(res, 202, "{\"id\":\"" + std::to_string(added.Id) + "\",\"status\":\"" + status + "\"}");
  });

  http.Get(R"(/api/runs/([^/]*))", [this](const httplib::Request& req, httplib::Response& res) {
    const auto id = ParseRunId(req.matches[1].str());
    if (!id) {
      Error(res, 400, "bad_id", "Die Nummer des Laufs ist ung\u00fcltig.");
      return;
    }
    const auto run = fStore.Run(*id);
    if (!run) {
      Error(res, 404, "unknown_run", "Diesen Lauf gibt es nicht.");
      return;
    }
    std::string body = "{\"id\":\"" + std::to_string(run->Id) + "\",\"status\":\"" + StatusName(run->Status) + "\"";
    if (run->Result) {
      const auto& r = *run->Result;
      body += ",\"stage\":" + JsonString(r.Stage) + ",\"name\":" + JsonString(r.Name) +
              ",\"score\":" + std::to_string(r.Score) + ",\"life\":" + std::to_string(r.Life) +
              ",\"time\":" + JsonNumber(r.Time) + ",\"difficulty\":" + JsonString(r.Difficulty) +
              ",\"classic\":" + (r.Classic ? "true" : "false");
    } else if (const auto stage = fStageByHash.find(run->ClaimedStageHash); stage != fStageByHash.end()) {
      body += ",\"stage\":" + JsonString(stage->second);
    }
    if (run->Status == TRunStatus::Refused) body += ",\"reason\":" + JsonString(run->Reason);
    Json(res, 200, body + "}");
  });

  http.Get(R"(/api/boards/([^/]*))", [this](const httplib::Request& req, httplib::Response& res) {
    const std::string stage = req.matches[1].str();
    if (!fStages.contains(stage)) {
      Error(res, 404, "unknown_stage", "Diese Strecke kennt der Server nicht.");
      return;
    }
    const auto limit = ParseLimit(
        req.has_param("limit") ? std::optional<std::string_view>(req.get_param_value("limit")) : std::nullopt,
        kBoardDefault, kBoardMaximum);
    if (!limit) {
      Error(res, 400, "bad_limit", "limit ist eine Zahl von 1 bis " + std::to_string(kBoardMaximum) + ".");
      return;
    }
    std::string body = "{\"stage\":" + JsonString(stage) + ",\"entries\":[";
    const auto entries = fStore.Board(stage, *limit);
    for (std::size_t i = 0; i < entries.size(); ++i) body += (i ? "," : "") + EntryJson(entries[i]);
    Json(res, 200, body + "]}");
  });

  // The game's page, served from another address, reads and sends with
  // fetch: the browser asks first (the run's body is not a form) and shows
  // the page only answers that allow any origin.
  http.set_default_headers({{"Access-Control-Allow-Origin", "*"}});
  http.Options(R"(/api/.*)", [](const httplib::Request&, httplib::Response& res) {
    res.set_header("Access-Control-Allow-Methods", "GET, POST");
    res.set_header("Access-Control-Allow-Headers", "Content-Type");
    res.set_header("Access-Control-Max-Age", "600");
    res.status = 204;
  });

  http.Get("/", [this](const httplib::Request&, httplib::Response& res) {
    std::string page =
        "<!DOCTYPE html>\n<html lang=\"de\"><head><meta charset=\"utf-8\"><title>Riftvaulter Bestenliste</title>"
        "<style>body{font-family:sans-serif;margin:2em}table{border-collapse:collapse;margin-bottom:2em}"
        "td,th{padding:.2em .8em;text-align:right}td:nth-child(2){text-align:left}</style></head><body>\n"
        "<h1>Riftvaulter Bestenliste</h1>\n";
    for (const auto& [stage, hash] : fStages) {
      page += "<h2>" + HtmlEscape(stage) + "</h2>\n";
      const auto entries = fStore.Board(stage, kBoardDefault);
      if (entries.empty()) {
        page += "<p>Noch keine gepr\u00fcften L\u00e4ufe.</p>\n";
        continue;
      }
      page += "<table><tr><th>Platz</th><th>Name</th><th>Punkte</th><th>Leben</th><th>Zeit</th><th>Stufe</th></tr>\n";
      for (const auto& e : entries) {
        char time[32];
        std::snprintf(time, sizeof time, "%.1f s", e.Time);
        page += "<tr><td>" + std::to_string(e.Rank) + "</td><td>" + HtmlEscape(e.Name) + "</td><td>" +
                std::to_string(e.Score) + "</td><td>" + std::to_string(e.Life) + "</td><td>" + time + "</td><td>" +
                HtmlEscape(e.Difficulty) + "</td></tr>\n";
      }
      page += "</table>\n";
    }
    res.set_content(page + "</body></html>\n", "text/html; charset=utf-8");
  });
}

void TLeaderboardServer::Start() {
  if (fOptions.Port == 0) {
    fPort = fHttp->bind_to_any_port(fOptions.Bind);
  } else {
    fPort = fHttp->bind_to_port(fOptions.Bind, fOptions.Port) ? fOptions.Port : -1;
  }
  if (fPort <= 0) {
    throw std::runtime_error("Der Server kann " + fOptions.Bind + ":" + std::to_string(fOptions.Port) +
                             " nicht belegen.");
  }
  for (int i = 0; i < fOptions.Workers; ++i) fWorkers.emplace_back([this, i] { Work(i); });
}

void TLeaderboardServer::Serve() { fHttp->listen_after_bind(); }

void TLeaderboardServer::Stop() {
  {
    std::lock_guard lock(fWakeMutex);
    fStopping = true;
  }
  fWake.notify_all();
  fHttp->stop();
}

void TLeaderboardServer::Work(int index) {
  char host[256] = {};
  gethostname(host, sizeof host - 1);
  const std::string worker = std::string(host) + ":" + std::to_string(getpid()) + ":" + std::to_string(index);
  while (!fStopping) {
    std::optional<TClaimedRun> run;
    try {
      run = fStore.ClaimNext(worker, fOptions.LeaseSeconds);
    } catch (const std::exception& error) {
      LogLine("\"event\":\"error\",\"worker\":" + JsonString(worker) + ",\"message\":" +
              JsonString(ToCleanUtf8(error.what(), 500)));
    }
    if (!run) {
      // Other servers on the same database and runs whose lease ran out
      // do not ring this bell: look again every second.
      std::unique_lock lock(fWakeMutex);
      fWake.wait_for(lock, std::chrono::seconds(1), [this] { return fStopping.load(); });
      continue;
    }
    VerifyOne(*run, worker);
  }
}

void TLeaderboardServer::VerifyOne(const TClaimedRun& run, const std::string& worker) {
  const auto start = std::chrono::steady_clock::now();
  try {
    TVerdict verdict = run.Attempts > kMaxAttempts
                           ? TVerdict(std::string("Die Aufzeichnung lie\u00df sich nach mehreren Versuchen nicht pr\u00fcfen."))
                           : fVerifier.Verify(run.Bytes, run.ClaimedStageHash, fStages, fOptions.TempDir);
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::string fields = "\"event\":\"verification\",\"id\":\"" + std::to_string(run.Id) + "\",\"worker\":" +
                         JsonString(worker) + ",\"ms\":" + JsonNumber(std::round(ms));
    std::optional<std::string> refusal;
    if (const auto* result = std::get_if<TVerifiedRun>(&verdict)) {
      const auto mark = fStore.MarkVerified(run.Id, *result);
      if (mark == TRunStore::TMark::Duplicate) {
        refusal = "Dieser Lauf steht schon in der Bestenliste.";
      } else {
        fields += ",\"status\":\"verified\",\"stage\":" + JsonString(result->Stage) + ",\"score\":" +
                  std::to_string(result->Score) + ",\"stored\":" + (mark == TRunStore::TMark::Stored ? "true" : "false");
      }
    } else {
      refusal = std::get<std::string>(verdict);
    }
    if (refusal) {
      const bool stored = fStore.MarkRefused(run.Id, *refusal);
      fields += ",\"status\":\"refused\",\"reason\":" + JsonString(*refusal) + ",\"stored\":" + (stored ? "true" : "false");
    }
    LogLine(fields);
  } catch (const std::exception& error) {
    // The run stays claimed; its lease runs out and it is tried again.
    LogLine("\"event\":\"error\",\"id\":\"" + std::to_string(run.Id) + "\",\"worker\":" + JsonString(worker) +
            ",\"message\":" + JsonString(ToCleanUtf8(error.what(), 500)));
  }
}
