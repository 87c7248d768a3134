// Routes.cpp -- the API's and the page's handlers, and the answers httplib
// makes on its own, each with a JSON error.
#include <httplib.h>

#include "BoardPage.h"
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

}  // namespace

void TLeaderboardServer::Route() {
  auto& http = *fHttp;
  // Twenty clients at once should not wait for each other.
  http.new_task_queue = [] { return new httplib::ThreadPool(32); };
  http.set_payload_max_length(fOptions.MaxRunBytes);

  http.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    StartRequestClock();
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

  http.set_logger([](const httplib::Request& req, const httplib::Response& res) { LogRequest(req, res); });

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
    std::string body;
    if (!content([&body](const char* data, std::size_t n) {
          body.append(data, n);
          return true;
        })) {
      return;  // too large (httplib has set 413) or cut off
    }
    if (!req.has_param("stage")) {
      Error(res, 400, "missing_stage", "Die Strecke fehlt (?stage=...).");
      return;
    }
    // Hex digits in either case name the same hash.
    const std::string hash = AsciiLower(req.get_param_value("stage"));
    if (!IsStageHash(hash)) {
      Error(res, 400, "bad_stage", "Die Strecke ist keine SHA-256-Pr\u00fcfsumme (64 Hex-Ziffern).");
      return;
    }
    if (!fStageByHash.contains(hash)) {
      Error(res, 404, "unknown_stage", "Diese Strecke kennt der Server nicht.");
      return;
    }
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
    if (!req.has_param("stage")) {
      Error(res, 400, "missing_stage", "Die Strecke fehlt (?stage=...).");
      return;
    }
    const std::string hash = AsciiLower(req.get_param_value("stage"));
    if (!IsStageHash(hash)) {
      Error(res, 400, "bad_stage", "Die Strecke ist keine SHA-256-Pr\u00fcfsumme (64 Hex-Ziffern).");
      return;
    }
    if (!fStageByHash.contains(hash)) {
      Error(res, 400, "unknown_stage", "Diese Strecke kennt der Server nicht.");
      return;
    }
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

  // The game's page, served from another address, reads and sends with
  // fetch: the browser asks first (the run's body is not a form) and shows
  // the page only answers that allow any origin.
  // It may read Retry-After, which tells it when to send again.
  http.set_default_headers({{"Access-Control-Allow-Origin", "*"}, {"Access-Control-Expose-Headers", "Retry-After"}});
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
}
