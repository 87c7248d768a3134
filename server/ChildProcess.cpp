// ChildProcess.cpp -- fork, limits, exec, and reading both pipes until the
// child ends or its time is up.
#include "ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

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
  // A child outlives no server: killed with the thread that started it.
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
  // deadline does. The child is waited for without reaping it: as long as
  // it is a zombie its id, and so its group's, cannot go to another
  // process, and the kill below reaches only what the child started.
  while (!result.TimedOut) {
    siginfo_t info{};
    const int waited = waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT);
    if (waited == 0 && info.si_pid == pid) break;
    if (waited < 0 && errno != EINTR) break;
    if (std::chrono::steady_clock::now() >= deadline) {
      result.TimedOut = true;
    } else {
      usleep(10000);
    }
  }
  kill(-pid, SIGKILL);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) result.ExitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.Signal = WTERMSIG(status);
  if (result.ExitCode == 127 && result.Out.empty() && result.Err.empty()) result.Started = false;
  return result;
}
