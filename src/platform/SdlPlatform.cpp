// SdlPlatform.cpp -- SDL2 window, GL context, input and clock.
#include "platform/SdlPlatform.h"

#include <SDL.h>
#include <pwd.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdlib>

#include "platform/Dialog.h"
#include "platform/VirtualKeys.h"

namespace platform {

namespace {

std::string SdlError(const char* what) { return std::string(what) + ": " + SDL_GetError(); }

}  // namespace

struct SdlPlatform::Impl {
  SDL_Window* Window = nullptr;
  SDL_GLContext Context = nullptr;
  TScreenSize Screen;
  bool Active = true;
  bool CloseRequested = false;
  bool SwapControl = false;
  int CursorX = 0;
  int CursorY = 0;
  bool CaptureMouse = true;
};

SdlPlatform::SdlPlatform(const TWindowOptions& options) : fImpl(std::make_unique<Impl>()) {
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) throw EPlatformError(SdlError("SDL_Init"));
  SDL_DisplayMode mode{};
  if (SDL_GetDesktopDisplayMode(0, &mode) != 0) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
    throw EPlatformError(SdlError("SDL_GetDesktopDisplayMode"));
  }
  fImpl->Screen = {mode.w, mode.h};
  const int width = options.Width > 0 ? options.Width : mode.w;
  const int height = options.Height > 0 ? options.Height : mode.h;

  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);

  fImpl->Window = SDL_CreateWindow("Form1", 0, 0, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_BORDERLESS);
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

  const int current = SDL_GL_GetSwapInterval();
  fImpl->SwapControl = SDL_GL_SetSwapInterval(current < 0 ? 1 : current) == 0;

  fImpl->CaptureMouse = options.CaptureMouse;
  if (options.CaptureMouse) {
    SDL_ShowCursor(SDL_DISABLE);
    SDL_SetRelativeMouseMode(SDL_TRUE);
  }
  fImpl->CursorX = fImpl->Screen.Width / 2;
  fImpl->CursorY = fImpl->Screen.Height / 2;
  // RIFTVAULTER_NO_DIALOGS keeps unattended runs from waiting on a box.
  EnableDialogBoxes((std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr) &&
                    std::getenv("RIFTVAULTER_NO_DIALOGS") == nullptr);
}

SdlPlatform::~SdlPlatform() {
  EnableDialogBoxes(false);
  if (fImpl->CaptureMouse) SDL_SetRelativeMouseMode(SDL_FALSE);
  SDL_GL_MakeCurrent(fImpl->Window, nullptr);
  SDL_GL_DeleteContext(fImpl->Context);
  SDL_DestroyWindow(fImpl->Window);
  SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
}

uint64_t SdlPlatform::PerformanceCounter() { return SDL_GetPerformanceCounter(); }
uint64_t SdlPlatform::PerformanceFrequency() { return SDL_GetPerformanceFrequency(); }

bool SdlPlatform::IsVirtualKeyDown(int vk) {
  if (vk == kVkLButton) return (SDL_GetMouseState(nullptr, nullptr) & SDL_BUTTON_LMASK) != 0;
  int count = 0;
  const Uint8* state = SDL_GetKeyboardState(&count);
  for (int scancode : ScancodesForVirtualKey(vk)) {
    if (scancode > 0 && scancode < count && state[scancode]) return true;
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

TScreenSize SdlPlatform::ScreenSize() { return fImpl->Screen; }

TScreenSize SdlPlatform::ClientSize() {
  TScreenSize size;
  SDL_GL_GetDrawableSize(fImpl->Window, &size.Width, &size.Height);
  return size;
}

TEvents SdlPlatform::PumpEvents() {
  TEvents result;
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    switch (event.type) {
      case SDL_QUIT:
        result.Quit = true;
        break;
      case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) result.Resized = true;
        if (event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) fImpl->Active = true;
        if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) fImpl->Active = false;
        if (event.window.event == SDL_WINDOWEVENT_CLOSE) result.Quit = true;
        break;
      case SDL_MOUSEMOTION:
        fImpl->CursorX += event.motion.xrel;
        fImpl->CursorY += event.motion.yrel;
        break;
      default:
        break;
    }
  }
  if (fImpl->CloseRequested) result.Quit = true;
  return result;
}

bool SdlPlatform::IsActive() { return fImpl->Active; }

void SdlPlatform::WaitForEvents(int timeoutMs) { SDL_WaitEventTimeout(nullptr, timeoutMs); }

void SdlPlatform::SetTitle(const std::string& title) {
  SDL_SetWindowTitle(fImpl->Window, Cp1252ToUtf8(title).c_str());
}

void SdlPlatform::SwapBuffers() { SDL_GL_SwapWindow(fImpl->Window); }

void SdlPlatform::Close() { fImpl->CloseRequested = true; }

bool SdlPlatform::HasSwapControl() { return fImpl->SwapControl; }

int SdlPlatform::GetSwapInterval() { return SDL_GL_GetSwapInterval(); }

void SdlPlatform::SetSwapInterval(int interval) { SDL_GL_SetSwapInterval(interval); }

std::string SdlPlatform::BasePath() { return ExecutableDirectory(); }

uint32_t SdlPlatform::RandomSeed() {
  return static_cast<uint32_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count());
}

void* SdlPlatform::GetProcAddress(const char* name) { return SDL_GL_GetProcAddress(name); }

bool SdlPlatform::ExtensionSupported(const char* name) { return SDL_GL_ExtensionSupported(name) == SDL_TRUE; }

std::string ExecutableDirectory() {
  char* path = SDL_GetBasePath();
  if (!path) return "./";
  std::string result(path);
  SDL_free(path);
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
  const char* home = std::getenv("HOME");
  if (!home || home[0] != '/') {
    if (const passwd* entry = ::getpwuid(::getuid())) home = entry->pw_dir;
  }
  return XdgDataHome(std::getenv("XDG_DATA_HOME"), home);
}

}  // namespace platform
