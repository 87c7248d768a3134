// OnlineBoardTest.cpp -- the online leaderboard's client: against the real
// server on loopback, which replays the pilot's recording with the game;
// against a small stand-in server for the answers the real one rarely
// gives (a server gone, a status page, a slow verdict); the JSON reader the
// answers go through.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/OnlineUpload.h"
#include "app/StageHash.h"
#include "app/StageRun.h"
#include "menu/MainMenu.h"
#include "platform/RecordingPlatform.h"
#include "platform/VirtualKeys.h"
#include "services/Settings.h"
#include "stage/Level.h"
#include "support/MenuRuntime.h"
#include "menu/OnlineBoard.h"
#include "platform/Recording.h"
#include "services/Http.h"
#include "services/Json.h"
#include "services/Language.h"
#include "support/Run.h"
#include "support/TempDir.h"

namespace {

double NowMs() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct TSeenRequest {
  std::string Method, Target, ContentType, Body;
  double AtMs = 0;  // when it came, on NowMs's clock
};

// One thread accepting one connection after another; `answer` gives status
// and body for each request.
class TLoopbackServer {
 public:
  using TAnswer = std::function<std::pair<int, std::string>(const TSeenRequest&)>;
  explicit TLoopbackServer(TAnswer answer) : fAnswer(std::move(answer)) {
    fListen = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    EXPECT_EQ(bind(fListen, reinterpret_cast<sockaddr*>(&address), size), 0);
    EXPECT_EQ(listen(fListen, 8), 0);
    getsockname(fListen, reinterpret_cast<sockaddr*>(&address), &size);
    fPort = ntohs(address.sin_port);
    fThread = std::thread([this] { Serve(); });
  }
  ~TLoopbackServer() {
    fStop = true;
    shutdown(fListen, SHUT_RDWR);
    close(fListen);
    fThread.join();
  }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(fPort); }
  std::atomic<int> RetryAfter{1};
  std::vector<TSeenRequest> Seen() {
    std::lock_guard<std::mutex> lock(fMutex);
    return fSeen;
  }

 private:
  void Serve() {
    while (!fStop) {
      const int connection = accept(fListen, nullptr, nullptr);
      if (connection < 0) return;
      std::string data;
      char buffer[65536];
      std::size_t headerEnd = std::string::npos, length = 0;
      while (headerEnd == std::string::npos || data.size() < headerEnd + 4 + length) {
        const ssize_t got = recv(connection, buffer, sizeof buffer, 0);
        if (got <= 0) break;
        data.append(buffer, static_cast<std::size_t>(got));
        if (headerEnd == std::string::npos && (headerEnd = data.find("\r\n\r\n")) != std::string::npos) {
          const std::size_t at = data.find("Content-Length: ");
          if (at != std::string::npos && at < headerEnd) length = std::stoul(data.substr(at + 16));
        }
      }
      TSeenRequest request;
      request.AtMs = NowMs();
      request.Method = data.substr(0, data.find(' '));
      request.Target = data.substr(request.Method.size() + 1, data.find(' ', request.Method.size() + 1) - request.Method.size() - 1);
      if (const std::size_t at = data.find("Content-Type: "); at != std::string::npos)
        request.ContentType = data.substr(at + 14, data.find("\r\n", at) - at - 14);
      if (headerEnd != std::string::npos) request.Body = data.substr(headerEnd + 4);
      const auto [status, body] = fAnswer(request);
      {
        std::lock_guard<std::mutex> lock(fMutex);
        fSeen.push_back(request);
      }
      // A 429 or 503 says when to come back.
      const std::string retry = status == 429 || status == 503 ? "Retry-After: " + std::to_string(RetryAfter.load()) + "\r\n" : "";
      const std::string reply = "HTTP/1.1 " + std::to_string(status) + " X\r\n" + retry + "Content-Type: application/json\r\nContent-Length: " +
                                std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
      send(connection, reply.data(), reply.size(), MSG_NOSIGNAL);
      close(connection);
    }
  }

  TAnswer fAnswer;
  int fListen = -1;
  int fPort = 0;
  std::atomic<bool> fStop{false};
  std::mutex fMutex;
  std::vector<TSeenRequest> fSeen;
  std::thread fThread;
};

// Updates the board as the game's frames do (about 60 a second) until
// `done` or `limitMs` passed; returns the longest Update call in ms.
double RunFrames(TOnlineBoard& board, const std::function<bool()>& done, double limitMs = 20000) {
  double longest = 0;
  const double end = NowMs() + limitMs;
  while (!done() && NowMs() < end) {
    const double before = NowMs();
    board.Update(before);
    longest = std::max(longest, NowMs() - before);
    std::this_thread::sleep_for(std::chrono::milliseconds(16));
  }
  return longest;
}

