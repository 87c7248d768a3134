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
#include <regex>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/StageHash.h"
#include "menu/OnlineBoard.h"
#include "platform/Recording.h"
#include "services/Http.h"
#include "services/Json.h"
#include "services/Language.h"
#include "support/Run.h"
#include "support/TempDir.h"

namespace {

struct TSeenRequest {
  std::string Method, Target, ContentType, Body;
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
      const std::string reply = "HTTP/1.1 " + std::to_string(status) + " X\r\nContent-Type: application/json\r\nContent-Length: " +
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

double NowMs() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

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
  TServerProcess(const std::string& dataDir, int port) {
    const std::string binary = std::string(RV_BIN_DIR) + "/riftvaulter-server";
    std::vector<std::string> args = {binary, "--data", dataDir, "--port", std::to_string(port), "--bind", "127.0.0.1"};
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

// The whole way: the pilot's recorded run, sent as the game sends it, is
// replayed by the server with the game, accepted and then on the board; the
// same run with one checksum changed is refused with the server's reason.
TEST(OnlineBoard, TheServerReplaysTheSentRunAndListsIt) {
  if (!std::filesystem::exists(std::string(RV_BIN_DIR) + "/riftvaulter-server")) GTEST_SKIP() << "built without the server";
  TTempDir dir;
  const std::string file = dir.File("run.rvr");
  const TRun pilot = RunCommand(std::string("cd '") + RV_BIN_DIR + "' && ./riftvaulter --autopilot --headless --stage Level01 "
                                "--fixed-step 10 --seed 5 --difficulty Normal --record-stage '" + file + "'");
  ASSERT_EQ(pilot.Status, 0) << pilot.Output;
  std::smatch total;
  ASSERT_TRUE(std::regex_search(pilot.Output, total, std::regex("Gesamt ([0-9]+)"))) << pilot.Output;

  const int port = FreePort();
  TServerProcess server(dir.File("server"), port);
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
  RunFrames(board, [&] { return board.Board("Level01").State != TOnlineBoardView::TState::Loading; }, 5000);
  ASSERT_EQ(board.Board("Level01").State, TOnlineBoardView::TState::Ready) << board.Board("Level01").Error;
  EXPECT_TRUE(board.Board("Level01").Entries.empty());

  // Sent as the session sends it: the stage's own run, under the SHA-256 of
  // the stage file it starts with.
  platform::TRecording recording = platform::LoadRecording(file);
  const std::string hash = StageSha256(recording.StageFiles.at("Level01.level"));
  board.Submit(platform::SerializeRecording(recording), "Level01", hash);
  RunFrames(board, [&] { return !board.Busy(); }, 60000);
  EXPECT_EQ(board.Note(), "Online-Bestenliste: angenommen: AUTOPILOT mit " + total[1].str() + " Punkten");

  RunFrames(board, [&] { return board.Board("Level01").State == TOnlineBoardView::TState::Ready &&
                                !board.Board("Level01").Entries.empty(); }, 5000);
  const TOnlineBoardView& view = board.Board("Level01");
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
    if (request.Target == "/api/boards/Level01?limit=10")
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
  EXPECT_EQ(board.Board("Level01").State, TOnlineBoardView::TState::Loading);
  RunFrames(board, [&] { return board.Board("Level01").State != TOnlineBoardView::TState::Loading; });
  const TOnlineBoardView& view = board.Board("Level01");
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
      {gone, "cccccccccccccccc", "x", "Online-Bestenliste: Server nicht erreichbar, der Lauf wurde nicht gewertet", false},
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
  EXPECT_EQ(english.Note(), "Online leaderboard: Server cannot be reached, the run was not counted");

  // A board the server cannot give is named, and not asked for again at
  // once.
  TOnlineBoard board(*http, server.Url());
  RunFrames(board, [&] { return board.Board("Level02").State != TOnlineBoardView::TState::Loading; });
  EXPECT_EQ(board.Board("Level02").State, TOnlineBoardView::TState::Failed);
  EXPECT_EQ(board.Board("Level02").Error, "Server antwortet mit Status 500");
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
    if (request.Target == "/api/runs?stage=3333333333333333")
      return {400, R"({"error":"brand_new","message":"Neu: ä"})"};
    const auto entry = [](const std::string& numbers) {
      return R"({"entries":[{"rank":1,"name":"A","score":5,"life":1,"time":2},{"name":"B",)" + numbers + "}]}";
    };
    if (request.Target == "/api/boards/Rank?limit=10") return {200, entry(R"("rank":1e300)")};
    if (request.Target == "/api/boards/Score?limit=10") return {200, entry(R"("score":-1e300)")};
    if (request.Target == "/api/boards/Life?limit=10") return {200, entry(R"("life":3000000000)")};
    if (request.Target == "/api/boards/Time?limit=10") return {200, entry(R"("time":1e999)")};
    if (request.Target == "/api/boards/Fine?limit=10") return {200, entry(R"("rank":2,"score":4503599627370496)")};
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
  SetLanguage(TLanguage::German);
  EXPECT_EQ(known, "Online leaderboard: refused (the server does not know this stage)");
  EXPECT_EQ(unknown, "Online leaderboard: refused (Neu: \xE4)");

  TOnlineBoard board(*http, server.Url());
  for (const char* stage : {"Rank", "Score", "Life", "Time", "Fine"}) {
    RunFrames(board, [&] { return board.Board(stage).State != TOnlineBoardView::TState::Loading; });
  }
  for (const char* stage : {"Rank", "Score", "Life", "Time"}) {
    EXPECT_EQ(board.Board(stage).State, TOnlineBoardView::TState::Failed) << stage;
    EXPECT_EQ(board.Board(stage).Error, "unlesbare Antwort des Servers") << stage;
    EXPECT_TRUE(board.Board(stage).Entries.empty()) << stage;
  }
  const TOnlineBoardView& fine = board.Board("Fine");
  ASSERT_EQ(fine.State, TOnlineBoardView::TState::Ready);
  ASSERT_EQ(fine.Entries.size(), 2u);
  EXPECT_EQ(fine.Entries[1].Rank, 2);
  EXPECT_EQ(fine.Entries[1].Score, int64_t{1} << 52);
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
