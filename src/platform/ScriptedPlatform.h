// ScriptedPlatform.h -- a platform driven by the test: keys, mouse, clock and
// focus are set by hand, and what the program did is recorded.
#pragma once

#include <array>
#include <set>
#include <string>
#include <vector>

#include "platform/Keyboard.h"
#include "platform/Platform.h"

namespace platform {

class ScriptedPlatform final : public TPlatform {
 public:
  ScriptedPlatform();

  // Test controls. Keys go through the same Alt+Enter rule as the real
  // platform's: Return down while Alt is down switches the window mode at the
  // next pump and stays hidden until it is let go.
  void SetKey(int vk, bool down);
  // The player drags the window to this client size: the next pump shows it.
  void Resize(int width, int height) { PendingClient = {width, height}; }
  void AdvanceMs(double ms) { Counter += static_cast<uint64_t>(ms * static_cast<double>(Frequency) / 1000.0); }
  void MoveMouse(int dx, int dy) { CursorX += dx; CursorY += dy; }
  // Characters the simulated layout cannot type.
  std::set<char> MissingChars;

  // The virtual controller: plug it in, press buttons, push the stick.
  void SetPadButton(TPadButton button, bool down) {
    Pad.Buttons = static_cast<uint16_t>(down ? Pad.Buttons | button : Pad.Buttons & ~button);
  }
  std::array<bool, 256> Keys{};
  TGamepadState Pad;
  uint64_t Counter = 1'000'000;
  uint64_t Frequency = 1'000'000;
  TScreenSize Screen{1024, 768};
  TScreenSize Client{1024, 768};
  TScreenSize PendingClient;  // 0 x 0: no change waiting for the pump
  TWindowMode Mode;
  bool TogglePending = false;
  TAltEnter AltEnter;
  bool Active = true;
  bool QuitPending = false;
  bool SwapControl = true;
  int SwapInterval = 0;
  std::string Base = "./";
  uint32_t Seed = 20261207;

  // Read back.
  int CursorX = 512;
  int CursorY = 384;
  int CursorResets = 0;
  int Swaps = 0;
  int Waits = 0;
  bool Closed = false;
  std::string Title = "Form1";
  std::vector<int> SwapIntervalCalls;
  std::vector<TWindowMode> ModeCalls;
  struct TRumble {
    uint16_t Strength;
    uint32_t Ms;
  };
  std::vector<TRumble> Rumbles;  // asked for while a pad was plugged in

  uint64_t PerformanceCounter() override { return Counter; }
  uint64_t PerformanceFrequency() override { return Frequency; }
  bool IsVirtualKeyDown(int vk) override;
  int VirtualKeyForChar(char ch) override;
  void GetCursorPos(int& x, int& y) override { x = CursorX; y = CursorY; }
  void SetCursorPos(int x, int y) override;
  TGamepadState Gamepad() override { return Pad; }
  void Rumble(uint16_t strength, uint32_t ms) override {
    if (Pad.Connected) Rumbles.push_back({strength, ms});
  }
  TScreenSize ScreenSize() override { return Screen; }
  TScreenSize ClientSize() override { return Client; }
  TEvents PumpEvents() override;
  bool IsActive() override { return Active; }
  void WaitForEvents(int) override { ++Waits; }
  void SetTitle(const std::string& title) override { Title = title; }
  // The window takes the mode's size (the screen's for full screen) at the
  // next pump.
  void SetWindowMode(const TWindowMode& mode) override;
  TWindowMode WindowMode() override { return Mode; }
  void SwapBuffers() override { ++Swaps; }
  void Close() override { Closed = true; }
  // The GL context the test made current (a test window's).
  void* GLProcAddress(const char* name) override;
  bool GLExtensionSupported(const char* name) override;
  uint64_t GLContext() override;
  bool HasSwapControl() override { return SwapControl; }
  int GetSwapInterval() override { return SwapInterval; }
  void SetSwapInterval(int interval) override;
  std::string BasePath() override { return Base; }
  uint32_t RandomSeed() override { return Seed; }
};

}  // namespace platform