bool Starts(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

// A TCP port free on loopback a moment ago.
int FreePort() {
  const int probe = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  bind(probe, reinterpret_cast<sockaddr*>(&address), size);
  getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size);
  close(probe);
  return ntohs(address.sin_port);
}

// riftvaulter-server of the build as a process of its own, stopped at the end.
class TServerProcess {
 public:
  TServerProcess(const std::string& dataDir, int port, std::vector<std::string> extra = {}) {
    const std::string binary = std::string(RV_BIN_DIR) + "/riftvaulter-server";
    std::vector<std::string> args = {binary, "--data", dataDir, "--port", std::to_string(port), "--bind", "127.0.0.1"};
    args.insert(args.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    // Its log goes beside its data, not into the test's output.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string log = dataDir + ".log";
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (posix_spawn(&fPid, binary.c_str(), &actions, nullptr, argv.data(), environ) != 0) fPid = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~TServerProcess() {
    if (fPid <= 0) return;
    kill(fPid, SIGINT);
    int status;
    waitpid(fPid, &status, 0);
  }
  bool Running() const { return fPid > 0; }

 private:
  pid_t fPid = -1;
};

}  // namespace

// The whole way: a challenge fetched from the server as the stage page
// fetches it, the pilot's run flown from its seed and recorded with it, sent
// as the game sends it, replayed by the server with the game, accepted and
// then on the board; the same run with one checksum changed is refused with
// the server's reason. (The server checks no clock here: the pilot flies
// faster than live. The live check has its own scenario in test-server.)
TEST(OnlineBoard, TheServerReplaysTheSentRunAndListsIt) {
  if (!std::filesystem::exists(std::string(RV_BIN_DIR) + "/riftvaulter-server")) GTEST_SKIP() << "built without the server";
  TTempDir dir;
  const int port = FreePort();
  TServerProcess server(dir.File("server"), port, {"--challenges", "off"});
  ASSERT_TRUE(server.Running());
  std::unique_ptr<THttpClient> http = MakeSystemHttpClient();
  const std::string url = "http://127.0.0.1:" + std::to_string(port);
  // Up once it answers its page: it asks the game for the stages' hashes
  // first, which takes seconds under the sanitizers on a busy machine.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
  while (std::chrono::steady_clock::now() < deadline) {
    const uint64_t id = http->Start(THttpRequest{"GET", url + "/", "", ""});
    std::optional<THttpResponse> page;
    while (!(page = http->Take(id))) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (page->Status == 200) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  TOnlineBoard board(*http, url);
  const std::string hash = StageSha256(ReadBytes(std::string(RV_BIN_DIR) + "/data/Level01.level"));
  std::optional<std::string> challenge;
  RunFrames(board, [&] {
    board.WantChallenge("Level01.level", hash, "Normal");
    challenge = board.TakeChallenge("Level01.level", "Normal", NowMs());
    return challenge.has_value();
  }, 10000);
  ASSERT_TRUE(challenge) << board.Note();

  const std::string file = dir.File("run.rvr");
  const TRun pilot = RunCommand(std::string("cd '") + RV_BIN_DIR + "' && ./riftvaulter --autopilot --headless --stage Level01 "
                                "--fixed-step 10 --seed 5 --difficulty Normal --challenge '" + *challenge +
                                "' --record-stage '" + file + "'");
  ASSERT_EQ(pilot.Status, 0) << pilot.Output;
  std::smatch total;
  ASSERT_TRUE(std::regex_search(pilot.Output, total, std::regex("Gesamt ([0-9]+)"))) << pilot.Output;
  RunFrames(board, [&] { return board.Board("Level01", "Normal").State != TOnlineBoardView::TState::Loading; }, 5000);
  ASSERT_EQ(board.Board("Level01", "Normal").State, TOnlineBoardView::TState::Ready) << board.Board("Level01", "Normal").Error;
  EXPECT_TRUE(board.Board("Level01", "Normal").Entries.empty());

  // Sent as the session sends it: the stage's own run, under the SHA-256 of
  // the stage file it starts with, flown from the challenge's seed.
  platform::TRecording recording = platform::LoadRecording(file);
  EXPECT_EQ(StageSha256(recording.StageFiles.at("Level01.level")), hash);
  EXPECT_EQ(recording.Challenge, *challenge);
  EXPECT_EQ(std::optional<uint32_t>(recording.StageSeed), SeedOfChallenge(*challenge));
  board.Submit(platform::SerializeRecording(recording), "Level01", hash);
  RunFrames(board, [&] { return !board.Busy(); }, 60000);
  EXPECT_EQ(board.Note(), "Online-Bestenliste: angenommen: AUTOPILOT mit " + total[1].str() + " Punkten");

  RunFrames(board, [&] { return board.Board("Level01", "Normal").State == TOnlineBoardView::TState::Ready &&
                                !board.Board("Level01", "Normal").Entries.empty(); }, 5000);
  const TOnlineBoardView& view = board.Board("Level01", "Normal");
  ASSERT_EQ(view.Entries.size(), 1u);
  EXPECT_EQ(view.Entries[0].Rank, 1);
  EXPECT_EQ(view.Entries[0].Name, "AUTOPILOT");
  EXPECT_EQ(std::to_string(view.Entries[0].Score), total[1].str());
  EXPECT_EQ(view.Entries[0].Difficulty, "Normal");

  for (platform::TRecordedFrame& frame : recording.Frames) {
    if (frame.HasChecksum && &frame != &recording.Frames.front()) {
      frame.Checksum ^= 1;
      break;
    }
  }
  board.Submit(platform::SerializeRecording(recording), "Level01", hash);
  RunFrames(board, [&] { return !board.Busy(); }, 60000);
  EXPECT_TRUE(Starts(board.Note(), "Online-Bestenliste: abgelehnt (")) << board.Note();
}

TEST(OnlineBoard, SendsTheRunFollowsItToItsVerdictAndFetchesTheBoard) {
  std::atomic<int> polls{0};
  TLoopbackServer server([&](const TSeenRequest& request) -> std::pair<int, std::string> {
    if (request.Method == "POST" && Starts(request.Target, "/api/runs?stage="))
      return {202, R"({"id":"r7","status":"queued"})"};
    if (request.Target == "/api/runs/r7") {
      // Queued twice, then verified, as a busy verifier answers.
      if (++polls < 3) return {200, R"({"id":"r7","status":"queued","stage":"Level01"})"};
      return {200, R"({"id":"r7","status":"verified","stage":"Level01","name":"ANNA B","score":51776,"life":73,"time":312.4})"};
    }
    if (request.Target == "/api/boards/Level01?difficulty=Normal&limit=10")
      return {200, R"({"stage":"Level01","entries":[{"rank":1,"name":"ANNA B","score":51776,"life":73,"time":312.4,"difficulty":"Normal"},)"
                   R"({"rank":2,"name":"J\u00dcRGEN","score":40000,"life":5,"time":400,"difficulty":"Schwer"}]})"};
    return {404, R"({"error":"not_found","message":"unbekannt"})"};
  });
  std::unique_ptr<THttpClient> http = MakeSystemHttpClient();
  TOnlineBoard board(*http, server.Url() + "/");

  // The recording's bytes are binary: zeros and high bytes go through as sent.
  std::string recording("RVREPLAY\0\x04\xff", 11);
  recording += std::string(300000, '\x81');
  board.Submit(recording, "Level01", "0123456789abcdef");
  EXPECT_EQ(board.Note(), "Online-Bestenliste: Lauf wird gesendet ...");
  const double longest = RunFrames(board, [&] { return !board.Busy(); });
  EXPECT_EQ(board.Note(), "Online-Bestenliste: angenommen: ANNA B mit 51776 Punkten");
  // The frames never waited for the network.
  EXPECT_LT(longest, 5.0);
  EXPECT_EQ(polls.load(), 3);

  const std::vector<TSeenRequest> seen = server.Seen();
  ASSERT_GE(seen.size(), 4u);
  EXPECT_EQ(seen[0].Target, "/api/runs?stage=0123456789abcdef");
  EXPECT_EQ(seen[0].ContentType, "application/octet-stream");
  EXPECT_EQ(seen[0].Body, recording);
  EXPECT_EQ(seen[1].Method, "GET");

  // The board: loading first, then the list (a UTF-8 name in the game's
  // code page); asked once, not every frame.
  EXPECT_EQ(board.Board("Level01", "Normal").State, TOnlineBoardView::TState::Loading);
  RunFrames(board, [&] { return board.Board("Level01", "Normal").State != TOnlineBoardView::TState::Loading; });
  const TOnlineBoardView& view = board.Board("Level01", "Normal");
  ASSERT_EQ(view.State, TOnlineBoardView::TState::Ready);
  ASSERT_EQ(view.Entries.size(), 2u);
  EXPECT_EQ(view.Entries[0].Name, "ANNA B");
  EXPECT_EQ(view.Entries[0].Score, 51776);
  EXPECT_EQ(view.Entries[1].Rank, 2);
  EXPECT_EQ(view.Entries[1].Name, "J\xDCRGEN");
  EXPECT_EQ(view.Entries[1].Difficulty, "Schwer");
  EXPECT_EQ(server.Seen().size(), seen.size() + 1);

  // The message goes once the menu showed it long enough.
  board.NoteShown(kNoteShownMs - 1);
  EXPECT_FALSE(board.Note().empty());
  board.NoteShown(1);
  EXPECT_TRUE(board.Note().empty());
}

TEST(OnlineBoard, RefusalsAndMissingServersAreSaidOnceAndEndTheRun) {
  TLoopbackServer server([&](const TSeenRequest& request) -> std::pair<int, std::string> {
    if (request.Target == "/api/runs?stage=aaaaaaaaaaaaaaaa") return {202, R"({"id":"bad","status":"queued"})"};
    if (request.Target == "/api/runs/bad")
      return {200, R"j({"id":"bad","status":"refused","reason":"Wiedergabe weicht ab (Bild 812)"})j"};
    if (Starts(request.Target, "/api/runs?stage=")) return {404, R"({"error":"unknown_stage","message":"Level unbekannt"})"};
    return {500, "kaputt"};
  });
  std::unique_ptr<THttpClient> http = MakeSystemHttpClient();
  struct TCase {
    std::string Server, Hash, Recording, Note;
    bool NoRequest;
  };
  // A port nobody listens on: the listening socket of a server just gone.
  std::string gone;
  {
    TLoopbackServer closed([](const TSeenRequest&) { return std::pair<int, std::string>{200, ""}; });
    gone = closed.Url();
  }
  const TCase cases[] = {
      {server.Url(), "aaaaaaaaaaaaaaaa", "x", "Online-Bestenliste: abgelehnt (Wiedergabe weicht ab (Bild 812))", false},
      {server.Url(), "bbbbbbbbbbbbbbbb", "x", "Online-Bestenliste: abgelehnt (Level unbekannt)", false},
      {gone, "cccccccccccccccc", "x", "Online-Bestenliste: Server nicht erreichbar, der Lauf wird sp\xE4ter gesendet", false},
      {server.Url(), "dddddddddddddddd", std::string(kMaxUploadBytes + 1, 'r'),
       "Online-Bestenliste: Aufnahme zu gro\xDF (2048 KB, h\xF6" "chstens 2048 KB), der Lauf wurde nicht gesendet", true},
      {"ftp://example", "eeeeeeeeeeeeeeee", "x",
       "Online-Bestenliste: Serveradresse 'ftp://example' ung\xFCltig, erwartet wird http://HOST:PORT, der Lauf wurde nicht gesendet", true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Hash);
    TOnlineBoard board(*http, c.Server);
    const std::size_t before = server.Seen().size();
    board.Submit(c.Recording, "Level01", c.Hash);
    RunFrames(board, [&] { return !board.Busy(); });
    EXPECT_FALSE(board.Busy());
    EXPECT_EQ(board.Note(), c.Note);
    if (c.NoRequest) {
      EXPECT_EQ(server.Seen().size(), before);
    }
  }

  // In English the note and the system's reason in it are English.
  SetLanguage(TLanguage::English);
  TOnlineBoard english(*http, gone);
  english.Submit("x", "Level01", "ffffffffffffffff");
  RunFrames(english, [&] { return !english.Busy(); });
  SetLanguage(TLanguage::German);
  EXPECT_EQ(english.Note(), "Online leaderboard: Server cannot be reached, the run will be sent later");

  // A board the server cannot give is named, and not asked for again at
  // once.
  TOnlineBoard board(*http, server.Url());
  RunFrames(board, [&] { return board.Board("Level02", "Normal").State != TOnlineBoardView::TState::Loading; });
  EXPECT_EQ(board.Board("Level02", "Normal").State, TOnlineBoardView::TState::Failed);
  EXPECT_EQ(board.Board("Level02", "Normal").Error, "Server antwortet mit Status 500");
  const std::size_t asked = server.Seen().size();
  RunFrames(board, [] { return false; }, 500);
  EXPECT_EQ(server.Seen().size(), asked);
}

// Numbers beyond what the game keeps make the answer malformed (they were
// cast without a look), and a refusal reads in the player's language: the
// server's own German text, or in English the game's text for its code, the
// server's text for a code the game does not know.
TEST(OnlineBoard, NumbersOutOfRangeAreUnreadableAndRefusalsGoByTheirCode) {
  TLoopbackServer server([&](const TSeenRequest& request) -> std::pair<int, std::string> {
    if (request.Target == "/api/runs?stage=1111111111111111") return {202, R"({"id":"big","status":"queued"})"};
    if (request.Target == "/api/runs/big") return {200, R"({"id":"big","status":"verified","name":"X","score":1e300})"};
    if (request.Target == "/api/runs?stage=2222222222222222")
      return {404, R"({"error":"unknown_stage","message":"Diese Strecke kennt der Server nicht."})"};
    if (request.Target == "/api/runs?stage=4444444444444444") return {202, R"({"id":"used","status":"queued"})"};
    if (request.Target == "/api/runs/used")
      return {200, R"({"id":"used","status":"refused","reason":"Herausforderung schon benutzt.","code":"challenge_used"})"};
    if (request.Target == "/api/runs?stage=3333333333333333")
      return {400, R"({"error":"brand_new","message":"Neu: ä"})"};
    const auto entry = [](const std::string& numbers) {
      return R"({"entries":[{"rank":1,"name":"A","score":5,"life":1,"time":2},{"name":"B",)" + numbers + "}]}";
    };
    if (request.Target == "/api/boards/Rank?difficulty=Normal&limit=10") return {200, entry(R"("rank":1e300)")};
    if (request.Target == "/api/boards/Score?difficulty=Normal&limit=10") return {200, entry(R"("score":-1e300)")};
    if (request.Target == "/api/boards/Life?difficulty=Normal&limit=10") return {200, entry(R"("life":3000000000)")};
    if (request.Target == "/api/boards/Time?difficulty=Normal&limit=10") return {200, entry(R"("time":1e999)")};
    if (request.Target == "/api/boards/Fine?difficulty=Normal&limit=10") return {200, entry(R"("rank":2,"score":4503599627370496)")};
    return {500, ""};
  });
  std::unique_ptr<THttpClient> http = MakeSystemHttpClient();
  const auto noteFor = [&](const std::string& hash) {
    TOnlineBoard board(*http, server.Url());
    board.Submit("x", "Level01", hash);
    RunFrames(board, [&] { return !board.Busy(); });
    return board.Note();
  };
  EXPECT_EQ(noteFor("1111111111111111"),
            "Online-Bestenliste: Lauf nicht mehr abrufbar (unlesbare Antwort des Servers)");
  EXPECT_EQ(noteFor("2222222222222222"), "Online-Bestenliste: abgelehnt (Diese Strecke kennt der Server nicht.)");
  SetLanguage(TLanguage::English);
  const std::string known = noteFor("2222222222222222"), unknown = noteFor("3333333333333333");
  const std::string refusedEnglish = noteFor("4444444444444444");
  SetLanguage(TLanguage::German);
  EXPECT_EQ(refusedEnglish, "Online leaderboard: refused (the challenge was already used)");
  EXPECT_EQ(noteFor("4444444444444444"), "Online-Bestenliste: abgelehnt (Herausforderung schon benutzt.)");
  EXPECT_EQ(known, "Online leaderboard: refused (the server does not know this stage)");
  EXPECT_EQ(unknown, "Online leaderboard: refused (Neu: \xE4)");

  TOnlineBoard board(*http, server.Url());
  for (const char* stage : {"Rank", "Score", "Life", "Time", "Fine"}) {
    RunFrames(board, [&] { return board.Board(stage, "Normal").State != TOnlineBoardView::TState::Loading; });
  }
  for (const char* stage : {"Rank", "Score", "Life", "Time"}) {
    EXPECT_EQ(board.Board(stage, "Normal").State, TOnlineBoardView::TState::Failed) << stage;
    EXPECT_EQ(board.Board(stage, "Normal").Error, "unlesbare Antwort des Servers") << stage;
    EXPECT_TRUE(board.Board(stage, "Normal").Entries.empty()) << stage;
  }
  const TOnlineBoardView& fine = board.Board("Fine", "Normal");
  ASSERT_EQ(fine.State, TOnlineBoardView::TState::Ready);
  ASSERT_EQ(fine.Entries.size(), 2u);
  EXPECT_EQ(fine.Entries[1].Rank, 2);
  EXPECT_EQ(fine.Entries[1].Score, int64_t{1} << 52);
}

// A run the game kept while the server was down outlives the game: the
// next start sends it, waiting as long as the server's Retry-After says,
// and its file goes only with the verdict. Challenges stay fresh, one
// request at a time, and each starts one stage only.
TEST(OnlineBoard, KeptRunsOutliveTheGameRetryAfterIsObeyedAndChallengesStartOneStage) {
  TTempDir dir;
  const std::string queue = dir.File("queue");
  // A stage's run as the game keeps it.
  platform::TRecording run;
  run.StartStage = "Level01.level";
  run.StageFiles[run.StartStage] = "[Level]\r\nTitle=Probe\r\n";
  run.Challenge = "v1.x.Normal.77.00.1.ff";
  run.StageSeed = 77;
  run.ScreenWidth = 640;
  run.ScreenHeight = 480;
  run.Frames.resize(3);
  const std::string recording = platform::SerializeRecording(run);
  const std::string hash = StageSha256(run.StageFiles[run.StartStage]);

  std::atomic<bool> up{false};
  std::atomic<int> polls{0}, challenges{0};
  TLoopbackServer server([&](const TSeenRequest& request) -> std::pair<int, std::string> {
    if (request.Target == "/api/challenges?stage=" + hash + "&difficulty=Schwer") {
      const int n = ++challenges;
      return {201, R"({"challenge":"v1.)" + hash + ".Schwer." + std::to_string(1000 + n) + R"(.00.1.ff","seed":1,"expires":1})"};
    }
    if (!up) return {503, R"({"error":"unavailable","message":"gleich wieder da"})"};
    if (request.Method == "POST" && request.Target == "/api/runs?stage=" + hash) return {202, R"({"id":"q1","status":"queued"})"};
    // The first look at the verdict is put off.
    if (request.Target == "/api/runs/q1")
      return ++polls == 1 ? std::pair<int, std::string>{429, R"({"error":"rate_limited"})"}
                          : std::pair<int, std::string>{200, R"({"id":"q1","status":"verified","name":"ANNA","score":7})"};
    return {404, R"({"error":"not_found"})"};
  });
  const auto seen = [&](const std::string& method, const std::string& prefix) {
    std::vector<TSeenRequest> found;
    for (const TSeenRequest& request : server.Seen())
      if (request.Method == method && Starts(request.Target, prefix)) found.push_back(request);
    return found;
  };
  std::string file;
  {
    // The game: the server is down, the run waits on disk; then the game
    // closes.
    std::unique_ptr<THttpClient> http = MakeSystemHttpClient();
    TOnlineBoard board(*http, server.Url());
    file = QueueRunFile(queue, recording, "Level01");
    board.Submit(recording, "Level01", hash, file);
    RunFrames(board, [&] { return seen("POST", "/api/runs").size() >= 2 && !board.Busy(); }, 8000);
    const std::vector<TSeenRequest> posts = seen("POST", "/api/runs");
    ASSERT_EQ(posts.size(), 2u);
    // The server said one second, not the board's own five.
    EXPECT_GE(posts[1].AtMs - posts[0].AtMs, 950);
    EXPECT_LT(posts[1].AtMs - posts[0].AtMs, kRetryFirstMs - 500);
    EXPECT_EQ(board.Note(), "Online-Bestenliste: gleich wieder da, der Lauf wird sp\xE4ter gesendet");
    EXPECT_EQ(board.Waiting(), 1u);
    EXPECT_TRUE(std::filesystem::exists(file));
  }
  // A damaged file beside it is dropped, not sent.
  const std::string damaged = queue + "/0000000000000001-Level02.rvr";
  { std::ofstream(damaged, std::ios::binary) << recording.substr(0, recording.size() - 1) + "x"; }

  // The next start, the server back: the kept run goes out and its file
  // goes with the verdict, which came a second after the 429.
  up = true;
  std::unique_ptr<THttpClient> http = MakeSystemHttpClient();
  TOnlineBoard board(*http, server.Url());
  ResumeQueuedRuns(board, queue);
  EXPECT_FALSE(std::filesystem::exists(damaged));
  EXPECT_EQ(board.Waiting(), 1u);
  RunFrames(board, [&] { return board.Waiting() == 0; }, 10000);
  EXPECT_EQ(board.Note(), "Online-Bestenliste: angenommen: ANNA mit 7 Punkten");
  EXPECT_FALSE(std::filesystem::exists(file));
  const std::vector<TSeenRequest> posts = seen("POST", "/api/runs");
  ASSERT_EQ(posts.size(), 3u);
  EXPECT_EQ(posts[2].Body, recording);
  const std::vector<TSeenRequest> looks = seen("GET", "/api/runs/q1");
  ASSERT_EQ(looks.size(), 2u);
  EXPECT_GE(looks[1].AtMs - looks[0].AtMs, 950);

  // Challenges: one ready for the stage wanted, taken once, refreshed as it
  // ages, never older than allowed.
  // `ms` of frames at the game's clock `shiftMs` ahead of the real one.
  const auto frames = [&](double ms, double shiftMs, bool wanted) {
    const double end = NowMs() + ms;
    while (NowMs() < end) {
      board.Update(NowMs() + shiftMs);
      if (wanted) board.WantChallenge("Level01.level", hash, "Schwer");
      std::this_thread::sleep_for(std::chrono::milliseconds(16));
    }
  };
  EXPECT_FALSE(board.TakeChallenge("Level01.level", "Schwer", NowMs()));
  frames(500, 0, true);
  EXPECT_EQ(challenges.load(), 1);  // one at a time, not one a frame
  EXPECT_FALSE(board.TakeChallenge("Level01.level", "Normal", NowMs()));
  EXPECT_EQ(board.TakeChallenge("Level01.level", "Schwer", NowMs()), "v1." + hash + ".Schwer.1001.00.1.ff");
  EXPECT_FALSE(board.TakeChallenge("Level01.level", "Schwer", NowMs()));
  frames(500, 0, true);
  EXPECT_EQ(challenges.load(), 2);
  // Aging: fetched anew past kChallengeRefreshMs, never used past
  // kChallengeMaxAgeMs, and not fetched for a stage no longer wanted.
  frames(300, kChallengeRefreshMs + 100, true);
  EXPECT_EQ(challenges.load(), 3);
  frames(300, 2 * kChallengeRefreshMs + 500, false);
  EXPECT_EQ(challenges.load(), 3);
  EXPECT_TRUE(board.TakeChallenge("Level01.level", "Schwer", NowMs() + kChallengeRefreshMs + kChallengeMaxAgeMs - 3000));
  frames(300, 0, true);
  EXPECT_FALSE(board.TakeChallenge("Level01.level", "Schwer", NowMs() + kChallengeMaxAgeMs + 1000));

  // At most kQueueLimit runs wait; the oldest file goes first.
  TOnlineBoard full(*http, server.Url());
  std::vector<std::string> files;
  for (std::size_t i = 0; i < kQueueLimit + 2; ++i) {
    files.push_back(QueueRunFile(dir.File("full"), recording, "Level01"));
    full.Resume(recording, "Level01", hash, files.back());
  }
  EXPECT_EQ(full.Waiting(), kQueueLimit);
  EXPECT_FALSE(std::filesystem::exists(files[0]));
  EXPECT_FALSE(std::filesystem::exists(files[1]));
  EXPECT_TRUE(std::filesystem::exists(files[2]));
}

// The game's side as a session wires it: the stage page's stage gets a
// challenge, the stage starts with it, and the run sent carries it and
// flies its seed; with the server down at the start the finish screen says
// the run is not for the board, and nothing of it is sent.
class OnlineSessionTest : public TMenuTest {};

TEST_F(OnlineSessionTest, AStageStartsWithTheReadyChallengeAndWithoutOneNothingIsSent) {
  Runtime.WritePlayableStage("A.level", "Erste", true);
  const std::string hash = StageSha256(ReadBytes(Runtime.Data("A.level")));
  std::atomic<bool> up{true};
  std::atomic<int> challenges{0};
  TLoopbackServer server([&](const TSeenRequest& request) -> std::pair<int, std::string> {
    if (!up) return {503, R"({"error":"unavailable"})"};
    if (request.Target == "/api/challenges?stage=" + hash + "&difficulty=Normal")
      return {201, R"({"challenge":"v1.)" + hash + ".Normal." + std::to_string(4242 + ++challenges) + R"(.00.1.ff"})"};
    if (request.Method == "POST") return {202, R"({"id":"r1","status":"queued"})"};
    return {200, R"({"id":"r1","status":"queued"})"};
  });
  ASSERT_TRUE(WriteSettings(Runtime.Base() + "settings.ini", kOnlineSection, {{"enabled", "1"}, {"server", server.Url()}}));

  platform::TRecordingPlatform recorder(Keys, {}, false);
  Create();
  Menu.reset();
  Menu = std::make_unique<TMainMenu>(recorder, Sound, TextContext, Window.Width(), Window.Height());
  TMainMenu& menu = *Menu;
  TOnlineUpload upload(server.Url(), Runtime.Dir.File("queue"));
  TStageRuns stages(&recorder);
  upload.Attach(menu);
  stages.Attach(menu);
  stages.ChallengeFor = [&](const std::string& fileName) { return upload.ChallengeFor(menu, fileName); };
  const auto frames = [&](int count) {
    for (int i = 0; i < count; ++i) {
      (void)recorder.PumpEvents();
      menu.Progress(16);
      stages.FrameDone(*menu.Level, false);
      upload.FrameDone(menu, stages);
      std::this_thread::sleep_for(std::chrono::milliseconds(16));
    }
  };
  const auto press = [&](int vk) {
    Keys.SetKey(vk, true);
    frames(1);
    Keys.SetKey(vk, false);
    frames(12);
  };
  const auto nameIt = [&] {
    stages.NameConfirmed();
    upload.NameConfirmed();
    frames(20);
  };
  const auto posts = [&] {
    std::vector<TSeenRequest> found;
    for (const TSeenRequest& request : server.Seen())
      if (request.Method == "POST" && Starts(request.Target, "/api/runs")) found.push_back(request);
    return found;
  };

  press(platform::kVkReturn);  // the stage page, A under the cursor
  ASSERT_EQ(menu.fPath, kStagePage);
  frames(15);
  EXPECT_EQ(challenges.load(), 1);
  press(platform::kVkReturn);
  ASSERT_TRUE(menu.Level->fActive);
  const std::string token = "v1." + hash + ".Normal.4243.00.1.ff";
  EXPECT_EQ(stages.Challenge(), token);
  EXPECT_EQ(menu.fStageSeed, 4243u);
  EXPECT_FALSE(menu.Level->fNotForBoard);
  nameIt();
  ASSERT_EQ(posts().size(), 1u);
  const platform::TRecording sent = platform::ParseRecording(posts()[0].Body);
  EXPECT_EQ(sent.Challenge, token);
  EXPECT_EQ(sent.StageSeed, 4243u);
  EXPECT_EQ(sent.StartStage, "A.level");
  EXPECT_EQ(menu.fOnline->Waiting(), 1u);  // kept until its verdict

  // R on the finish screen starts the stage with the challenge kept ready
  // for the stage in flight.
  menu.Level->fFinish.State = TFinishState::Passed;
  menu.Level->fFinish.Time = 1e6f;
  press('R');
  ASSERT_TRUE(menu.Level->fActive);
  EXPECT_EQ(menu.Level->fFinish.State, TFinishState::Running);
  EXPECT_EQ(stages.Challenge(), "v1." + hash + ".Normal.4244.00.1.ff");
  EXPECT_EQ(menu.fStageSeed, 4244u);

  // The server goes; the challenge fetched for another try of A is used
  // up, and no other comes.
  up = false;
  frames(10);
  (void)menu.fOnline->TakeChallenge("A.level", "Normal", NowMs());
  menu.Level->fActive = false;
  frames(10);
  press(platform::kVkReturn);
  press(platform::kVkReturn);
  ASSERT_TRUE(menu.Level->fActive);
  EXPECT_TRUE(stages.Challenge().empty());
  EXPECT_TRUE(menu.Level->fNotForBoard);
  menu.Level->fFinish.State = TFinishState::Passed;
  menu.Level->fFinish.Time = 1e6f;
  bool noted = false;
  for (const THudText& text : menu.Level->ResultTexts(640, 480, 20))
    noted = noted || text.Text == "Dieser Lauf ist nicht f\xFCr die Online-Bestenliste (keine Verbindung zum Server beim Start)";
  EXPECT_TRUE(noted);
  nameIt();
  EXPECT_EQ(posts().size(), 1u);
  EXPECT_EQ(menu.fOnline->Waiting(), 1u);
  Menu.reset();
}

TEST(OnlineBoard, JsonReaderTakesTheServersAnswersAndRefusesBrokenText) {
  const std::optional<TJsonValue> run = ParseJson(
      R"( {"id":"r1","score":51776,"time":312.4,"neg":-1.5e2,"ok":true,"no":false,"none":null,)"
      R"("list":[1,[2],{}],"text":"a\"b\\c\u00e4\ud83d\ude00\n"} )");
  ASSERT_TRUE(run);
  EXPECT_EQ(run->Text("id"), "r1");
  EXPECT_EQ(run->NumberOr("score", 0), 51776);
  EXPECT_DOUBLE_EQ(run->NumberOr("time", 0), 312.4);
  EXPECT_DOUBLE_EQ(run->NumberOr("neg", 0), -150);
  EXPECT_TRUE(run->Find("ok")->Bool);
  EXPECT_FALSE(run->Find("no")->Bool);
  EXPECT_EQ(run->Find("none")->Kind, TJsonValue::TKind::Null);
  EXPECT_EQ(run->Find("list")->Array.size(), 3u);
  EXPECT_EQ(run->Text("text"), "a\"b\\c\xC3\xA4\xF0\x9F\x98\x80\n");
  // The wrong kind or a missing key gives the default.
  EXPECT_EQ(run->Text("score", "-"), "-");
  EXPECT_EQ(run->NumberOr("id", 7), 7);

  for (const char* broken : {"", "{", "{\"a\":}", "[1,]", "{\"a\" 1}", "\"abc", "01x", "1.", "tru", "{} {}",
                             "\"\\ud800\"", "\"\\q\"", "\"a\nb\""}) {
    EXPECT_FALSE(ParseJson(broken)) << broken;
  }
  EXPECT_FALSE(ParseJson(std::string(1000, '[') + std::string(1000, ']')));
}
