// SdlPlatform.cpp -- SDL2 window, GL context, input and clock.
#include "platform/SdlPlatform.h"

#include <SDL.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <utility>

#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif
#ifdef _WIN32
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>
#else
#include <pwd.h>
#include <unistd.h>
#endif

#include "platform/Browser.h"
#include "platform/Cp1252.h"
#include "platform/Dialog.h"
#include "platform/FileNames.h"
#include "platform/Keyboard.h"
#include "platform/QuitSignals.h"
#include "platform/VirtualKeys.h"

namespace platform {

namespace {

std::string SdlError(const char* what) { return std::string(what) + ": " + SDL_GetError(); }

bool IsEnter(SDL_Scancode scancode) { return scancode == SDL_SCANCODE_RETURN || scancode == SDL_SCANCODE_KP_ENTER; }

constexpr std::array<std::pair<SDL_GameControllerButton, TPadButton>, kPadButtonCount> kSdlPadButtons{{
    {SDL_CONTROLLER_BUTTON_A, kPadA},
    {SDL_CONTROLLER_BUTTON_B, kPadB},
    {SDL_CONTROLLER_BUTTON_BACK, kPadBack},
    {SDL_CONTROLLER_BUTTON_START, kPadStart},
    {SDL_CONTROLLER_BUTTON_DPAD_UP, kPadUp},
    {SDL_CONTROLLER_BUTTON_DPAD_DOWN, kPadDown},
    {SDL_CONTROLLER_BUTTON_DPAD_LEFT, kPadLeft},
    {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, kPadRight},
    {SDL_CONTROLLER_BUTTON_Y, kPadY},
}};

}  // namespace

struct SdlPlatform::Impl {
  SDL_Window* Window = nullptr;
  SDL_GLContext Context = nullptr;
  uint64_t ContextNumber = 0;  // see GLContext
  TScreenSize Screen;
  TScreenSize Client;  // as the last pump left it
  TWindowMode Mode;
  TAltEnter AltEnter;
  bool Active = true;
  bool CloseRequested = false;
  // A key, mouse button or pad button pressed since the last pump counts
  // as held until the next, even when it was let go again: a tap shorter
  // than a frame (slow frames, or Pause, whose press and release many
  // keyboards send at once) still reaches the game.
  std::array<bool, SDL_NUM_SCANCODES> KeysTapped{};
  bool MouseTapped = false;
  uint16_t PadTapped = 0;
  bool SwapControl = false;
  int CursorX = 0;
  int CursorY = 0;
  bool CaptureMouse = true;
  bool PadSystem = false;  // the game-controller subsystem is up
  SDL_GameController* Pad = nullptr;
  SDL_JoystickID PadId = -1;
  TGamepadState PadState;

  void OpenPad(int deviceIndex);
  void OpenFirstPad();
  void ClosePad();
  void SamplePad();
};

void SdlPlatform::Impl::OpenPad(int deviceIndex) {
  if (Pad || !SDL_IsGameController(deviceIndex)) return;
  Pad = SDL_GameControllerOpen(deviceIndex);
  if (Pad) PadId = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(Pad));
}

void SdlPlatform::Impl::OpenFirstPad() {
  for (int i = 0; i < SDL_NumJoysticks() && !Pad; ++i) OpenPad(i);
}

void SdlPlatform::Impl::ClosePad() {
  if (Pad) SDL_GameControllerClose(Pad);
  Pad = nullptr;
  PadId = -1;
}

void SdlPlatform::Impl::SamplePad() {
  PadState = {};
  if (!Pad) return;
  PadState.Connected = true;
  // Without focus the game hears no keys, and no pad either.
  if (!Active) return;
  for (const auto& [sdlButton, button] : kSdlPadButtons) {
    if (SDL_GameControllerGetButton(Pad, sdlButton)) PadState.Buttons |= button;
  }
  PadState.Buttons |= PadTapped;
  PadState.StickX = SDL_GameControllerGetAxis(Pad, SDL_CONTROLLER_AXIS_LEFTX);
  PadState.StickY = SDL_GameControllerGetAxis(Pad, SDL_CONTROLLER_AXIS_LEFTY);
}

SdlPlatform::SdlPlatform(const TWindowOptions& options) : fImpl(std::make_unique<Impl>()) {
  // Ours, not SDL's: they also end the game while a message box is open.
  InstallQuitSignals();
  // The desktop matches the window to the menu entry (StartupWMClass) by its
  // class, whatever the executable is called; the environment may still
  // name another.
  SDL_setenv("SDL_VIDEO_X11_WMCLASS", "riftvaulter", 0);
  SDL_setenv("SDL_VIDEO_WAYLAND_WMCLASS", "riftvaulter", 0);
  SDL_SetHint(SDL_HINT_APP_NAME, "Riftvaulter");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) throw EPlatformError(SdlError("SDL_Init"));
  SDL_DisplayMode mode{};
  if (SDL_GetDesktopDisplayMode(0, &mode) != 0) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
    throw EPlatformError(SdlError("SDL_GetDesktopDisplayMode"));
  }
  fImpl->Screen = {mode.w, mode.h};
