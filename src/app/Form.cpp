// Form.cpp -- start-up, the idle-time frame and teardown of the main form.
#include "app/Form.h"

#include <cmath>
#include <string>

#include "geometry/Extended.h"
#include "geometry/SimMath.h"
#include "menu/MainMenu.h"
#include "platform/Browser.h"
#include "platform/Platform.h"
#include "render/Font.h"
#include "render/FrameSetup.h"
#include "render/draw/Draw.h"
#include "services/FatalError.h"
#include "services/IniFile.h"
#include "services/Settings.h"
#include "services/Sound.h"

TForm1::TForm1(platform::TPlatform& platform) : fPlatform(platform) {}

TForm1::~TForm1() { FormDestroy(); }

int TForm1::FpsFontSize(int clientHeight) {
  return static_cast<int>(std::nearbyint(static_cast<double>(clientHeight) / 60.0));
}

void TForm1::FormCreate() {
  InitGL();
  ApplyVSyncSetting();
  InitGame();
  fCreated = true;
}

void TForm1::InitGL() {
  gfx::ClearColor(0, 0, 0, 0);
  gfx::Enable(gfx::TCap::DepthTest);
  gfx::Enable(gfx::TCap::CullFace);
}

void TForm1::SetVSync(bool enable) {
  if (!fPlatform.HasSwapControl()) return;
  const int interval = fPlatform.GetSwapInterval();
  if (enable && interval != 1) fPlatform.SetSwapInterval(1);
  if (!enable && interval != 0) fPlatform.SetSwapInterval(0);
}

void TForm1::ApplyVSyncSetting() {
  const TIniFile settings = ReadSettings(fPlatform.BasePath() + "settings.ini");
  if (settings.ReadInteger("main", "vsync", 1) != 0) SetVSync(true);
}

bool TForm1::SoundSetting() {
  if (fSilent) return false;
  const TIniFile settings = ReadSettings(fPlatform.BasePath() + "settings.ini");
  return settings.ReadInteger("main", "sound", 1) != 0;
}

void TForm1::InitGame() {
  fSound = std::make_unique<TSound>(SoundSetting());
  FormResize();
  Guarded("Fehler beim Erzeugen von 'FPSFont'", [this] {
    fTextContext = CreateTextContext();
    FPSFont = std::make_unique<TglFont>(fTextContext, 0, FpsFontSize(fPlatform.ClientSize().Height),
                                        fPlatform.BasePath() + "data\\lucon.ttf");
  });
  Guarded("Fehler beim Erzeugen von 'MainMenu'", [this] {
    // The menu lays itself out in the client area: in a window, not over
    // the desktop.
    const platform::TScreenSize client = fPlatform.ClientSize();
    MainMenu = std::make_unique<TMainMenu>(fPlatform, *fSound, fTextContext, client.Width, client.Height);
    MainMenu->OnQuit = [this] { MenuQuit(); };
    MainMenu->OnToggleWindow = [this] { ToggleWindowMode(); };
  });
  fFrequency = fPlatform.PerformanceFrequency();
  fLastCounter = fPlatform.PerformanceCounter();
}

void TForm1::IdleHandler(bool& done) {
  simmath::SteadyExtendedPrecision();
  fCounter = fPlatform.PerformanceCounter();
  // Extended precision, the same bits on every target: a recording's clock
  // readings become the same frame steps wherever it is played back.
  const TExtended ticks = static_cast<TExtended>(fCounter - fLastCounter);
  fElapsed = static_cast<float>(ticks / static_cast<TExtended>(fFrequency) * TExtended(1000));
  fLastCounter = fPlatform.PerformanceCounter();

  const bool active = fPlatform.IsActive();
  if (fWasActive && !active && MainMenu) MainMenu->FocusLost();
  fWasActive = active;
  if (active) {
    DrawFrame();
    if (MainMenu) MainMenu->Progress(fElapsed);
  }

  fFPSTime += fElapsed;
  fFrameCount += 1;
  if (fFPSTime >= 1000.0f) {
    fFPS = fFrameCount;
    fFPSTime -= 1000.0f;
    fFrameCount = 0;
    fPlatform.SetTitle(std::to_string(fFPS) + " FPS");
  }
  done = false;
}

