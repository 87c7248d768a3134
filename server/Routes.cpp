// Routes.cpp -- the API's and the page's handlers, and the answers httplib
// makes on its own, each with a JSON error.
#include <httplib.h>

#include <algorithm>
#include <chrono>

#include "BoardPage.h"
#include "Metrics.h"
#include "RunJson.h"
#include "Server.h"

namespace {

constexpr int kBoardDefault = 10;
constexpr int kBoardMaximum = 100;

void Json(httplib::Response& res, int status, const std::string& body) {
  res.status = status;
  res.set_content(body, "application/json; charset=utf-8");
}

void Error(httplib::Response& res, int status, std::string_view code, std::string_view message) {
  Json(res, status, JsonError(code, message));
}

// A run is sent as raw bytes; no type is taken as that too.
bool IsRunContentType(const std::string& type) {
  return type.empty() || type.rfind("application/octet-stream", 0) == 0;
}

constexpr const char* kDifficulties[] = {"Leicht", "Normal", "Schwer"};

// A refused request this thread answers whose log line is left out (one
// line an address and minute says how many there were).
thread_local bool tQuietRefusal = false;

}  // namespace

// The shipped stage a request names by ?stage=<sha256> (hex digits in either
// case), or nullopt with the error answered: missing, not a hash, or not a
// stage of this server (`unknownStatus`).
std::optional<std::string> TLeaderboardServer::StageParam(const httplib::Request& req, httplib::Response& res,
                                                          int unknownStatus) const {
  if (!req.has_param("stage")) {
    Error(res, 400, "missing_stage", "Die Strecke fehlt (?stage=...).");
    return std::nullopt;
  }
  std::string hash = AsciiLower(req.get_param_value("stage"));
  if (!IsStageHash(hash)) {
    Error(res, 400, "bad_stage", "Die Strecke ist keine SHA-256-Pr\u00fcfsumme (64 Hex-Ziffern).");
    return std::nullopt;
  }
  if (!fStageByHash.contains(hash)) {
    Error(res, unknownStatus, "unknown_stage", "Diese Strecke kennt der Server nicht.");
    return std::nullopt;
  }
  return hash;
}