#ifdef __EMSCRIPTEN__
  // "The whole desktop" is the page's viewport; the canvas follows it.
  fImpl->Screen = {EM_ASM_INT({ return window.innerWidth; }), EM_ASM_INT({ return window.innerHeight; })};
  mode.w = fImpl->Screen.Width;
  mode.h = fImpl->Screen.Height;
#endif
  const bool fullScreen = options.Width <= 0 || options.Height <= 0;
  const int width = fullScreen ? mode.w : options.Width;
  const int height = fullScreen ? mode.h : options.Height;
  fImpl->Mode = fullScreen ? TWindowMode{} : TWindowMode{false, width, height};

  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  // The page's canvas is opaque, as a window is: nothing behind it shows
  // through where the game draws with alpha.
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, kInBrowser ? 0 : 8);
#ifdef __EMSCRIPTEN__
  // WebGL 1: OpenGL ES 2.0, which the shader backend draws with.
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
#else
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
#endif

  const int position = fullScreen ? 0 : static_cast<int>(SDL_WINDOWPOS_CENTERED);
  Uint32 flags = SDL_WINDOW_OPENGL | (fullScreen ? SDL_WINDOW_BORDERLESS : SDL_WINDOW_RESIZABLE);
  // In the page the canvas takes the viewport's size as the page changes.
  if constexpr (kInBrowser) flags = SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE;
  fImpl->Window = SDL_CreateWindow("Form1", position, position, width, height, flags);
  if (!fImpl->Window) {
    const std::string message = SdlError("SDL_CreateWindow");
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
    throw EPlatformError(message);
  }
  fImpl->Context = SDL_GL_CreateContext(fImpl->Window);
  if (!fImpl->Context) {
    const std::string message = SdlError("SDL_GL_CreateContext");
    SDL_DestroyWindow(fImpl->Window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
    throw EPlatformError(message);
  }
  SDL_GL_MakeCurrent(fImpl->Window, fImpl->Context);
  fImpl->ContextNumber = NewGLContextNumber();
  SetCurrentGLPlatform(this);
  // Every font stays a few pixels high in the smallest window.
  SDL_SetWindowMinimumSize(fImpl->Window, kMinWindowSide, kMinWindowSide);
  SDL_GL_GetDrawableSize(fImpl->Window, &fImpl->Client.Width, &fImpl->Client.Height);

  // In the page frames come with the display (or the test run's timer):
  // SDL's swap interval there would re-time the page's frame loop.
  const int current = SDL_GL_GetSwapInterval();
  fImpl->SwapControl = !kInBrowser && SDL_GL_SetSwapInterval(current < 0 ? 1 : current) == 0;

  fImpl->CaptureMouse = options.CaptureMouse;
  if (options.CaptureMouse) {
    SDL_ShowCursor(SDL_DISABLE);
    SDL_SetRelativeMouseMode(SDL_TRUE);
  }
  fImpl->CursorX = fImpl->Client.Width / 2;
  fImpl->CursorY = fImpl->Client.Height / 2;
  // A game without a controller subsystem still plays with keys and mouse.
  fImpl->PadSystem = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
  if (!fImpl->PadSystem) std::fprintf(stderr, "%s\n", SdlError("SDL_INIT_GAMECONTROLLER").c_str());
  // RIFTVAULTER_NO_DIALOGS keeps unattended runs from waiting on a box.
#ifdef _WIN32
  const bool desktop = true;
#else
  const bool desktop = std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr;
#endif
  EnableDialogBoxes(desktop && std::getenv("RIFTVAULTER_NO_DIALOGS") == nullptr);
}

SdlPlatform::~SdlPlatform() {
  EnableDialogBoxes(false);
  fImpl->ClosePad();
  if (fImpl->PadSystem) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
  if (fImpl->CaptureMouse) SDL_SetRelativeMouseMode(SDL_FALSE);
  SDL_GL_MakeCurrent(fImpl->Window, nullptr);
  SDL_GL_DeleteContext(fImpl->Context);
  if (CurrentGLPlatform() == this) SetCurrentGLPlatform(nullptr);
  SDL_DestroyWindow(fImpl->Window);
  SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
}

uint64_t SdlPlatform::PerformanceCounter() { return SDL_GetPerformanceCounter(); }
uint64_t SdlPlatform::PerformanceFrequency() { return SDL_GetPerformanceFrequency(); }

