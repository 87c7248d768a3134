// ServerTest.cpp -- the server end to end over HTTP, verifying with a
// stand-in for the game (tests/server/fake-verifier): honest runs reach the
// board once however often they are sent, forged, damaged and misbehaving
// ones are refused with a reason, every bad request gets a JSON error, and
// the board survives a restart.
#include <gtest/gtest.h>
#include <httplib.h>

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <map>
#include <thread>

#include "Server.h"
#include "server/TempDir.h"

namespace {

const std::string kLevel01 = "0123456701234567012345670123456701234567012345670123456701234567";
const std::string kLevel02 = "fedcba98fedcba98fedcba98fedcba98fedcba98fedcba98fedcba98fedcba98";

std::string Sha256Line(const std::string& line) { return Sha256Hex(line); }

// A recording the stand-in verifies to line.
std::string FakeRun(const std::string& line) {
  return "riftvaulter-fake-run\n" + line + "\nsum=" + Sha256Line(line) + "\n";
}

// The play is told by stage, score and name unless given.
std::string Line(const std::string& stage, const std::string& hash, int score, const std::string& name,
                 const std::string& difficulty = "Normal", std::string play = "") {
  if (play.empty()) play = Sha256Hex(stage + std::to_string(score) + name + difficulty);
  return "verified: stage=" + stage + " stagehash=" + hash + " difficulty=" + difficulty + " classic=0 score=" +
         std::to_string(score) + " life=7 time=61.5 name=" + name + " play=" + play +
         " seed=42 challenge=- clockms=70310";
}

// A running server on a free port, over a store in dir.
class TRunningServer {
 public:
  TRunningServer(const std::string& dir, int ratePerMinute = 0,
                 const std::function<void(TServerOptions&)>& adjust = {})
      : fStore(OpenStore(dir + "/leaderboard.sqlite")) {
    TChildLimits limits;
    limits.WallSeconds = 2;
    limits.CpuSeconds = 2;
    limits.MemoryBytes = int64_t{512} << 20;
    fVerifier = std::make_unique<TVerifier>(std::string(RV_SOURCE_DIR) + "/tests/server/fake-verifier", limits);
    TServerOptions options;
    options.Port = 0;
    options.TempDir = dir;
    options.Workers = 3;
    options.RatePerMinute = ratePerMinute;
    options.RateBurst = 5;
    options.ChallengesRequired = false;
    options.UploadsPerMinute = 0;
    if (adjust) adjust(options);
    fServer = std::make_unique<TLeaderboardServer>(options, *fStore, *fVerifier, fVerifier->StageHashes());
    fServer->Start();
    fThread = std::thread([this] { fServer->Serve(); });
  }
  ~TRunningServer() {
    fServer->Stop();
    fThread.join();
  }
  httplib::Client Client() const { return httplib::Client("127.0.0.1", fServer->Port()); }
  int Port() const { return fServer->Port(); }