void TLeaderboardServer::Route() {
  auto& http = *fHttp;
  // Every open connection holds one of these threads while it is read: a
  // short wait for the next bytes and few requests per connection keep
  // slow and idle clients from holding them long (a proxy in front takes
  // those clients off the server altogether).
  http.new_task_queue = [threads = fOptions.Threads] { return new httplib::ThreadPool(threads); };
  http.set_read_timeout(fOptions.ReadSeconds, 0);
  http.set_write_timeout(10, 0);
  http.set_keep_alive_timeout(2);
  http.set_keep_alive_max_count(20);
  http.set_payload_max_length(fOptions.MaxRunBytes);

  http.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    StartRequestClock();
    tQuietRefusal = false;
    // From here on the request names its client, for the limits, the store
    // and the log (httplib's request object is not const; its handlers
    // only see it so).
    const_cast<httplib::Request&>(req).remote_addr =
        ClientAddress(req.remote_addr, req.get_header_value("X-Forwarded-For"), fOptions.TrustedProxies);
    const std::string origin = req.get_header_value("Origin");
    if (std::find(fOptions.AllowedOrigins.begin(), fOptions.AllowedOrigins.end(), origin) !=
        fOptions.AllowedOrigins.end()) {
      res.set_header("Access-Control-Allow-Origin", origin);
      // It may read Retry-After, which tells it when to send again.
      res.set_header("Access-Control-Expose-Headers", "Retry-After");
      res.set_header("Vary", "Origin");
    }
    const std::string key = LimitKey(req.remote_addr);
    const bool upload = req.method == "POST" && req.path == "/api/runs";
    if (fLimiter.Allow(key) && (!upload || fUploadLimiter.Allow(key))) {
      return httplib::Server::HandlerResponse::Unhandled;
    }
    if (const auto unlogged = fRefusals.Note(key)) {
      LogLine("\"event\":\"rate_limited\",\"address\":" + JsonString(ToCleanUtf8(key, 64)) + ",\"path\":" +
              JsonString(ToCleanUtf8(req.path, 200)) + ",\"unlogged\":" + std::to_string(*unlogged));
    }
    tQuietRefusal = true;
    res.set_header("Retry-After", upload ? "60" : "10");
    // The body of a refused upload is not read.
    if (upload) res.set_header("Connection", "close");
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
    ServerMetrics().Request(res.status);
    if (!(res.status == 429 && tQuietRefusal)) LogRequest(req, res);
    tQuietRefusal = false;
  });

  // The body is read here and not by httplib, which reads a body of a
  // form's type (curl's default) as a form, up to 8 KB.
  http.Post("/api/runs", [this](const httplib::Request& req, httplib::Response& res,
                                const httplib::ContentReader& content) {
    if (!IsRunContentType(req.get_header_value("Content-Type"))) {
      // Read and dropped, so that the connection can serve on; a multipart
      // body is not read as one.
      if (req.is_multipart_form_data() || !content([](const char*, std::size_t) { return true; })) {
        res.set_header("Connection", "close");
      }
      Error(res, 415, "bad_content_type", "Die Aufzeichnung wird als application/octet-stream gesendet.");
      return;
    }
    // Announced far too large: refused before a byte of it is read (a
    // little too large is read and dropped, so that the sender, still
    // sending, sees the answer and not a reset connection).
    if (const auto length = req.get_header_value("Content-Length");
        length.size() > 12 || (!length.empty() && std::stoull("0" + length) > 4 * fOptions.MaxRunBytes)) {
      res.set_header("Connection", "close");
      Error(res, 413, "too_large",
            "Die Aufzeichnung ist zu gro\u00df (h\u00f6chstens " + std::to_string(fOptions.MaxRunBytes / 1024 / 1024) +
                " MB).");
      return;
    }
    std::string body;
    // The whole body must come in time, however steadily it trickles.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(fOptions.BodySeconds);
    bool late = false;
    if (!content([&](const char* data, std::size_t n) {
          body.append(data, n);
          late = std::chrono::steady_clock::now() > deadline;
          return !late;
        })) {
      if (late) {
        res.set_header("Connection", "close");
        Error(res, 408, "too_slow", "Die Aufzeichnung kam zu langsam an.");
      }
      return;  // too large (httplib has set 413) or cut off
    }
    const std::optional<std::string> stage = StageParam(req, res, 404);
    if (!stage) return;
    const std::string& hash = *stage;
    if (body.empty()) {
      Error(res, 400, "empty", "Die Aufzeichnung ist leer.");
      return;
    }
    if (body.size() > fOptions.MaxRunBytes) {
      Error(res, 413, "too_large", "Die Aufzeichnung ist zu gro\u00df.");
      return;
    }
    const TAddResult added = fStore.AddPending(body, hash, req.remote_addr);
    TRunStatus status = TRunStatus::Queued;
    if (!added.New) {
      if (const auto run = fStore.Run(added.Id)) status = run->Status;
    } else {
      fWorkers.Wake();
    }
    Json(res, 202, SubmittedRunJson(added.Id, status));
  });

  // A challenge for one attempt at a stage: a fresh seed and nonce,
  // signed. Nothing is stored; the nonce is marked used with the run it
  // brings onto the board. Issued on a private board too, where runs
  // without one are taken as well. Limited like every request (a client
  // keeps about three fresh, one every ten seconds).
  http.Post("/api/challenges", [this](const httplib::Request& req, httplib::Response& res) {
    const std::optional<std::string> stage = StageParam(req, res, 400);
    if (!stage) return;
    const std::string& hash = *stage;
    const std::string difficulty = req.has_param("difficulty") ? req.get_param_value("difficulty") : "";
    if (!IsDifficulty(difficulty)) {
      Error(res, 400, "bad_difficulty", "difficulty ist Leicht, Normal oder Schwer.");
      return;
    }
    const TChallenges::TIssued issued = fChallenges.Issue(hash, difficulty, UnixMillis());
    Json(res, 201, "{\"challenge\":" + JsonString(issued.Token) + ",\"seed\":" + std::to_string(issued.Seed) +
                       ",\"expires\":" + std::to_string(issued.ExpiresSeconds) + ",\"challenges\":\"" +
                       ChallengeMode(fChallenges.Required()) + "\"}");
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
    Json(res, 200, RunJson(*run, fStageByHash));
  });

  // A board by the stage's hash (either case) or its name.
  http.Get(R"(/api/boards/([^/]*))", [this](const httplib::Request& req, httplib::Response& res) {
    std::string stage = req.matches[1].str();
    if (const auto byHash = fStageByHash.find(AsciiLower(stage)); byHash != fStageByHash.end()) stage = byHash->second;
    if (!fStages.contains(stage)) {
      Error(res, 404, "unknown_stage", "Diese Strecke kennt der Server nicht.");
      return;
    }
    const std::string difficulty = req.has_param("difficulty") ? req.get_param_value("difficulty") : "Normal";
    if (!IsDifficulty(difficulty)) {
      Error(res, 400, "bad_difficulty", "difficulty ist Leicht, Normal oder Schwer.");
      return;
    }
    const auto limit = ParseLimit(
        req.has_param("limit") ? std::optional<std::string_view>(req.get_param_value("limit")) : std::nullopt,
        kBoardDefault, kBoardMaximum);
    if (!limit) {
      Error(res, 400, "bad_limit", "limit ist eine Zahl von 1 bis " + std::to_string(kBoardMaximum) + ".");
      return;
    }
    Json(res, 200, BoardJson(stage, difficulty, fStore.Board(stage, difficulty, *limit), fChallenges.Required()));
  });

  // The game's page reads and sends with fetch. Served from the server's
  // own origin (a proxy in front) it needs nothing; from another one, the
  // operator names that origin (--allow-origin): the browser asks first
  // (the run's body is not a form), and the answers to that origin allow
  // it (set before routing).
  http.Options(R"(/api/.*)", [](const httplib::Request&, httplib::Response& res) {
    res.set_header("Access-Control-Allow-Methods", "GET, POST");
    res.set_header("Access-Control-Allow-Headers", "Content-Type");
    res.set_header("Access-Control-Max-Age", "600");
    res.status = 204;
  });

  http.Get("/", [this](const httplib::Request&, httplib::Response& res) {
    std::vector<TStageBoard> boards;
    for (const auto& [stage, hash] : fStages) {
      TStageBoard board{stage, {}};
      for (const char* difficulty : kDifficulties) {
        auto entries = fStore.Board(stage, difficulty, kBoardDefault);
        if (!entries.empty()) board.Lists.push_back({difficulty, std::move(entries)});
      }
      boards.push_back(std::move(board));
    }
    res.set_content(BoardPage(boards, fChallenges.Required()), "text/html; charset=utf-8");
  });

  // For the operator: is the store there, how much waits.
  http.Get("/healthz", [this](const httplib::Request&, httplib::Response& res) {
    try {
      const int64_t queued = fStore.QueuedCount();
      Json(res, 200, "{\"status\":\"ok\",\"store\":true,\"queued\":" + std::to_string(queued) + ",\"held\":0}");
    } catch (const std::exception& error) {
      LogLine("\"event\":\"error\",\"message\":" + JsonString(ToCleanUtf8(error.what(), 500)));
      Json(res, 503, "{\"status\":\"unavailable\",\"store\":false,\"queued\":null,\"held\":null}");
    }
  });

  http.Get("/metrics", [this](const httplib::Request&, httplib::Response& res) {
    std::vector<TMetrics::TGauge> gauges;
    try {
      gauges.push_back({"riftvaulter_queued_runs", "Runs waiting for their verification.",
                        static_cast<double>(fStore.QueuedCount())});
      gauges.push_back({"riftvaulter_store_up", "Whether the store answers.", 1});
    } catch (const std::exception&) {
      gauges.push_back({"riftvaulter_store_up", "Whether the store answers.", 0});
    }
    gauges.push_back({"riftvaulter_held_runs", "Runs held for the operator.", 0});
    res.set_content(ServerMetrics().Text(gauges), "text/plain; version=0.0.4; charset=utf-8");
  });
}
