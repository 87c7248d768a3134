// Browser.cpp -- the page's side of saving, messages and frame pacing.
#include "platform/Browser.h"

#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif

namespace platform {

#ifdef __EMSCRIPTEN__

extern "C" void riftvaulter_persist();  // web/library.js

void PersistSavedFiles() { riftvaulter_persist(); }

void ShowPageMessage(bool error, const std::string& caption, const std::string& text) {
  EM_ASM(
      {
        if (Module.riftvaulterMessage) Module.riftvaulterMessage($0 != 0, UTF8ToString($1), UTF8ToString($2));
      },
      error, caption.c_str(), text.c_str());
}

std::string PageLanguage() {
  char tag[64] = {};
  EM_ASM(
      {
        var language = (typeof navigator !== 'undefined' && navigator.language) ? String(navigator.language) : '';
        stringToUTF8(language, $0, $1);
      },
      tag, static_cast<int>(sizeof tag));
  return tag;
}

bool PageWantsTimerFrames() {
  return EM_ASM_INT({ return Module.riftvaulterTimerFrames ? 1 : 0; }) != 0;
}

bool PageFrameEndsRun() {
  return EM_ASM_INT({
    Module.riftvaulterFrames++;
    if (!(Module.riftvaulterLastFrame > 0 && Module.riftvaulterFrames > Module.riftvaulterLastFrame)) return 0;
    // The last frame is still in the canvas: the page keeps it.
    if (Module.riftvaulterSnapshot) Module.riftvaulterSnapshot();
    return 1;
  }) != 0;
}

#else

void PersistSavedFiles() {}
bool PageFrameEndsRun() { return false; }
void ShowPageMessage(bool, const std::string&, const std::string&) {}
bool PageWantsTimerFrames() { return false; }
std::string PageLanguage() { return {}; }

#endif

}  // namespace platform
