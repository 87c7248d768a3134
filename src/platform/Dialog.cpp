// Dialog.cpp -- message boxes through SDL, echoed to stderr.
#include "platform/Dialog.h"

#include <SDL.h>

#include <cstdio>
#include <utility>

#include "platform/Browser.h"
#include "platform/Cp1252.h"
#include "platform/QuitSignals.h"

namespace platform {

namespace {

TDialogSink& Sink() {
  static TDialogSink sink;
  return sink;
}

bool& BoxesEnabled() {
  static bool enabled = false;
  return enabled;
}

}  // namespace

void SetDialogSink(TDialogSink sink) { Sink() = std::move(sink); }

void EnableDialogBoxes(bool enable) { BoxesEnabled() = enable; }

void ShowMessage(TDialogKind kind, const std::string& caption, const std::string& text) {
  const std::string utf8Caption = Cp1252ToUtf8(caption);
  const std::string utf8Text = Cp1252ToUtf8(text);
  std::fprintf(stderr, "%s: %s\n", utf8Caption.c_str(), utf8Text.c_str());
  std::fflush(stderr);
  if (Sink()) {
    Sink()(kind, caption, text);
    return;
  }
  if constexpr (kInBrowser) {
    // The page shows it above the canvas; nothing waits for it.
    ShowPageMessage(kind == TDialogKind::Error, utf8Caption, utf8Text);
    return;
  }
  if (!BoxesEnabled()) return;
  // The box counts as open before the quit flag is read: a signal that comes
  // before this ends the program at once, one that came earlier is seen
  // here. Either way no signal is left waiting behind a box.
  const TModalBox box;
  // Asked to end: a box now would only keep the program waiting.
  if (QuitSignalled()) return;
  const Uint32 flags = kind == TDialogKind::Error ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
  if (SDL_ShowSimpleMessageBox(flags, utf8Caption.c_str(), utf8Text.c_str(), nullptr) != 0)
    std::fprintf(stderr, "Meldungsfenster kann nicht ge\xC3\xB6" "ffnet werden: %s\n", SDL_GetError());
}

}  // namespace platform
