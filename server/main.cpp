// main.cpp -- riftvaulter-server: the online leaderboard. Reads its options,
// opens the store, asks the game for its stages and serves until SIGINT or
// SIGTERM.
#include <signal.h>
#include <unistd.h>

#include <charconv>
#include <fstream>
#include <iterator>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>

#include "RunJson.h"
#include "Server.h"

namespace {

constexpr const char* kUsage =
    "Aufruf: riftvaulter-server --data ORDNER --port N [Optionen]\n"
    "  --data ORDNER        Daten des Servers (leaderboard.sqlite, tmp/)\n"
    "  --port N             TCP-Port (0: ein freier, wird im Protokoll genannt)\n"
    "  --bind ADRESSE       Adresse, auf der der Server h\u00f6rt (Vorgabe 127.0.0.1)\n"
    "  --db URL             postgresql://... statt SQLite in --data\n"
    "  --verifier PROGRAMM  das Spiel, das L\u00e4ufe pr\u00fcft (Vorgabe: riftvaulter neben dem Server);\n"
    "                       seine Strecken (data/ neben ihm) sind die des Servers\n"
    "  --workers N          Pr\u00fcfungen gleichzeitig (Vorgabe 2)\n"
    "  --verify-seconds S   Zeitlimit einer Pr\u00fcfung, Uhr- und Rechenzeit (Vorgabe 120)\n"
    "  --verify-memory MB   Adressraum einer Pr\u00fcfung (Vorgabe 2048)\n"
    "  --lease S            nach S Sekunden pr\u00fcft ein anderer einen liegen gebliebenen Lauf\n"
    "                       (Vorgabe: Zeitlimit + 60)\n"
    "  --rate N             Anfragen pro Minute und Adresse, 0: unbegrenzt (Vorgabe 120)\n"
    "  --challenges on|off  on (Vorgabe): nur L\u00e4ufe mit einer Herausforderung dieses Servers kommen in die\n"
    "                       Bestenliste; off: eine private Bestenliste nimmt auch L\u00e4ufe ohne\n"
    "  --challenge-seconds S  so lange nach ihrer Ausgabe darf eine Herausforderung eine Strecke\n"
    "                       beginnen (Vorgabe 45)\n"
    "  --secret-file DATEI  Schl\u00fcssel der Herausforderungen (mindestens 16 Bytes; Vorgabe: einer, den\n"
    "                       der erste Start in der Datenbank anlegt und alle Server der Datenbank teilen)\n"
    // Facing the internet.
    "  --upload-rate N      L\u00e4ufe (POST /api/runs) pro Minute und Adresse, 0: unbegrenzt (Vorgabe 6);\n"
    "                       IPv6-Adressen z\u00e4hlen je /64-Netz\n"
    "  --trusted-proxy ADR  ein Proxy davor (mehrfach): von ihm gilt die letzte Adresse in\n"
    "                       X-Forwarded-For als die des Spielers\n"
    "  --allow-origin URL   eine Seite anderer Herkunft, die lesen und senden darf (mehrfach;\n"
    "                       Vorgabe: nur die eigene Herkunft)\n"
    "  --threads N          Verbindungen gleichzeitig (Vorgabe 256)\n";

[[noreturn]] void Fail(const std::string& message) {
  std::cerr << "riftvaulter-server: " << message << "\n";
  std::exit(2);
}

int Number(const std::string& option, const std::string& text, int low, int high) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
    Fail(option + " erwartet eine Zahl von " + std::to_string(low) + " bis " + std::to_string(high) + ", nicht \"" +
         text + "\".");
  }
  return value;
}

// The operator's key for the challenges: the file's bytes, line ends at
// its end dropped.
std::string ReadSecret(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string secret((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in.is_open() || in.bad()) Fail("Die Schl\u00fcsseldatei " + path + " l\u00e4sst sich nicht lesen.");
  while (!secret.empty() && (secret.back() == '\n' || secret.back() == '\r')) secret.pop_back();
  if (secret.size() < 16) {
    Fail("Die Schl\u00fcsseldatei " + path + " ist zu kurz: ein Schl\u00fcssel hat mindestens 16 Bytes (" +
         std::to_string(secret.size()) + " gelesen).");
  }
  return secret;
}

}  // namespace

