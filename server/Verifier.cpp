// Verifier.cpp -- child processes under limits, and the verdict on what
// they said.
#include "Verifier.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <cstring>
#include <stdexcept>

namespace {

// A verifier built with AddressSanitizer (the sanitizer suite's build)
// reserves terabytes of shadow memory at its start: no address-space limit
// lets it run, so such a build limits time only.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kLimitAddressSpace = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kLimitAddressSpace = false;
#else
constexpr bool kLimitAddressSpace = true;
#endif
#else
constexpr bool kLimitAddressSpace = true;
#endif

// Between fork and exec only async-signal-safe calls: everything the
// child needs is prepared before the fork.
[[noreturn]] void ExecChild(pid_t parent, int outFd, int errFd, const char* workDir, const TChildLimits& limits,
                            char* const* argv) {
  setpgid(0, 0);
  // A verifier outlives no server: killed with the thread that started it.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) _exit(127);
  const int null = open("/dev/null", O_RDONLY);
  if (null < 0 || dup2(null, 0) < 0 || dup2(outFd, 1) < 0 || dup2(errFd, 2) < 0) _exit(127);
  // The server's sockets must not live on in a child: a killed server's
  // port would stay taken while its verifier runs.
#ifdef SYS_close_range
  if (syscall(SYS_close_range, 3u, ~0u, 0u) != 0)
#endif
  {
    for (int fd = 3; fd < 65536; ++fd) close(fd);
  }
  if (chdir(workDir) != 0) _exit(127);
  const rlimit cpu{static_cast<rlim_t>(limits.CpuSeconds), static_cast<rlim_t>(limits.CpuSeconds) + 1};
  const rlimit memory{static_cast<rlim_t>(limits.MemoryBytes), static_cast<rlim_t>(limits.MemoryBytes)};
  const rlimit core{0, 0};
  setrlimit(RLIMIT_CPU, &cpu);
  if (kLimitAddressSpace) setrlimit(RLIMIT_AS, &memory);
  setrlimit(RLIMIT_CORE, &core);
  execv(argv[0], argv);
  _exit(127);
}

void Append(std::string& to, const char* data, std::size_t n, std::size_t max) {
  if (to.size() < max) to.append(data, std::min(n, max - to.size()));
}

std::string FirstLine(const std::string& text) {
  const std::size_t start = text.find_first_not_of(" \r\n\t");
  if (start == std::string::npos) return {};
  const std::size_t end = text.find_first_of("\r\n", start);
  return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

}  // namespace

TChildResult RunLimited(const std::string& program, const std::vector<std::string>& args, const std::string& workDir,
                        const TChildLimits& limits) {
  TChildResult result;
  std::vector<std::string> strings{program};
  strings.insert(strings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& s : strings) argv.push_back(s.data());
  argv.push_back(nullptr);

  int out[2], err[2];
  if (pipe2(out, O_CLOEXEC) != 0) return result;
  if (pipe2(err, O_CLOEXEC) != 0) {
    close(out[0]);
    close(out[1]);
    return result;
  }
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) ExecChild(parent, out[1], err[1], workDir.c_str(), limits, argv.data());
  close(out[1]);
  close(err[1]);
  if (pid < 0) {
    close(out[0]);
    close(err[0]);
    return result;
  }
  // Both sides set the group, so that a kill right after fork finds it.
  setpgid(pid, pid);
  result.Started = true;

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limits.WallSeconds);
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  int open = 2;
  while (open > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      result.TimedOut = true;
      break;
    }
    const int ready = poll(fds, 2, static_cast<int>(std::min<int64_t>(left.count(), 1000)));
    if (ready < 0 && errno != EINTR) break;
    for (int i = 0; i < 2 && ready > 0; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char buffer[4096];
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        Append(i == 0 ? result.Out : result.Err, buffer, static_cast<std::size_t>(n), limits.MaxOutputBytes);
      } else if (n == 0 || errno != EINTR) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  for (const auto& fd : fds) {
    if (fd.fd >= 0) close(fd.fd);
  }
  // Closed pipes do not end a child that hangs without writing: the
  // deadline does. Whatever the child started dies with its group.
  int status = 0;
  while (true) {
    if (result.TimedOut) kill(-pid, SIGKILL);
    const pid_t done = waitpid(pid, &status, result.TimedOut ? 0 : WNOHANG);
    if (done == pid) break;
    if (done < 0 && errno != EINTR) break;
    if (done == 0) {
      if (std::chrono::steady_clock::now() >= deadline) {
        result.TimedOut = true;
      } else {
        usleep(10000);
      }
    }
  }
  kill(-pid, SIGKILL);
  if (WIFEXITED(status)) result.ExitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.Signal = WTERMSIG(status);
  if (result.ExitCode == 127 && result.Out.empty() && result.Err.empty()) result.Started = false;
  return result;
}

