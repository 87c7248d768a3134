// QuitSignals.cpp -- the two signals a desktop sends to end a program.
#include "platform/QuitSignals.h"

#include <atomic>
#include <csignal>
#include <cstdlib>

#ifdef __linux__
#include <fcntl.h>
#include <unistd.h>
#endif

namespace platform {

namespace {

// Lock-free atomics: the handler may run on any thread (on Windows always
// on one of its own).
std::atomic<int> gQuit{0};
std::atomic<int> gModalBoxes{0};
static_assert(std::atomic<int>::is_always_lock_free);

#ifdef __linux__
// SDL shows an X11 message box from a child process and waits for it; the
// box must not stay on screen once we are gone. Only calls that are safe in
// a signal handler: the main thread's children from /proc, each sent the
// same signal (it runs this handler too, and ends).
void SignalChildren(int signal) {
  char path[64] = "/proc/self/task/";
  std::size_t at = 16;
  char digits[16];
  int n = 0;
  for (long pid = static_cast<long>(::getpid()); pid > 0 && n < 16; pid /= 10) digits[n++] = static_cast<char>('0' + pid % 10);
  while (n > 0) path[at++] = digits[--n];
  const char tail[] = "/children";
  for (std::size_t i = 0; i < sizeof tail; ++i) path[at++] = tail[i];
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  char text[512];
  const ssize_t size = ::read(fd, text, sizeof text);
  ::close(fd);
  long child = 0;
  for (ssize_t i = 0; i < size; ++i) {
    if (text[i] >= '0' && text[i] <= '9') {
      child = child * 10 + (text[i] - '0');
    } else {
      if (child > 0) ::kill(static_cast<pid_t>(child), signal);
      child = 0;
    }
  }
  if (child > 0) ::kill(static_cast<pid_t>(child), signal);
}
#else
void SignalChildren(int) {}
#endif

extern "C" void OnQuitSignal(int signal) {
  // The flag first, then the boxes: a box opens the other way round (counts
  // itself, then reads the flag), so with both in one order either the box
  // sees the flag and never opens, or this sees the box.
  gQuit.store(1);
  // A box's own event loop never returns to ours: end here, as a failure,
  // since a box means something went wrong.
  if (gModalBoxes.load() > 0) {
    SignalChildren(signal);
    std::_Exit(1);
  }
  // A second signal ends a game whose loop no longer runs.
  std::signal(signal, SIG_DFL);
}

void Install(int signal) {
  // A signal the process was started to ignore (a game run in the
  // background by a script) stays ignored.
  if (std::signal(signal, OnQuitSignal) == SIG_IGN) std::signal(signal, SIG_IGN);
}

}  // namespace

void InstallQuitSignals() {
  Install(SIGINT);
  Install(SIGTERM);
}

bool QuitSignalled() { return gQuit.load() != 0; }

TModalBox::TModalBox() { gModalBoxes.fetch_add(1); }

TModalBox::~TModalBox() { gModalBoxes.fetch_sub(1); }

}  // namespace platform
