// HeadlessPlatform.h -- a platform without window, GL context or input: it
// stands in for the window where a run is only simulated (the verification
// of a recording). Its "context" is a number, so that the drawing layer
// makes a backend for it; only a backend that needs no GL can draw there
// (render::TBackendKind::Null).
#pragma once

#include <cstdint>
#include <string>

#include "platform/Platform.h"

namespace platform {

class THeadlessPlatform final : public TPlatform {
 public:
  // Becomes the current GL platform until it is destroyed. `basePath` with
  // its trailing separator.
  THeadlessPlatform(std::string basePath, TScreenSize screen);
  ~THeadlessPlatform() override;
  THeadlessPlatform(const THeadlessPlatform&) = delete;
  THeadlessPlatform& operator=(const THeadlessPlatform&) = delete;

  // The screen and the client area take this size at once (no event).
  void SetScreenSize(TScreenSize screen) { fScreen = screen; }

  uint64_t PerformanceCounter() override;
  uint64_t PerformanceFrequency() override;
  bool IsVirtualKeyDown(int) override { return false; }
  int VirtualKeyForChar(char) override { return -1; }
  void GetCursorPos(int& x, int& y) override;
  void SetCursorPos(int x, int y) override;
  TGamepadState Gamepad() override { return {}; }
  void Rumble(uint16_t, uint32_t) override {}
  TScreenSize ScreenSize() override { return fScreen; }
  TScreenSize ClientSize() override { return fScreen; }
  // Reports Quit once Close was called.
  TEvents PumpEvents() override;
  bool IsActive() override { return true; }
  void WaitForEvents(int) override {}
  void SetTitle(const std::string&) override {}
  void SetWindowMode(const TWindowMode& mode) override { fMode = mode; }
  TWindowMode WindowMode() override { return fMode; }
  void SwapBuffers() override {}
  void Close() override { fClosed = true; }
  void* GLProcAddress(const char*) override { return nullptr; }
  bool GLExtensionSupported(const char*) override { return false; }
  uint64_t GLContext() override { return fContext; }
  bool HasSwapControl() override { return false; }
  int GetSwapInterval() override { return 0; }
  void SetSwapInterval(int) override {}
  std::string BasePath() override { return fBasePath; }
  uint32_t RandomSeed() override;

 private:
  std::string fBasePath;
  TScreenSize fScreen;
  TWindowMode fMode;
  uint64_t fContext;
  int fCursorX = 0, fCursorY = 0;
  bool fClosed = false;
};

}  // namespace platform