bool SdlPlatform::IsVirtualKeyDown(int vk) {
  if (vk == kVkReturn && fImpl->AltEnter.HidesReturn()) return false;
  if (vk == kVkLButton) return fImpl->MouseTapped || (SDL_GetMouseState(nullptr, nullptr) & SDL_BUTTON_LMASK) != 0;
  int count = 0;
  const Uint8* state = SDL_GetKeyboardState(&count);
  for (int scancode : ScancodesForVirtualKey(vk)) {
    if (scancode <= 0 || scancode >= SDL_NUM_SCANCODES) continue;
    if ((scancode < count && state[scancode]) || fImpl->KeysTapped[static_cast<std::size_t>(scancode)]) return true;
  }
  return false;
}

int SdlPlatform::VirtualKeyForChar(char ch) { return VirtualKeyForCharOnLayout(ch); }

void SdlPlatform::GetCursorPos(int& x, int& y) {
  x = fImpl->CursorX;
  y = fImpl->CursorY;
}

void SdlPlatform::SetCursorPos(int x, int y) {
  fImpl->CursorX = x;
  fImpl->CursorY = y;
}

TGamepadState SdlPlatform::Gamepad() { return fImpl->PadState; }

void SdlPlatform::Rumble(uint16_t strength, uint32_t ms) {
  // SDL answers -1 for a pad without motors; nothing to do about it.
  if (fImpl->Pad) (void)SDL_GameControllerRumble(fImpl->Pad, strength, strength, ms);
}

TScreenSize SdlPlatform::ScreenSize() { return fImpl->Screen; }

TScreenSize SdlPlatform::ClientSize() { return fImpl->Client; }

TEvents SdlPlatform::PumpEvents() {
  TEvents result;
  fImpl->KeysTapped.fill(false);
  fImpl->MouseTapped = false;
  fImpl->PadTapped = 0;
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    switch (event.type) {
      case SDL_QUIT:
        result.Quit = true;
        break;
      case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) fImpl->Active = true;
        if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) fImpl->Active = false;
        if (event.window.event == SDL_WINDOWEVENT_CLOSE) result.Quit = true;
        break;
      case SDL_KEYDOWN: {
        const SDL_Scancode scancode = event.key.keysym.scancode;
        // Alt+Enter switches the window and is never also a press of Enter,
        // however short.
        if (IsEnter(scancode) && !event.key.repeat && fImpl->AltEnter.EnterDown((event.key.keysym.mod & KMOD_ALT) != 0))
          result.ToggleWindowMode = true;
        else if (scancode > 0 && scancode < SDL_NUM_SCANCODES)
          fImpl->KeysTapped[static_cast<std::size_t>(scancode)] = true;
        break;
      }
      case SDL_KEYUP:
        if (IsEnter(event.key.keysym.scancode)) {
          const Uint8* keys = SDL_GetKeyboardState(nullptr);
          if (!keys[SDL_SCANCODE_RETURN] && !keys[SDL_SCANCODE_KP_ENTER]) fImpl->AltEnter.EnterUp();
        }
        break;
      case SDL_MOUSEBUTTONDOWN:
        if (event.button.button == SDL_BUTTON_LEFT) fImpl->MouseTapped = true;
        break;
      case SDL_CONTROLLERBUTTONDOWN:
        if (event.cbutton.which == fImpl->PadId) {
          for (const auto& [sdlButton, button] : kSdlPadButtons) {
            if (event.cbutton.button == sdlButton) fImpl->PadTapped |= button;
          }
        }
        break;
      case SDL_MOUSEMOTION:
        fImpl->CursorX += event.motion.xrel;
        fImpl->CursorY += event.motion.yrel;
        break;
      case SDL_CONTROLLERDEVICEADDED:
        fImpl->OpenPad(event.cdevice.which);
        break;
      case SDL_CONTROLLERDEVICEREMOVED:
        if (event.cdevice.which == fImpl->PadId) {
          fImpl->ClosePad();
          fImpl->OpenFirstPad();  // another one may still be plugged in
        }
        break;
      default:
        break;
    }
  }
  fImpl->SamplePad();
  if (fImpl->CloseRequested || QuitSignalled()) result.Quit = true;
  // The size is read once per pump, so that a frame never sees it change
  // half-way (a mode switch or a resize lands here, at the next pump).
  TScreenSize client;
  SDL_GL_GetDrawableSize(fImpl->Window, &client.Width, &client.Height);
  if (client.Width != fImpl->Client.Width || client.Height != fImpl->Client.Height) {
    fImpl->Client = client;
    result.Resized = true;
  }
  return result;
}

bool SdlPlatform::IsActive() { return fImpl->Active; }

