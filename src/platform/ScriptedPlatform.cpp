// ScriptedPlatform.cpp -- the test platform's few behaviours.
#include "platform/ScriptedPlatform.h"

#include <SDL.h>

#include "platform/VirtualKeys.h"

namespace platform {

ScriptedPlatform::ScriptedPlatform() = default;

void ScriptedPlatform::SetKey(int vk, bool down) {
  bool& key = Keys.at(static_cast<size_t>(vk));
  if (vk == kVkReturn && down && !key && AltEnter.EnterDown(Keys[kVkMenu])) TogglePending = true;
  if (vk == kVkReturn && !down) AltEnter.EnterUp();
  key = down;
}

bool ScriptedPlatform::IsVirtualKeyDown(int vk) {
  if (vk == kVkReturn && AltEnter.HidesReturn()) return false;
  return vk >= 0 && vk < 256 && Keys[static_cast<size_t>(vk)];
}

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
  events.ToggleWindowMode = TogglePending;
  TogglePending = false;
  if (PendingClient.Width > 0 && PendingClient.Height > 0) {
    events.Resized = PendingClient.Width != Client.Width || PendingClient.Height != Client.Height;
    Client = PendingClient;
    PendingClient = {};
  }
  return events;
}

void ScriptedPlatform::SetWindowMode(const TWindowMode& mode) {
  ModeCalls.push_back(mode);
  Mode = mode;
  PendingClient = mode.FullScreen ? Screen : TScreenSize{mode.Width, mode.Height};
}

void ScriptedPlatform::SetSwapInterval(int interval) {
  SwapIntervalCalls.push_back(interval);
  SwapInterval = interval;
}

void* ScriptedPlatform::GLProcAddress(const char* name) { return SDL_GL_GetProcAddress(name); }

bool ScriptedPlatform::GLExtensionSupported(const char* name) { return SDL_GL_ExtensionSupported(name) == SDL_TRUE; }

uint64_t ScriptedPlatform::GLContext() {
  TPlatform* window = CurrentGLPlatform();
  return window && window != this ? window->GLContext() : 0;
}

}  // namespace platform