TVerdict Judge(const TChildResult& child, const std::string& claimedStageHash,
               const std::map<std::string, std::string>& shippedStages) {
  if (!child.Started) return std::string("Die Pr\u00fcfung lie\u00df sich nicht starten.");
  if (child.TimedOut) return std::string("Die Pr\u00fcfung hat das Zeitlimit \u00fcberschritten.");
  if (child.Signal == SIGXCPU) return std::string("Die Pr\u00fcfung hat das Rechenzeitlimit \u00fcberschritten.");
  if (child.Signal != 0) {
    return "Die Pr\u00fcfung ist abgest\u00fcrzt (Signal " + std::to_string(child.Signal) + ").";
  }
  if (child.ExitCode != 0) {
    const std::string message = ToCleanUtf8(FirstLine(child.Err), 300);
    if (!message.empty()) return message;
    return "Die Pr\u00fcfung hat die Aufzeichnung abgelehnt (Code " + std::to_string(child.ExitCode) + ").";
  }
  const auto run = ParseVerifierLine(child.Out);
  if (!run) return std::string("Die Pr\u00fcfung hat keine g\u00fcltige Antwort gegeben.");
  if (run->StageHash != claimedStageHash) {
    return std::string("Die Aufzeichnung geh\u00f6rt zu einer anderen Strecke als angegeben.");
  }
  const auto shipped = shippedStages.find(run->Stage);
  if (shipped == shippedStages.end() || shipped->second != run->StageHash) {
    return std::string("Die Strecke der Aufzeichnung ist keine der ausgelieferten.");
  }
  if (!IsValidName(run->Name)) {
    return std::string("Der Name ist ung\u00fcltig: erlaubt sind 1 bis 32 Zeichen aus A-Z, 0-9 und Leerzeichen.");
  }
  return *run;
}

TVerifier::TVerifier(std::string program, std::string gameDir, TChildLimits limits)
    : fProgram(std::move(program)), fGameDir(std::move(gameDir)), fLimits(limits) {}

void RemoveOrphanedRunFiles(const std::string& tempDir) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(tempDir, error)) {
    const std::string name = entry.path().filename().string();
    int pid = 0;
    if (std::sscanf(name.c_str(), "run-%d-", &pid) != 1 || pid <= 0) continue;
    if (kill(pid, 0) != 0 && errno == ESRCH) std::filesystem::remove(entry.path(), error);
  }
}

std::map<std::string, std::string> TVerifier::StageHashes() const {
  const TChildResult child = RunLimited(fProgram, {"--stage-hashes"}, fGameDir, fLimits);
  if (!child.Started) throw std::runtime_error(fProgram + " l\u00e4sst sich nicht starten.");
  if (child.TimedOut || child.Signal != 0 || child.ExitCode != 0) {
    throw std::runtime_error(fProgram + " --stage-hashes ist gescheitert: " + ToCleanUtf8(FirstLine(child.Err), 300));
  }
  auto stages = ParseStageHashes(child.Out);
  if (!stages) throw std::runtime_error(fProgram + " --stage-hashes hat keine Streckenliste ausgegeben.");
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
  TChildResult child = RunLimited(fProgram, {"--verify", path}, fGameDir, fLimits);
  unlink(path.c_str());
  // The game names the file in its messages; the player knows it by no
  // such name, and the server's folders are nobody's business.
  for (const std::string& name : {path + ": ", path}) {
    for (std::size_t at; (at = child.Err.find(name)) != std::string::npos;) child.Err.erase(at, name.size());
  }
  return Judge(child, claimedStageHash, shippedStages);
}
