// main.cpp -- program entry: read the command line, open the window and run.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "app/Options.h"
#include "app/Session.h"
#include "platform/Dialog.h"
#include "platform/SdlPlatform.h"

int main(int argc, char** argv) {
  platform::AttachParentConsole();
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
  try {
    return RunSession(options);
  } catch (const platform::EPlatformError& error) {
    // Without a window and GL context there is nothing to run.
    std::fprintf(stderr, "%s: %s\n", platform::kApplicationTitle, error.what());
    return kExitPlatform;
  }
}
