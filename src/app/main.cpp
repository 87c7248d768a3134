// main.cpp -- program entry: open the window and run the main form.
#include <cstdio>
#include <exception>

#include "app/Form.h"
#include "platform/Dialog.h"
#include "platform/SdlPlatform.h"

int main(int, char**) {
  try {
    platform::SdlPlatform platform;
    TForm1 form(platform);
    return form.Run();
  } catch (const platform::EPlatformError& error) {
    // Without a window and GL context there is nothing to run.
    std::fprintf(stderr, "%s: %s\n", platform::kApplicationTitle, error.what());
    return 1;
  }
}
