// ScriptedPlatform.cpp -- the test platform's few behaviours.
#include "platform/ScriptedPlatform.h"

namespace platform {

ScriptedPlatform::ScriptedPlatform() = default;

int ScriptedPlatform::VirtualKeyForChar(char ch) {
  if (MissingChars.count(ch)) return -1;
  if (ch >= 'a' && ch <= 'z') return ch - 'a' + 'A';
  if ((ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == ' ') return ch;
  return -1;
}

void ScriptedPlatform::SetCursorPos(int x, int y) {
  CursorX = x;
  CursorY = y;
  ++CursorResets;
}

TEvents ScriptedPlatform::PumpEvents() {
  TEvents events;
  events.Quit = QuitPending || Closed;
  return events;
}

void ScriptedPlatform::SetSwapInterval(int interval) {
  SwapIntervalCalls.push_back(interval);
  SwapInterval = interval;
}

}  // namespace platform
