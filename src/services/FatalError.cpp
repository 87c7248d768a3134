// FatalError.cpp -- the fatal-error path.
#include "services/FatalError.h"

#include <cstdio>
#include <cstdlib>

#include "platform/Dialog.h"
#include "services/Language.h"
#include "services/Paths.h"

namespace {

[[noreturn]] void EndProcess() {
  std::fflush(stdout);
  std::fflush(stderr);
  // A failure must never look like success to whoever started us.
  std::_Exit(EXIT_FAILURE);
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

void CheckFileExists(const std::string& path, const std::string& context) {
  if (!FileExists(path)) FatalError(context + "Datein nicht gefunden: " + path);
}