 private:
  std::unique_ptr<TRunStore> fStore;
  std::unique_ptr<TVerifier> fVerifier;
  std::unique_ptr<TLeaderboardServer> fServer;
  std::thread fThread;
};

// The value of "key":"..." or "key":number in a flat JSON answer.
std::string Field(const std::string& json, const std::string& key) {
  const std::string quoted = "\"" + key + "\":";
  const std::size_t at = json.find(quoted);
  if (at == std::string::npos) return "<none>";
  std::size_t start = at + quoted.size();
  if (json[start] == '"') return json.substr(start + 1, json.find('"', start + 1) - start - 1);
  return json.substr(start, json.find_first_of(",}", start) - start);
}

httplib::Result Post(httplib::Client& client, const std::string& hash, const std::string& body) {
  return client.Post(("/api/runs?stage=" + hash).c_str(), body, "application/octet-stream");
}

TEST(ServerTest, VerifiesHonestRunsRefusesTheRestAndAnswersEveryBadRequest) {
  TTempDir dir;
  struct TCase {
    std::string Label, Hash, Body, Expect;  // Expect: "verified" or a part of the reason
  };
  std::vector<TCase> cases = {
      {"honest 1", kLevel01, FakeRun(Line("Level01", kLevel01, 5000, "ANNA B")), "verified"},
      {"honest 2", kLevel01, FakeRun(Line("Level01", kLevel01, 7000, "BERT 2")), "verified"},
      {"honest 3", kLevel02, FakeRun(Line("Level02", kLevel02, 100, "  C ")), "verified"},
      {"honest, hard", kLevel01, FakeRun(Line("Level01", kLevel01, 9000, "HARD", "Schwer")), "verified"},
      {"forged score", kLevel01,
       "riftvaulter-fake-run\n" + Line("Level01", kLevel01, 99999, "ANNA B") + "\nsum=" +
           Sha256Line(Line("Level01", kLevel01, 5000, "ANNA B")) + "\n",
       "weicht"},
      {"truncated", kLevel01, FakeRun(Line("Level01", kLevel01, 5000, "ANNA B")).substr(0, 40), "besch"},
      {"not a recording", kLevel01, std::string("\x00\x01garbage", 9), "besch"},
      {"crash", kLevel01, FakeRun("crash"), "abgest\u00fcrzt"},
      {"hang", kLevel01, FakeRun("hang"), "Zeitlimit"},
      {"spin", kLevel01, FakeRun("spin"), "limit"},
      {"lie", kLevel01, FakeRun("lie"), "keine g\u00fcltige Antwort"},
      {"two lines", kLevel01, FakeRun("chatter"), "keine g\u00fcltige Antwort"},
      {"flood", kLevel01, FakeRun("huge"), "keine g\u00fcltige Antwort"},
      {"other stage than named", kLevel02, FakeRun(Line("Level01", kLevel01, 5000, "D")), "anderen Strecke"},
      {"stage not shipped", kLevel01, FakeRun(Line("Level09", kLevel01, 5000, "E")), "ausgelieferten"},
      {"lower-case name", kLevel01, FakeRun(Line("Level01", kLevel01, 5000, "anna")), "Name"},
      {"empty name", kLevel01, FakeRun(Line("Level01", kLevel01, 5000, "")), "Name"},
      {"long name", kLevel01, FakeRun(Line("Level01", kLevel01, 5000, std::string(33, 'A'))), "Name"},
  };

  std::map<std::string, std::string> ids;  // label -> id
  {
    TRunningServer server(dir.Path());
    // Everything twice, from several clients at once: each run is stored
    // once and both answers name the same id.
    std::mutex mutex;
    std::vector<std::thread> clients;
    for (int c = 0; c < 4; ++c) {
      clients.emplace_back([&, c] {
        auto client = server.Client();
        for (std::size_t i = c % 2; i < cases.size() * 2; i += 2) {
          const TCase& run = cases[i % cases.size()];
          const auto res = Post(client, run.Hash, run.Body);
          ASSERT_TRUE(res) << run.Label;
          EXPECT_EQ(res->status, 202) << run.Label << ": " << res->body;
          std::lock_guard lock(mutex);
          const std::string id = Field(res->body, "id");
          auto [it, added] = ids.emplace(run.Label, id);
          EXPECT_EQ(it->second, id) << run.Label;
        }
      });
    }
    for (auto& client : clients) client.join();
    ASSERT_EQ(ids.size(), cases.size());

    auto client = server.Client();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (const TCase& run : cases) {
      std::string body;
      do {
        const auto res = client.Get(("/api/runs/" + ids[run.Label]).c_str());
        ASSERT_TRUE(res);
        ASSERT_EQ(res->status, 200);
        body = res->body;
        if (Field(body, "status") != "queued") break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      } while (std::chrono::steady_clock::now() < deadline);
      if (run.Expect == "verified") {
        EXPECT_EQ(Field(body, "status"), "verified") << run.Label << ": " << body;
      } else {
        EXPECT_EQ(Field(body, "status"), "refused") << run.Label << ": " << body;
        EXPECT_NE(Field(body, "reason").find(run.Expect), std::string::npos) << run.Label << ": " << body;
      }
    }
    // The same play under another name (and bytes changed that its replay
    // never reads): no second entry.
    const auto copy = Post(client, kLevel01,
                           FakeRun(Line("Level01", kLevel01, 5000, "BUTOPILOT", "Normal",
                                        Sha256Hex("Level015000ANNA BNormal"))) + "unread bytes");
    ASSERT_TRUE(copy);
    std::string copyBody;
    do {
      copyBody = client.Get(("/api/runs/" + Field(copy->body, "id")).c_str())->body;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (Field(copyBody, "status") == "queued" && std::chrono::steady_clock::now() < deadline);
    EXPECT_EQ(Field(copyBody, "status"), "refused") << copyBody;
    EXPECT_NE(Field(copyBody, "reason").find("schon in der Bestenliste"), std::string::npos) << copyBody;
    EXPECT_EQ(Field(copyBody, "code"), "already_listed") << copyBody;

    const auto honest = client.Get(("/api/runs/" + ids["honest 1"]).c_str());
    EXPECT_EQ(honest->body, "{\"id\":\"" + ids["honest 1"] +
                                "\",\"status\":\"verified\",\"stage\":\"Level01\",\"name\":\"ANNA B\",\"score\":5000,"
                                "\"life\":7,\"time\":61.5,\"difficulty\":\"Normal\",\"classic\":false}");

    // Requests refused at the door, each with a JSON error.
    const std::vector<std::tuple<std::string, std::string, std::string, int>> bad = {
        {"POST", "/api/runs", "x", 400},
        {"POST", "/api/runs?stage=0123", "x", 400},
        {"POST", "/api/runs?stage=" + std::string(62, '0') + "ff", "x", 404},
        {"POST", "/api/runs?stage=0123456789abcdef", "x", 400},
        {"GET", "/api/boards/Level01?difficulty=Mittel", "", 400},
        {"POST", "/api/runs?stage=" + kLevel01, "", 400},
        {"POST", "/api/runs?stage=" + kLevel01, std::string(2 * 1024 * 1024 + 1, 'x'), 413},
        {"GET", "/api/runs/999999", "", 404},
        {"GET", "/api/runs/abc", "", 400},
        {"GET", "/api/runs/-1", "", 400},
        {"GET", "/api/boards/Level09", "", 404},
        {"GET", "/api/boards/Level01?limit=0", "", 400},
        {"GET", "/api/boards/Level01?limit=1000", "", 400},
        {"GET", "/api/elsewhere", "", 404},
    };
    for (const auto& [method, path, body, status] : bad) {
      const auto res = method == "POST" ? client.Post(path.c_str(), body, "application/octet-stream")
                                        : client.Get(path.c_str());
      ASSERT_TRUE(res) << path;
      EXPECT_EQ(res->status, status) << method << " " << path;
      EXPECT_NE(Field(res->body, "error"), "<none>") << path << ": " << res->body;
      EXPECT_NE(Field(res->body, "message"), "<none>") << path << ": " << res->body;
    }
    // curl --data-binary sends a form's type: a wrong type, whatever the
    // size (beyond the 8 KB httplib reads a form to), is 415, and the
    // connection is closed rather than left mid-body.
    const std::string recording = FakeRun(Line("Level02", kLevel02, 4242, "FORM")) + std::string(48 * 1024, '#');
    auto kept = server.Client();
    kept.set_keep_alive(true);
    for (const char* type : {"application/x-www-form-urlencoded", "text/plain"}) {
      const auto form = kept.Post(("/api/runs?stage=" + kLevel02).c_str(), recording, type);
      ASSERT_TRUE(form) << type;
      EXPECT_EQ(form->status, 415) << type << ": " << form->body;
      EXPECT_EQ(Field(form->body, "error"), "bad_content_type") << type;
      const auto next = kept.Get("/api/boards/Level02");
      ASSERT_TRUE(next) << "after " << type;
      EXPECT_EQ(next->status, 200);
    }
    // A stage hash in capitals is the same hash.
    const auto capitals = Post(client, "FEDCBA98" + kLevel02.substr(8), recording);
    ASSERT_TRUE(capitals);
    EXPECT_EQ(capitals->status, 202) << capitals->body;
    std::string capitalsBody;
    do {
      capitalsBody = client.Get(("/api/runs/" + Field(capitals->body, "id")).c_str())->body;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (Field(capitalsBody, "status") == "queued" && std::chrono::steady_clock::now() < deadline);
    EXPECT_EQ(Field(capitalsBody, "status"), "verified") << capitalsBody;
    EXPECT_EQ(Field(capitalsBody, "stage"), "Level02") << capitalsBody;
  }

  // A new server on the same data: the boards are what they were.
  TRunningServer restarted(dir.Path());
  auto client = restarted.Client();
  const auto board = client.Get("/api/boards/Level01?limit=5");
  ASSERT_TRUE(board);
  EXPECT_EQ(board->status, 200);
  EXPECT_EQ(board->body,
            "{\"stage\":\"Level01\",\"difficulty\":\"Normal\",\"challenges\":\"off\",\"entries\":["
            "{\"rank\":1,\"name\":\"BERT 2\",\"score\":7000,\"life\":7,\"time\":61.5,\"difficulty\":\"Normal\"},"
            "{\"rank\":2,\"name\":\"ANNA B\",\"score\":5000,\"life\":7,\"time\":61.5,\"difficulty\":\"Normal\"}]}");
  // Each difficulty has its own board, asked for by the stage's hash too.
  const auto hard = client.Get(("/api/boards/" + kLevel01 + "?difficulty=Schwer").c_str());
  ASSERT_TRUE(hard);
  EXPECT_EQ(Field(hard->body, "name"), "HARD") << hard->body;
  EXPECT_EQ(hard->body.find("ANNA B"), std::string::npos) << hard->body;
  const auto page = client.Get("/");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=utf-8");
  for (const char* text : {"<h2>Level01</h2>", "<h2>Level02</h2>", "<h3>Normal</h3>", "<h3>Schwer</h3>", "BERT 2",
                           "ANNA B", "<td>C</td>"}) {
    EXPECT_NE(page->body.find(text), std::string::npos) << text;
  }
}

// The run's final answer, waited for.
std::string Settled(httplib::Client& client, const httplib::Result& posted) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  std::string body;
  do {
    const auto res = client.Get(("/api/runs/" + Field(posted->body, "id")).c_str());
    if (res) body = res->body;
    if (Field(body, "status") != "queued") break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  } while (std::chrono::steady_clock::now() < deadline);
  return body;
}

// With challenges required: a challenge is issued, a run that flies it
// right away reaches the board, the same challenge again and a run without
// one are refused with their codes, and the server says which mode holds.
TEST(ServerTest, ChallengesFromIssueToBoard) {
  TTempDir dir;
  TRunningServer server(dir.Path(), 0, [](TServerOptions& options) { options.ChallengesRequired = true; });
  auto client = server.Client();
  auto challenge = [&](const std::string& difficulty = "Normal") {
    const auto res = client.Post(("/api/challenges?stage=" + kLevel01 + "&difficulty=" + difficulty).c_str(), "",
                                 "application/octet-stream");
    EXPECT_TRUE(res);
    EXPECT_EQ(res->status, 201) << res->body;
    EXPECT_EQ(Field(res->body, "challenges"), "required");
    EXPECT_NEAR(std::stoll(Field(res->body, "expires")),
                std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
                        .count() + 45, 2);
    return res->body;
  };
  auto run = [&](const std::string& issued, const std::string& name, int clockMs) {
    const std::string token = issued.empty() ? "-" : Field(issued, "challenge");
    const std::string seed = issued.empty() ? "42" : Field(issued, "seed");
    const std::string line = "verified: stage=Level01 stagehash=" + kLevel01 +
                             " difficulty=Normal classic=0 score=100 life=7 time=1.5 name=" + name +
                             " play=" + Sha256Hex(name) + " seed=" + seed + " challenge=" + token +
                             " clockms=" + std::to_string(clockMs);
    return Settled(client, Post(client, kLevel01, FakeRun(line)));
  };
  const std::string first = challenge();
  EXPECT_EQ(Field(first, "challenge").substr(0, 3 + 64 + 8), "v1." + kLevel01 + ".Normal.");
  EXPECT_EQ(Field(first, "challenge").substr(0, Field(first, "challenge").rfind('.')).find("." + Field(first, "seed") + "."),
            3 + 64 + 7u);
  const std::string honest = run(first, "LIVE", 0);
  EXPECT_EQ(Field(honest, "status"), "verified") << honest;
  const std::string again = run(first, "AGAIN", 0);
  EXPECT_EQ(Field(again, "code"), "challenge_used") << again;
  EXPECT_EQ(Field(again, "reason"), "Herausforderung schon benutzt.") << again;
  EXPECT_EQ(Field(run("", "NONE", 0), "code"), "no_challenge");
  EXPECT_EQ(Field(run(challenge(), "SLOW", 60000), "code"), "clock_slow");
  EXPECT_EQ(Field(run(challenge("Schwer"), "HARD", 0), "code"), "challenge_other_difficulty");

  const auto board = client.Get("/api/boards/Level01");
  ASSERT_TRUE(board);
  EXPECT_EQ(Field(board->body, "challenges"), "required");
  EXPECT_EQ(Field(board->body, "name"), "LIVE");
  EXPECT_EQ(board->body.find("AGAIN"), std::string::npos);
  EXPECT_NE(client.Get("/")->body.find("data-challenges=\"required\""), std::string::npos);

  for (const std::string& query : {std::string(), "?stage=" + kLevel01, "?stage=" + kLevel01 + "&difficulty=Mittel",
                                   "?stage=" + std::string(64, 'a') + "&difficulty=Normal",
                                   std::string("?stage=0123&difficulty=Normal")}) {
    const auto bad = client.Post(("/api/challenges" + query).c_str(), "", "application/octet-stream");
    ASSERT_TRUE(bad) << query;
    EXPECT_EQ(bad->status, 400) << query;
    EXPECT_NE(Field(bad->body, "message"), "<none>") << query;
  }
}

TEST(ServerTest, RateLimitAnswers429PerAddress) {
  TTempDir dir;
  TRunningServer server(dir.Path(), 6);  // one a ten seconds, five at once
  auto client = server.Client();
  std::vector<int> statuses;
  for (int i = 0; i < 7; ++i) statuses.push_back(client.Get("/api/boards/Level01")->status);
  EXPECT_EQ(statuses, (std::vector<int>{200, 200, 200, 200, 200, 429, 429}));
  const auto limited = client.Get("/api/boards/Level01");
  EXPECT_EQ(Field(limited->body, "error"), "rate_limited");
  EXPECT_FALSE(limited->get_header_value("Retry-After").empty());
}

// The game's page on another origin may send and read only when the
// operator names that origin; no answer allows any origin.
TEST(ServerTest, OnlyTheNamedOriginMaySendAndRead) {
  TTempDir dir;
  TRunningServer server(dir.Path(), 0, [](TServerOptions& options) { options.AllowedOrigins = {"https://page.example"}; });
  auto client = server.Client();
  const auto preflight = client.Options(("/api/runs?stage=" + kLevel01).c_str(), {{"Origin", "https://page.example"}});
  ASSERT_TRUE(preflight);
  EXPECT_EQ(preflight->status, 204);
  EXPECT_NE(preflight->get_header_value("Access-Control-Allow-Methods").find("POST"), std::string::npos);
  EXPECT_EQ(preflight->get_header_value("Access-Control-Allow-Headers"), "Content-Type");
  for (const std::string origin : {"https://page.example", "https://other.example", ""}) {
    const httplib::Headers headers = origin.empty() ? httplib::Headers{} : httplib::Headers{{"Origin", origin}};
    for (const auto& answer : {client.Get("/api/boards/Level01", headers), client.Get("/api/runs/999", headers),
                               client.Post("/api/runs?stage=x", headers, "y", "application/octet-stream")}) {
      ASSERT_TRUE(answer);
      EXPECT_EQ(answer->get_header_value("Access-Control-Allow-Origin"),
                origin == "https://page.example" ? origin : "")
          << origin << " " << answer->status;
    }
  }
}

// Behind a proxy the forwarded client counts: uploads have their own,
// smaller bucket per client, reads go on, and other clients are not
// touched. A sender that is not the proxy cannot pick an address.
TEST(ServerTest, UploadsAreLimitedPerForwardedClient) {
  TTempDir dir;
  TRunningServer server(dir.Path(), 0, [](TServerOptions& options) {
    options.TrustedProxies = {"127.0.0.1"};
    options.UploadsPerMinute = 1;
    options.UploadBurst = 2;
  });
  auto client = server.Client();
  auto post = [&](const std::string& forwardedFor, int n) {
    return client.Post(("/api/runs?stage=" + kLevel01).c_str(), {{"X-Forwarded-For", forwardedFor}},
                       FakeRun(Line("Level01", kLevel01, 1000 + n, "P" + std::to_string(n))), "application/octet-stream")
        ->status;
  };
  EXPECT_EQ(post("6.6.6.6, 203.0.113.7", 1), 202);
  EXPECT_EQ(post("7.7.7.7, 203.0.113.7", 2), 202);
  const auto refused = client.Post(("/api/runs?stage=" + kLevel01).c_str(), {{"X-Forwarded-For", "203.0.113.7"}},
                                   FakeRun(Line("Level01", kLevel01, 3, "P3")), "application/octet-stream");
  EXPECT_EQ(refused->status, 429);
  EXPECT_EQ(refused->get_header_value("Retry-After"), "60");
  EXPECT_EQ(client.Get("/api/boards/Level01", {{"X-Forwarded-For", "203.0.113.7"}})->status, 200);
  // One subscriber's /64 is one client.
  EXPECT_EQ(post("2001:db8:1:2::1", 4), 202);
  EXPECT_EQ(post("2001:db8:1:2::2", 5), 202);
  EXPECT_EQ(post("2001:db8:1:2:ffff::3", 6), 429);
  EXPECT_EQ(post("2001:db8:1:3::1", 7), 202);
}

TEST(ServerTest, HealthAndMetricsTellTheOperatorWhatIsGoingOn) {
  TTempDir dir;
  TRunningServer server(dir.Path());
  auto client = server.Client();
  const auto health = client.Get("/healthz");
  ASSERT_TRUE(health);
  EXPECT_EQ(health->status, 200);
  EXPECT_EQ(Field(health->body, "store"), "true");
  EXPECT_EQ(Field(health->body, "held"), "0");
  // The counters are the process's: earlier tests' verifications are in them.
  const auto countIn = [](const std::string& text, const std::string& name) {
    const auto at = text.find(name);
    return at == std::string::npos ? 0L : std::stol(text.substr(at + name.size()));
  };
  const std::string verifiedName = "riftvaulter_verifications_total{verdict=\"verified\"} ";
  const std::string refusedName = "riftvaulter_verifications_total{verdict=\"refused\"} ";
  const std::string before = client.Get("/metrics")->body;
  const auto sent = Post(client, kLevel01, FakeRun(Line("Level01", kLevel01, 4242, "METRIC")));
  ASSERT_EQ(sent->status, 202);
  std::string forgedRun = FakeRun(Line("Level01", kLevel01, 4243, "METRIC"));
  forgedRun.replace(forgedRun.find("score=4243"), 10, "score=9243");  // the sum no longer matches
  const auto forged = Post(client, kLevel01, forgedRun);
  ASSERT_EQ(forged->status, 202);
  std::string metrics;
  for (int i = 0; i < 100; ++i) {
    metrics = client.Get("/metrics")->body;
    // Both verified (by the counters), the queue empty again.
    if (countIn(metrics, verifiedName) == countIn(before, verifiedName) + 1 &&
        countIn(metrics, refusedName) == countIn(before, refusedName) + 1 &&
        Field(client.Get("/healthz")->body, "queued") == "0")
      break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  for (const char* line : {"riftvaulter_queued_runs 0\n", "riftvaulter_store_up 1\n", "riftvaulter_held_runs 0\n",
                           "# TYPE riftvaulter_verification_seconds histogram\n",
                           "riftvaulter_verification_seconds_bucket{le=\"+Inf\"} ",
                           "riftvaulter_http_requests_total{status=\"202\"} ",
                           "riftvaulter_verifications_total{verdict=\"verified\"} ",
                           "riftvaulter_verifications_total{verdict=\"refused\"} "}) {
    EXPECT_NE(metrics.find(line), std::string::npos) << line << "\n" << metrics;
  }
  // Buckets count up to their bound: the last one holds every verification.
  const auto count = [&](const std::string& name) {
    const auto at = metrics.find(name);
    return at == std::string::npos ? -1 : std::stol(metrics.substr(at + name.size()));
  };
  EXPECT_GE(count("riftvaulter_verification_seconds_count "), 2);
  EXPECT_EQ(count("riftvaulter_verification_seconds_bucket{le=\"+Inf\"} "),
            count("riftvaulter_verification_seconds_count "));
  EXPECT_EQ(count("riftvaulter_verification_seconds_bucket{le=\"300\"} "),
            count("riftvaulter_verification_seconds_count "));
}

// Raw bytes to the server; what it answered within seconds ("" when it
// closed without an answer or said nothing in time).
std::string RawExchange(int port, const std::vector<std::string>& parts, double pauseSeconds, double waitSeconds) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return "";
  }
  for (const auto& part : parts) {
    (void)!send(fd, part.data(), part.size(), MSG_NOSIGNAL);
    std::this_thread::sleep_for(std::chrono::duration<double>(pauseSeconds));
  }
  timeval timeout{static_cast<time_t>(waitSeconds), 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  char buffer[4096];
  const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
  close(fd);
  return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : "";
}

// A huge body is refused on its announcement, a trickling one when its time
// is up, each on a closed connection.
TEST(ServerTest, SlowOrHugeBodiesAreCutOff) {
  TTempDir dir;
  TRunningServer server(dir.Path(), 0, [](TServerOptions& options) { options.BodySeconds = 1; });
  const std::string head = "POST /api/runs?stage=" + kLevel01 +
                           " HTTP/1.1\r\nHost: x\r\nContent-Type: application/octet-stream\r\nContent-Length: ";
  const auto start = std::chrono::steady_clock::now();
  const std::string huge = RawExchange(server.Port(), {head + "1073741824\r\n\r\nxx"}, 0, 3);
  EXPECT_EQ(huge.rfind("HTTP/1.1 413", 0), 0u) << huge;
  EXPECT_NE(huge.find("Connection: close"), std::string::npos) << huge;
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  const std::string slow = RawExchange(server.Port(), {head + "100\r\n\r\nx", "x", "x"}, 0.7, 3);
  EXPECT_EQ(slow.rfind("HTTP/1.1 408", 0), 0u) << slow;
}

}  // namespace
