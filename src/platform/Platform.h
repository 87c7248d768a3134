// Platform.h -- the narrow interface between the game and the operating system.
//
// Game code never calls SDL itself: it asks a TPlatform for the clock, the
// keyboard, the mouse, the window and the screen. SdlPlatform is the real
// implementation; ScriptedPlatform lets tests set keys, mouse and clock and
// read back what the program did.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Gamepad.h"

namespace platform {

struct TScreenSize {
  int Width = 0;
  int Height = 0;
};

// A window's client size is kept within these bounds, in pixels.
inline constexpr int kMinWindowSide = 64;
inline constexpr int kMaxWindowSide = 16384;

// How the window is shown: borderless over the whole desktop at 0, 0, or as
// a normal titled, resizable window of a client size.
struct TWindowMode {
  bool FullScreen = true;
  int Width = 0;  // a window's client size in pixels; 0 with FullScreen
  int Height = 0;
};

// What one pass over the event queue found.
struct TEvents {
  bool Quit = false;     // the window was closed or the process asked to end
  bool Resized = false;  // the client size changed
  bool ToggleWindowMode = false;  // Alt+Enter: full screen <-> window
};

class TPlatform {
 public:
  virtual ~TPlatform() = default;

  // Clock: a monotonic counter and its ticks per second.
  virtual uint64_t PerformanceCounter() = 0;
  virtual uint64_t PerformanceFrequency() = 0;

  // Keyboard by virtual-key code (0..255; 1 is the left mouse button).
  // Codes without a mapping are never down.
  virtual bool IsVirtualKeyDown(int vk) = 0;
  // The virtual-key code of the key that types `ch` on the current layout,
  // or -1 when the layout has no such key.
  virtual int VirtualKeyForChar(char ch) = 0;

  // Virtual mouse cursor in screen pixels. Mouse motion adds to it;
  // SetCursorPos puts it back (the game recentres it every frame).
  virtual void GetCursorPos(int& x, int& y) = 0;
  virtual void SetCursorPos(int x, int y) = 0;

  // The game controller as the last PumpEvents left it; Connected is false
  // while none is plugged in. Controllers come and go at any time.
  virtual TGamepadState Gamepad() = 0;
  // Shakes the controller for `ms` milliseconds at `strength` (0..65535, both
  // motors). A pad that cannot rumble, or none at all, ignores it.
  virtual void Rumble(uint16_t strength, uint32_t ms) = 0;

  // Size of the desktop display mode in pixels.
  virtual TScreenSize ScreenSize() = 0;
  // Size of the window's drawable area in pixels, as the last PumpEvents
  // left it (the same answer all frame long).
  virtual TScreenSize ClientSize() = 0;

  // Window state.
  virtual TEvents PumpEvents() = 0;
  virtual bool IsActive() = 0;                 // the window has input focus
  virtual void WaitForEvents(int timeoutMs) = 0;  // idle while inactive
  virtual void SetTitle(const std::string& title) = 0;  // Windows-1252 text
  // Full screen or a window. The new client size shows from a later
  // PumpEvents on, which reports it as Resized. While Alt+Enter is held, the
  // platform hides Return, so the switch never also reaches the game as Enter.
  virtual void SetWindowMode(const TWindowMode& mode) = 0;
  // The mode last set (a window's size as asked for, not as resized since).
  virtual TWindowMode WindowMode() = 0;
  virtual void SwapBuffers() = 0;
  virtual void Close() = 0;  // ask the main loop to end

  // OpenGL of the window's context: an entry point by name (null when the
  // driver has none) and whether an extension is offered.
  virtual void* GLProcAddress(const char* name) = 0;
  virtual bool GLExtensionSupported(const char* name) = 0;
  // Which context that is: a number new for every context made in this
  // process, so that one made after another has ended never passes for it
  // (nor do the GL objects of the old one); 0 without one.
  virtual uint64_t GLContext() = 0;

  // Swap control; the extension counts as missing where it cannot be set.
  virtual bool HasSwapControl() = 0;
  virtual int GetSwapInterval() = 0;
  virtual void SetSwapInterval(int interval) = 0;

  // Directory of the executable, with a trailing separator.
  virtual std::string BasePath() = 0;

  // A seed for the game's random generator: from the clock on the real
  // platform, from the recording in a replay.
  virtual uint32_t RandomSeed() = 0;
};

// The platform whose GL context is current on this thread, null while there
// is none: the drawing layer reaches GL through it. The platform that makes
// a context current sets it, and clears it when the context ends.
[[nodiscard]] TPlatform* CurrentGLPlatform();
void SetCurrentGLPlatform(TPlatform* platform);
// A context number never given out before in this process (see GLContext).
[[nodiscard]] uint64_t NewGLContextNumber();

}  // namespace platform
