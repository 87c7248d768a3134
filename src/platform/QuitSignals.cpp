// QuitSignals.cpp -- the two signals a desktop sends to end a program.
#include "platform/QuitSignals.h"

#include <csignal>
#include <cstdlib>

namespace platform {

namespace {

volatile std::sig_atomic_t gQuit = 0;
volatile std::sig_atomic_t gModalBoxes = 0;

extern "C" void OnQuitSignal(int signal) {
  // A box's own event loop never returns to ours: end here, as a failure,
  // since a box means something went wrong.
  if (gModalBoxes > 0) std::_Exit(1);
  gQuit = 1;
  std::signal(signal, OnQuitSignal);
}

}  // namespace

void InstallQuitSignals() {
  std::signal(SIGINT, OnQuitSignal);
  std::signal(SIGTERM, OnQuitSignal);
}

bool QuitSignalled() { return gQuit != 0; }

TModalBox::TModalBox() { gModalBoxes = gModalBoxes + 1; }

TModalBox::~TModalBox() { gModalBoxes = gModalBoxes - 1; }

}  // namespace platform
