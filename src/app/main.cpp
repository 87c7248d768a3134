// main.cpp -- program entry: read the command line, open the window and run.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "app/CommandLinePrinters.h"
#include "app/Options.h"
#include "app/Session.h"
#include "platform/Cp1252.h"
#include "platform/Dialog.h"
#include "platform/SdlPlatform.h"

#ifdef __EMSCRIPTEN__
#include <emscripten.h>

#include "platform/Browser.h"

namespace {

// The page's run: the browser calls WebFrame once per frame (per display
// refresh, or per timer tick in a test run) until the run is over.
TSession* gSession = nullptr;

void WebFrame() {
  if (!platform::PageFrameEndsRun() && gSession->Frame()) return;
  emscripten_cancel_main_loop();
  const int code = gSession->Finish();
  delete gSession;
  gSession = nullptr;
  emscripten_force_exit(code);
}

// Where the page has the run written for a download.
constexpr const char* kPageRecording = "/tmp/riftvaulter.rvr";

int RunInPage(TOptions options) {
  // A player's run is recorded in memory, so the page can offer it as a
  // file at any moment.
  if (options.Mode == TRunMode::Play) options.RecordInMemory = true;
  gSession = new TSession(options);
  if (!gSession->Start()) {
    const int code = gSession->Finish();
    delete gSession;
    gSession = nullptr;
    return code;
  }
  emscripten_set_main_loop(WebFrame, 0, 0);
  if (platform::PageWantsTimerFrames()) emscripten_set_main_loop_timing(EM_TIMING_SETTIMEOUT, 0);
  // main returns; the page keeps running the frames.
  emscripten_exit_with_live_runtime();
  return 0;
}

}  // namespace

// Called by the page: the run so far into kPageRecording. 1 when written.
extern "C" EMSCRIPTEN_KEEPALIVE int riftvaulter_save_recording() {
  return gSession && gSession->SaveRecording(kPageRecording) ? 1 : 0;
}

// Called by the page once a frame at most: 1 when a stage was left since.
extern "C" EMSCRIPTEN_KEEPALIVE int riftvaulter_stage_ended() { return gSession && gSession->StageEnded() ? 1 : 0; }
#endif

int main(int argc, char** argv) {
  platform::AttachParentConsole();
  SetLanguage(CommandLineLanguage());
  TOptions options;
  try {
    options = ParseOptions(platform::CommandLineArguments(argc, argv));
  } catch (const EOptionsError& error) {
    std::fprintf(stderr, "%s: %s\n%s", platform::kApplicationTitle, platform::Cp1252ToUtf8(error.what()).c_str(),
                 platform::Cp1252ToUtf8(UsageText()).c_str());
    return kExitInput;
  }
  if (options.Mode == TRunMode::Help || options.Mode == TRunMode::Version) {
    const std::string text = options.Mode == TRunMode::Help ? HelpText() : VersionText();
    std::fputs(platform::Cp1252ToUtf8(text).c_str(), stdout);
    return 0;
  }
  if (options.Mode == TRunMode::Scores) return PrintScores();
  if (options.Mode == TRunMode::PathFingerprint) return PrintPathFingerprint();
  if (options.Mode == TRunMode::StageHashes) return PrintStageHashes();
  try {
#ifdef __EMSCRIPTEN__
    return RunInPage(options);
#else
    return RunSession(options);
#endif
  } catch (const platform::EPlatformError& error) {
    // Without a window and GL context there is nothing to run.
    std::fprintf(stderr, "%s: %s\n", platform::kApplicationTitle, error.what());
#ifdef __EMSCRIPTEN__
    platform::ShowPageMessage(true, platform::kApplicationTitle,
                              std::string("Das Spiel kann in diesem Browser nicht starten: ") + error.what());
#endif
    return kExitPlatform;
  }
}
