// Verifier.cpp -- the game as the server's verifier: its stage list and
// its verdict on one recording.
#include "Verifier.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

// Where the game in programDir reads its stages: data/ beside it when it
// runs where it was built, its share folder when it is installed.
fs::path StageFolder(const fs::path& programDir) {
  std::error_code error;
  if (fs::is_directory(programDir / "data", error)) return programDir / "data";
  const fs::path share = programDir / ".." / "share" / "riftvaulter" / "data";
  if (fs::is_directory(share, error)) return share.lexically_normal();
  return programDir / "data";
}

}  // namespace

void RemoveOrphanedRunFiles(const std::string& tempDir) {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(tempDir, error)) {
    const std::string name = entry.path().filename().string();
    int pid = 0;
    if (std::sscanf(name.c_str(), "run-%d-", &pid) != 1 || pid <= 0) continue;
    if (kill(pid, 0) != 0 && errno == ESRCH) fs::remove(entry.path(), error);
  }
}

TVerifier::TVerifier(std::string program, TChildLimits limits)
    : fProgram(std::move(program)), fProgramDir(fs::path(fProgram).parent_path().string()), fLimits(limits) {
  if (fProgramDir.empty()) fProgramDir = ".";
}

std::map<std::string, std::string> TVerifier::StageHashes() const {
  const TChildResult child = RunLimited(fProgram, {"--stage-hashes"}, fProgramDir, fLimits);
  if (!child.Started) throw std::runtime_error(fProgram + " l\u00e4sst sich nicht starten.");
  if (child.TimedOut || child.Signal != 0 || child.ExitCode != 0) {
    throw std::runtime_error(fProgram + " --stage-hashes ist gescheitert: " + ToCleanUtf8(LastLine(child.Err), 300));
  }
  if (LastLine(child.Out).empty()) {
    throw std::runtime_error(fProgram + " kennt keine Strecken: in " + StageFolder(fProgramDir).string() +
                             " liegt keine Streckendatei (*.level). Im Quellbaum legt ./scripts/build sie an "
                             "(nur die Strecken: cmake --build build --target rv_stages, aus assets/stages).");
  }
  auto stages = ParseStageHashes(child.Out);
  if (!stages) {
    throw std::runtime_error(fProgram + " --stage-hashes hat keine lesbare Streckenliste ausgegeben (erwartet je Zeile "
                             "\"Level01\" und 64 Hex-Ziffern SHA-256): " + ToCleanUtf8(LastLine(child.Out), 300));
  }
  return *stages;
}

TVerdict TVerifier::Verify(const std::string& bytes, const std::string& claimedStageHash,
                           const std::map<std::string, std::string>& shippedStages, const std::string& tempDir) const {
  std::string path = tempDir + "/run-" + std::to_string(getpid()) + "-XXXXXX.rvr";
  const int fd = mkstemps(path.data(), 4);
  if (fd < 0) throw std::runtime_error("cannot create a file in " + tempDir + ": " + std::strerror(errno));
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int error = errno;
      close(fd);
      unlink(path.c_str());
      throw std::runtime_error("cannot write " + path + ": " + std::strerror(error));
    }
    written += static_cast<std::size_t>(n);
  }
  close(fd);
  TChildResult child = RunLimited(fProgram, {"--verify", path, "--installed-stage"}, fProgramDir, fLimits);
  unlink(path.c_str());
  // The game names the file in its messages; the player knows it by no
  // such name, and the server's folders are nobody's business.
  for (const std::string& name : {path + ": ", path}) {
    for (std::size_t at; (at = child.Err.find(name)) != std::string::npos;) child.Err.erase(at, name.size());
  }
  return Judge(child, claimedStageHash, shippedStages);
}