void TForm1::DrawFrame() {
  const platform::TScreenSize client = fPlatform.ClientSize();
  gfx::Clear();
  render::SetPerspective(client.Width, client.Height);
  if (MainMenu) {
    gfx::PushMatrix();
    MainMenu->Render();
    gfx::PopMatrix();
  }

  render::BeginOverlay(static_cast<float>(client.Width), static_cast<float>(client.Height));
  if (FPSFont) {
    const int size = FPSFont->Size();
    FPSFont->Print(std::to_string(fFPS) + " FPS", ts::kAlignRight, 0, static_cast<float>(client.Height - size),
                   static_cast<float>(client.Width), static_cast<float>(size));
  }
  render::EndOverlay();

  gfx::Flush();
  fPlatform.SwapBuffers();
}

void TForm1::FormResize() {
  const platform::TScreenSize client = fPlatform.ClientSize();
  gfx::Viewport({0, 0, client.Width, client.Height});
  render::SetPerspective(client.Width, client.Height);
  if (client.Width <= 0 || client.Height <= 0) return;  // nothing to lay out in
  if (!fPlatform.WindowMode().FullScreen) fWindowSize = client;
  const int fpsSize = FpsFontSize(client.Height);
  if (FPSFont && FPSFont->Size() != fpsSize)
    FPSFont = std::make_unique<TglFont>(fTextContext, 0, fpsSize, fPlatform.BasePath() + "data\\lucon.ttf");
  if (MainMenu) MainMenu->Resize(client.Width, client.Height);
}

platform::TScreenSize TForm1::DefaultWindowSize(platform::TScreenSize screen) {
  if (screen.Width > 1280 && screen.Height > 720) return {1280, 720};
  return {screen.Width * 3 / 4, screen.Height * 3 / 4};
}

void TForm1::ToggleWindowMode() {
  if constexpr (platform::kInBrowser) {
    // The page's full screen comes and goes; there is no window to remember.
    fPlatform.SetWindowMode({});
    return;
  }
  const std::string settings = fPlatform.BasePath() + "settings.ini";
  if (fPlatform.WindowMode().FullScreen) {
    const platform::TScreenSize size =
        fWindowSize.Width > 0 ? fWindowSize : DefaultWindowSize(fPlatform.ScreenSize());
    fPlatform.SetWindowMode({false, size.Width, size.Height});
    WriteSetting(settings, "window", WindowSettingText({false, size.Width, size.Height}));
  } else {
    fPlatform.SetWindowMode({});
    WriteSetting(settings, "window", WindowSettingText({}));
  }
}

void TForm1::FormDestroy() {
  if (!fCreated || fDestroyed) return;
  fDestroyed = true;
  // Audio ends first; the menu and its stage play nothing while they go.
  if (fSound) fSound->Close();
  FPSFont.reset();
  MainMenu.reset();
  fSound.reset();
  // The fonts of the context are gone; its textures go while GL is current.
  if (fTextContext != 0) ts::ContextDestroy(fTextContext);
  fTextContext = 0;
}

void TForm1::MenuQuit() { fPlatform.Close(); }

void TForm1::Begin(const TRunHooks& hooks) {
  fHooks = hooks;
  FormCreate();
  if (fHooks.Created) fHooks.Created();
}

bool TForm1::Step() {
  const platform::TEvents events = fPlatform.PumpEvents();
  if (events.Quit) return false;
  // A switch shows as a resize at a later pump.
  if (events.ToggleWindowMode) ToggleWindowMode();
  if (events.Resized) FormResize();
  bool done = false;
  IdleHandler(done);
  if (fHooks.FrameDone && !fHooks.FrameDone()) return false;
  // Inactive: nothing is drawn, so wait for events instead of spinning.
  if (!fPlatform.IsActive()) fPlatform.WaitForEvents(10);
  return true;
}

void TForm1::End() {
  if (fHooks.Ending) fHooks.Ending();
  FormDestroy();
}