int main(int argc, char** argv) {
  std::string data, db, verifier;
  TServerOptions options;
  bool havePort = false;
  int verifySeconds = 120, memoryMb = 2048, lease = -1;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--help" || option == "-h") {
      std::cout << kUsage;
      return 0;
    }
    if (i + 1 >= argc) Fail("Unbekannte Option oder fehlender Wert: " + option + "\n" + kUsage);
    const std::string value = argv[++i];
    if (option == "--data") data = value;
    else if (option == "--port") options.Port = Number(option, value, 0, 65535), havePort = true;
    else if (option == "--bind") options.Bind = value;
    else if (option == "--db") db = value;
    else if (option == "--verifier") verifier = value;
    else if (option == "--game-dir") {
      Fail("--game-dir gibt es nicht mehr: das Spiel liest seine Strecken immer aus data/ neben sich, in "
           "welchem Ordner es auch l\u00e4uft. Welche Strecken gelten, w\u00e4hlt --verifier (das Spiel).");
    }
    else if (option == "--workers") options.Workers = Number(option, value, 1, 64);
    else if (option == "--verify-seconds") verifySeconds = Number(option, value, 1, 3600);
    else if (option == "--verify-memory") memoryMb = Number(option, value, 64, 1 << 20);
    else if (option == "--lease") lease = Number(option, value, 1, 86400);
    else if (option == "--rate") options.RatePerMinute = Number(option, value, 0, 1000000);
    else if (option == "--challenges") {
      if (value != "on" && value != "off") Fail("--challenges erwartet on oder off, nicht \"" + value + "\".");
      options.ChallengesRequired = value == "on";
    }
    else if (option == "--challenge-seconds") options.ChallengeStartWindowMs = Number(option, value, 1, 3600) * int64_t{1000};
    else if (option == "--secret-file") options.ChallengeKey = ReadSecret(value);
    // Facing the internet.
    else if (option == "--upload-rate") options.UploadsPerMinute = Number(option, value, 0, 1000000);
    else if (option == "--trusted-proxy") {
      const auto address = CanonicalAddress(value);
      if (!address) Fail("--trusted-proxy erwartet eine IP-Adresse, nicht \"" + value + "\".");
      options.TrustedProxies.push_back(*address);
    }
    else if (option == "--allow-origin") {
      if (!(value.starts_with("https://") || value.starts_with("http://")) || value.ends_with("/") || value == "*") {
        Fail("--allow-origin erwartet eine Herkunft wie https://spiel.example (ohne / am Ende), nicht \"" + value + "\".");
      }
      options.AllowedOrigins.push_back(value);
    }
    else if (option == "--threads") options.Threads = Number(option, value, 4, 4096);
    else Fail("Unbekannte Option: " + option + "\n" + kUsage);
  }
  if (data.empty() || !havePort) Fail(std::string("--data und --port sind n\u00f6tig.\n") + kUsage);

  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path dataDir = fs::absolute(data);
  fs::create_directories(dataDir / "tmp", error);
  if (error) Fail("Der Ordner " + (dataDir / "tmp").string() + " l\u00e4sst sich nicht anlegen: " + error.message());
  options.TempDir = (dataDir / "tmp").string();
  RemoveOrphanedRunFiles(options.TempDir);
  if (verifier.empty()) verifier = (fs::read_symlink("/proc/self/exe", error).parent_path() / "riftvaulter").string();
  verifier = fs::absolute(verifier).string();
  options.LeaseSeconds = lease > 0 ? lease : verifySeconds + 60;
  options.RateBurst = std::max(10, options.RatePerMinute / 2);

  // SIGINT and SIGTERM are taken by one thread that stops the server;
  // every other thread, started after this, has them blocked.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  try {
    const auto store = OpenStore(db.empty() ? (dataDir / "leaderboard.sqlite").string() : db);
    TChildLimits limits;
    limits.WallSeconds = verifySeconds;
    limits.CpuSeconds = verifySeconds;
    limits.MemoryBytes = int64_t{memoryMb} << 20;
    const TVerifier check(verifier, limits);
    auto stages = check.StageHashes();
    TLeaderboardServer server(options, *store, check, std::move(stages));
    server.Start();
    std::thread stopper([&server, stopSignals] {
      int signal = 0;
      sigwait(&stopSignals, &signal);
      server.Stop();
    });
    stopper.detach();
    LogLine("\"event\":\"listening\",\"bind\":" + JsonString(options.Bind) + ",\"port\":" +
            std::to_string(server.Port()) + ",\"store\":" + JsonString(db.empty() ? "sqlite" : "postgresql") +
            ",\"challenges\":\"" + ChallengeMode(options.ChallengesRequired) + "\"");
    server.Serve();
    LogLine("\"event\":\"stopped\"");
  } catch (const std::exception& e) {
    Fail(ToCleanUtf8(e.what(), 1000));
  }
  return 0;
}