void SdlPlatform::WaitForEvents(int timeoutMs) {
  // The page must never block: the browser calls again with the next frame.
  if constexpr (!kInBrowser) SDL_WaitEventTimeout(nullptr, timeoutMs);
}

void SdlPlatform::SetTitle(const std::string& title) {
  SDL_SetWindowTitle(fImpl->Window, Cp1252ToUtf8(title).c_str());
}

void SdlPlatform::SetWindowMode(const TWindowMode& mode) {
#ifdef __EMSCRIPTEN__
  // The page has no windows: its canvas goes to the screen and back.
  EM_ASM({
    if (Module.riftvaulterToggleFullscreen) Module.riftvaulterToggleFullscreen();
  });
  return;
#endif
  SDL_Window* window = fImpl->Window;
  if (mode.FullScreen) {
    fImpl->Mode = TWindowMode{};
    SDL_SetWindowResizable(window, SDL_FALSE);
    SDL_SetWindowBordered(window, SDL_FALSE);
    SDL_SetWindowPosition(window, 0, 0);
    SDL_SetWindowSize(window, fImpl->Screen.Width, fImpl->Screen.Height);
  } else {
    const int width = std::max(mode.Width, kMinWindowSide), height = std::max(mode.Height, kMinWindowSide);
    fImpl->Mode = TWindowMode{false, width, height};
    SDL_SetWindowBordered(window, SDL_TRUE);
    SDL_SetWindowResizable(window, SDL_TRUE);
    SDL_SetWindowSize(window, width, height);
    SDL_SetWindowPosition(window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
  }
}

TWindowMode SdlPlatform::WindowMode() { return fImpl->Mode; }

void SdlPlatform::SwapBuffers() { SDL_GL_SwapWindow(fImpl->Window); }

void SdlPlatform::Close() { fImpl->CloseRequested = true; }

bool SdlPlatform::HasSwapControl() { return fImpl->SwapControl; }

int SdlPlatform::GetSwapInterval() { return SDL_GL_GetSwapInterval(); }

void SdlPlatform::SetSwapInterval(int interval) { SDL_GL_SetSwapInterval(interval); }

std::string SdlPlatform::BasePath() { return ExecutableDirectory(); }

uint32_t SdlPlatform::RandomSeed() {
  return static_cast<uint32_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count());
}

void* SdlPlatform::GLProcAddress(const char* name) { return SDL_GL_GetProcAddress(name); }

bool SdlPlatform::GLExtensionSupported(const char* name) { return SDL_GL_ExtensionSupported(name) == SDL_TRUE; }

uint64_t SdlPlatform::GLContext() { return fImpl->ContextNumber; }

std::string ExecutableDirectory() {
  if constexpr (kInBrowser) return kBrowserExecutableDir;
  char* path = SDL_GetBasePath();
  if (!path) return "./";
  std::string result(path);
  SDL_free(path);
  std::replace(result.begin(), result.end(), '\\', '/');  // Windows names folders with backslashes
  if (result.empty() || result.back() != '/') result += '/';
  return result;
}

std::string XdgDataHome(const char* xdgDataHome, const char* home) {
  auto trimmed = [](std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
  };
  // The base directory rule ignores relative values: they would name a
  // different folder for every working directory.
  if (xdgDataHome && xdgDataHome[0] == '/') return trimmed(xdgDataHome);
  if (home && home[0] == '/') {
    std::string base = trimmed(home);
    if (base == "/") base.clear();
    return base + "/.local/share";
  }
  return {};
}

std::string DataHomeDirectory() {
#if defined(__EMSCRIPTEN__)
  return kBrowserDataHome;
#elif defined(_WIN32)
  const wchar_t* appData = ::_wgetenv(L"APPDATA");
  if (!appData || !*appData) return {};
  return Utf8Path(appData);
#else
  const char* home = std::getenv("HOME");
  if (!home || home[0] != '/') {
    if (const passwd* entry = ::getpwuid(::getuid())) home = entry->pw_dir;
  }
  return XdgDataHome(std::getenv("XDG_DATA_HOME"), home);
#endif
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
#ifdef _WIN32
  int count = 0;
  if (LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i) {
      const std::u8string text = std::filesystem::path(wide[i]).u8string();
      arguments.emplace_back(text.begin(), text.end());
    }
    LocalFree(wide);
    return arguments;
  }
#endif
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

void AttachParentConsole() {
#ifdef _WIN32
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out != nullptr && out != INVALID_HANDLE_VALUE && GetFileType(out) != FILE_TYPE_UNKNOWN) return;
  if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
  std::FILE* ignored = nullptr;
  ignored = std::freopen("CONOUT$", "w", stdout);
  ignored = std::freopen("CONOUT$", "w", stderr);
  (void)ignored;
#endif
}

}  // namespace platform
