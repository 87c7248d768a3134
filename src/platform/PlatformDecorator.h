// PlatformDecorator.h -- a platform that passes every question on to another
// one; recording, replay and the autopilot override what they change.
#pragma once

#include "platform/Platform.h"

namespace platform {

class TPlatformDecorator : public TPlatform {
 public:
  // `inner` must outlive the decorator.
  explicit TPlatformDecorator(TPlatform& inner) : fInner(inner) {}

  uint64_t PerformanceCounter() override { return fInner.PerformanceCounter(); }
  uint64_t PerformanceFrequency() override { return fInner.PerformanceFrequency(); }
  bool IsVirtualKeyDown(int vk) override { return fInner.IsVirtualKeyDown(vk); }
  int VirtualKeyForChar(char ch) override { return fInner.VirtualKeyForChar(ch); }
  void GetCursorPos(int& x, int& y) override { fInner.GetCursorPos(x, y); }
  void SetCursorPos(int x, int y) override { fInner.SetCursorPos(x, y); }
  TGamepadState Gamepad() override { return fInner.Gamepad(); }
  void Rumble(uint16_t strength, uint32_t ms) override { fInner.Rumble(strength, ms); }
  TScreenSize ScreenSize() override { return fInner.ScreenSize(); }
  TScreenSize ClientSize() override { return fInner.ClientSize(); }
  TEvents PumpEvents() override { return fInner.PumpEvents(); }
  bool IsActive() override { return fInner.IsActive(); }
  void WaitForEvents(int timeoutMs) override { fInner.WaitForEvents(timeoutMs); }
  void SetTitle(const std::string& title) override { fInner.SetTitle(title); }
  void SetWindowMode(const TWindowMode& mode) override { fInner.SetWindowMode(mode); }
  TWindowMode WindowMode() override { return fInner.WindowMode(); }
  void SwapBuffers() override { fInner.SwapBuffers(); }
  void Close() override { fInner.Close(); }
  void* GLProcAddress(const char* name) override { return fInner.GLProcAddress(name); }
  bool GLExtensionSupported(const char* name) override { return fInner.GLExtensionSupported(name); }
  uint64_t GLContext() override { return fInner.GLContext(); }
  bool HasSwapControl() override { return fInner.HasSwapControl(); }
  int GetSwapInterval() override { return fInner.GetSwapInterval(); }
  void SetSwapInterval(int interval) override { fInner.SetSwapInterval(interval); }
  std::string BasePath() override { return fInner.BasePath(); }
  uint32_t RandomSeed() override { return fInner.RandomSeed(); }

 protected:
  TPlatform& Inner() { return fInner; }

 private:
  TPlatform& fInner;
};

}  // namespace platform
