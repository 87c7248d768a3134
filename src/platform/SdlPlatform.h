// SdlPlatform.h -- the real platform: one SDL window with an OpenGL context.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace platform {

// Raised when SDL, the window or the GL context cannot be set up.
class EPlatformError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TWindowOptions {
  // 0 x 0 covers the desktop (borderless at 0, 0); otherwise a titled,
  // resizable window of this client size (the player's setting, tests).
  int Width = 0;
  int Height = 0;
  // Grab the mouse in relative mode and hide the cursor (the game does; tests
  // that only draw do not need it).
  bool CaptureMouse = true;
};

class SdlPlatform final : public TPlatform {
 public:
  // Initialises SDL video, opens the window and makes its GL context current
  // (double-buffered, 24 depth bits, 8 bits per channel, compatibility
  // profile). Throws EPlatformError with SDL's message on failure.
  explicit SdlPlatform(const TWindowOptions& options = {});
  ~SdlPlatform() override;
  SdlPlatform(const SdlPlatform&) = delete;
  SdlPlatform& operator=(const SdlPlatform&) = delete;

  uint64_t PerformanceCounter() override;
  uint64_t PerformanceFrequency() override;
  bool IsVirtualKeyDown(int vk) override;
  int VirtualKeyForChar(char ch) override;
  void GetCursorPos(int& x, int& y) override;
  void SetCursorPos(int x, int y) override;
  TGamepadState Gamepad() override;
  void Rumble(uint16_t strength, uint32_t ms) override;
  TScreenSize ScreenSize() override;
  TScreenSize ClientSize() override;
  TEvents PumpEvents() override;
  bool IsActive() override;
  void WaitForEvents(int timeoutMs) override;
  void SetTitle(const std::string& title) override;
  void SetWindowMode(const TWindowMode& mode) override;
  TWindowMode WindowMode() override;
  void SwapBuffers() override;
  void Close() override;
  void* GLProcAddress(const char* name) override;
  bool GLExtensionSupported(const char* name) override;
  uint64_t GLContext() override;
  bool HasSwapControl() override;
  int GetSwapInterval() override;
  void SetSwapInterval(int interval) override;
  std::string BasePath() override;
  uint32_t RandomSeed() override;


 private:
  struct Impl;
  std::unique_ptr<Impl> fImpl;
};

// The executable's directory with a trailing '/', without a window.
std::string ExecutableDirectory();

// Where the desktop keeps this user's application data, by the XDG base
// directory rule: `xdgDataHome` when it is an absolute path, else
// `home` + "/.local/share" when `home` is absolute; empty when neither is.
// No trailing separator. Either argument may be null.
[[nodiscard]] std::string XdgDataHome(const char* xdgDataHome, const char* home);
// XdgDataHome of this process's environment; an unset or relative HOME falls
// back to the home folder in the password database. On Windows: %APPDATA%,
// with forward slashes.
[[nodiscard]] std::string DataHomeDirectory();

// The arguments after the program's name, in UTF-8. Windows hands main() its
// code page's text, which cannot spell every file name; its wide command
// line can.
[[nodiscard]] std::vector<std::string> CommandLineArguments(int argc, char** argv);

// Windows starts the game, a windowed program, without a console: when its
// output goes nowhere, it is sent to the console it was started from (so
// that --help prints in cmd.exe). Redirected output stays where it goes.
// Nothing on other systems.
void AttachParentConsole();

}  // namespace platform
