// FatalError.cpp -- the fatal-error path.
#include "services/FatalError.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "platform/Dialog.h"
#include "services/Language.h"
#include "services/Paths.h"

namespace {

std::atomic<int> gFatalExitCode{EXIT_FAILURE};

[[noreturn]] void EndProcess() {
  std::fflush(stdout);
  std::fflush(stderr);
  // A failure must never look like success to whoever started us.
  const int code = gFatalExitCode.load();
  std::_Exit(code != 0 ? code : EXIT_FAILURE);
}

}  // namespace

void FatalError(const std::string& message) {
  platform::ShowMessage(platform::TDialogKind::Error, std::string(Tr("Fehler")), TrMessage(message));
  EndProcess();
}

void FatalMessage(const std::string& message) {
  platform::ShowMessage(platform::TDialogKind::Information, platform::kApplicationTitle, TrMessage(message));
  EndProcess();
}

void SetFatalExitCode(int code) { gFatalExitCode.store(code); }

void CheckFileExists(const std::string& path, const std::string& context) {
  if (!FileExists(path)) FatalError(context + "Datein nicht gefunden: " + path);
}
