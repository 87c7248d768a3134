// WindowModeTest.cpp -- full screen and window: the settings.ini key, Alt+Enter
// (switching, remembering, never acting as Enter) and everything sized from
// the client area following it, read back from real frames; the real
// window's switch and the real program starting in the window of its setting.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <regex>
#include <thread>
#include <vector>

#include "app/Form.h"
#include "menu/MainMenu.h"
#include "objects/Ship.h"
#include "platform/ScriptedPlatform.h"
#include "platform/SdlPlatform.h"
#include "platform/VirtualKeys.h"
#include "render/Font.h"
#include "services/IniFile.h"
#include "services/Settings.h"
#include "stage/Level.h"
#include "support/MenuRuntime.h"

namespace {

using platform::kVkEscape;
using platform::kVkMenu;
using platform::kVkReturn;
using platform::TScreenSize;
using platform::TWindowMode;

TEST(WindowSetting, SizesZeroAndMissingAreReadAndAnythingElseIsFullScreenWithAMessage) {
  struct TCase {
    const char* text;  // settings.ini's content
    TWindowMode mode;
    bool message;
  };
  const TWindowMode full;
  const TCase cases[] = {
      {"", full, false},
      {"[main]\r\nvsync=1\r\n", full, false},
      {"[main]\r\nwindow=0\r\n", full, false},
      {"[main]\r\nwindow=1280x720\r\n", {false, 1280, 720}, false},
      {"[main]\r\nwindow= 800X600 \r\n", {false, 800, 600}, false},
      {"[main]\r\nwindow=64x16384\r\n", {false, 64, 16384}, false},
      {"[main]\r\nwindow=breit\r\n", full, true},
      {"[main]\r\nwindow=1280\r\n", full, true},
      {"[main]\r\nwindow=1280x\r\n", full, true},
      {"[main]\r\nwindow=x720\r\n", full, true},
      {"[main]\r\nwindow=63x480\r\n", full, true},
      {"[main]\r\nwindow=640x16385\r\n", full, true},
      {"[main]\r\nwindow=-640x480\r\n", full, true},
      {"[main]\r\nwindow=640x480x2\r\n", full, true},
      {"[main]\r\nwindow=0x0\r\n", full, true},
      {"[main]\r\nwindow=99999999999x480\r\n", full, true},
      {"[main]\r\nwindow=\r\n", full, true},
  };
  for (const TCase& c : cases) {
    TIniFile ini;
    ini.SetText(c.text);
    testing::internal::CaptureStderr();
    const TWindowMode mode = ReadWindowSetting(ini);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(mode.FullScreen, c.mode.FullScreen) << c.text;
    EXPECT_EQ(mode.Width, c.mode.Width) << c.text;
    EXPECT_EQ(mode.Height, c.mode.Height) << c.text;
    if (c.message) {
      EXPECT_NE(err.find("window="), std::string::npos) << c.text;
      EXPECT_NE(err.find("Vollbild"), std::string::npos) << err;
    } else {
      EXPECT_EQ(err, "") << c.text;
    }
    // What the game writes reads back as the same mode.
    TIniFile written;
    written.SetText(SetMainKey("", "window", WindowSettingText(mode)));
    const TWindowMode back = ReadWindowSetting(written);
    EXPECT_EQ(back.FullScreen, mode.FullScreen) << c.text;
    EXPECT_EQ(back.Width, mode.Width) << c.text;
  }

  // Alt+Enter's window when the run has had none: 1280 x 720 where that is
  // smaller than the desktop, three quarters of the desktop elsewhere.
  const std::pair<TScreenSize, TScreenSize> sizes[] = {
      {{1920, 1080}, {1280, 720}}, {{2560, 1440}, {1280, 720}}, {{1280, 1024}, {960, 768}}, {{1024, 768}, {768, 576}}};
  for (const auto& [screen, window] : sizes) {
    const TScreenSize size = TForm1::DefaultWindowSize(screen);
    EXPECT_EQ(size.Width, window.Width) << screen.Width;
    EXPECT_EQ(size.Height, window.Height) << screen.Width;
  }
}

int Height(const TGLWindow::TBox& box) { return box.Bottom - box.Top + 1; }
int Width(const TGLWindow::TBox& box) { return box.Right - box.Left + 1; }

// Text right-aligned at `edge`: its ink ends there, or up to a sixth of the
// font size before it (the last glyph's bearing).
void ExpectRightEdge(const TGLWindow::TBox& box, int edge, int size, const char* what) {
  EXPECT_LE(box.Right, edge - 1) << what;
  EXPECT_GE(box.Right, edge - size / 6) << what;
}

// The main form's own loop on the scripted platform, drawing into a real GL
// window as large as the largest client area the test gives it: a client
// area lies at the window's bottom left, as the viewport puts it.
class WindowModeTest : public testing::Test {
 protected:
  WindowModeTest() : Window(1920, 1080) {
    P.Base = Runtime.Base();
    P.Screen = P.Client = {1920, 1080};
    P.SwapInterval = 1;
  }

  // Runs the main loop; after each frame `steps[i]` checks what frame i
  // did and sets keys for the next. The loop ends after the last step.
  void Run(const std::vector<std::function<void()>>& steps) {
    TForm1 form(P);
    Form = &form;
    std::size_t frame = 0;
    TRunHooks hooks;
    hooks.FrameDone = [&] {
      P.AdvanceMs(16);
      steps.at(frame++)();
      return frame < steps.size();
    };
    form.Run(hooks);
    Form = nullptr;
  }
  TMainMenu& Menu() const { return *Form->MainMenu; }

  // White pixels (text, the HUD's strokes) in a rectangle of the client
  // area's coordinates, y from the top; the box is in the same coordinates.
  TGLWindow::TBox WhiteInk(const std::vector<uint8_t>& rgba, int x0, int y0, int x1, int y1) const {
    const int dy = Window.Height() - P.Client.Height;
    TGLWindow::TBox box;
    bool found = false;
    for (int y = std::max(0, y0); y < std::min(P.Client.Height, y1); ++y)
      for (int x = std::max(0, x0); x < std::min(P.Client.Width, x1); ++x) {
        const uint32_t p = TGLWindow::Pixel(rgba, Window.Width(), x, y + dy);
        if ((p >> 16) < 160 || ((p >> 8) & 0xFF) < 160 || (p & 0xFF) < 160) continue;
        if (!found) box = {x, y, x, y};
        found = true;
        box.Left = std::min(box.Left, x);
        box.Right = std::max(box.Right, x);
        box.Top = std::min(box.Top, y);
        box.Bottom = std::max(box.Bottom, y);
      }
    return box;
  }
  // Lit pixels of the whole GL window outside the client area.
  int LitOutsideClient(const std::vector<uint8_t>& rgba) const {
    int lit = 0;
    for (int y = 0; y < Window.Height(); ++y)
      for (int x = 0; x < Window.Width(); ++x) {
        const bool inside = x < P.Client.Width && y >= Window.Height() - P.Client.Height;
        if (!inside && TGLWindow::Pixel(rgba, Window.Width(), x, y) != 0) ++lit;
      }
    return lit;
  }
  std::string Setting(const std::string& key) const {
    return ReadSettings(Runtime.Base() + "settings.ini").ReadString("main", key, "-");
  }
  void Key(int vk, bool down) { P.SetKey(vk, down); }

  TGLWindow Window;
  TMenuRuntime Runtime;
  platform::ScriptedPlatform P;
  TForm1* Form = nullptr;
};

TEST_F(WindowModeTest, AltEnterSwitchesBothWaysRemembersTheSizeAndNeverActsAsEnter) {
  auto sizes = [&](int big, int small, int fps, int hud) {
    EXPECT_EQ(Menu().fBigFont->Size(), big);
    EXPECT_EQ(Menu().fSmallFont->Size(), small);
    EXPECT_EQ(Form->FPSFont->Size(), fps);
    EXPECT_EQ(Menu().Level->fFont->Size(), hud);
    EXPECT_EQ(Menu().fWidth, P.Client.Width);
    EXPECT_EQ(Menu().fHeight, P.Client.Height);
    EXPECT_FLOAT_EQ(Menu().fUnitsPerPixel, static_cast<float>(2 * std::tan(M_PI / 8) * 40 / P.Client.Height));
  };
  auto mode = [&](bool fullScreen, int width, int height) {
    ASSERT_FALSE(P.ModeCalls.empty());
    EXPECT_EQ(P.ModeCalls.back().FullScreen, fullScreen);
    EXPECT_EQ(P.ModeCalls.back().Width, width);
    EXPECT_EQ(P.ModeCalls.back().Height, height);
  };
  Runtime.WriteStage("A.level", "ERSTE", true);  // the stage page is more than its way back
  Run({
      [&] {
        sizes(72, 36, 18, 54);  // 1080 / 15, / 30, / 60, / 20
        EXPECT_EQ(Setting("window"), "-");
        Key(kVkMenu, true);
      },
      [&] { Key(kVkReturn, true); },
      [&] {
        // Switched at this frame's pump; the window shows its size at the next.
        mode(false, 1280, 720);
        EXPECT_EQ(Setting("window"), "1280x720");
        Key(kVkMenu, false);  // Alt let go first, Enter still held
      },
      [&] {
        sizes(48, 24, 12, 36);
        EXPECT_EQ(Menu().fPath, "0");  // the Enter of Alt+Enter opened nothing
        Key(kVkReturn, false);
        P.Resize(1000, 600);  // the player drags the window
      },
      [&] {
        sizes(40, 20, 10, 30);
        EXPECT_EQ(Menu().fPath, "0");
        Key(kVkReturn, true);  // a plain Enter still works
      },
      [&] {
        EXPECT_EQ(Menu().fPath, "0_0");
        Key(kVkReturn, false);
        Key(kVkMenu, true);
      },
      [&] { Key(kVkReturn, true); },
      [&] {
        mode(true, 0, 0);
        EXPECT_EQ(Setting("window"), "0");
        Key(kVkReturn, false);
      },
      [&] {
        sizes(72, 36, 18, 54);
        EXPECT_EQ(Menu().fPath, "0_0");
        Key(kVkReturn, true);  // Alt still down: the way back to the window
      },
      [&] {
        mode(false, 1000, 600);  // the size the window had last
        EXPECT_EQ(Setting("window"), "1000x600");
        Key(kVkReturn, false);
        Key(kVkMenu, false);
      },
      [&] {
        sizes(40, 20, 10, 30);
        EXPECT_EQ(Menu().fPath, "0_0");
        EXPECT_EQ(P.ModeCalls.size(), 3u);
      },
  });
}

// Frames read back: the GL window must lie on the screen, as pixels off it
// need not be drawn at all.
class WindowModePixelTest : public WindowModeTest {
 protected:
  void SetUp() override {
    const TScreenSize screen = Window.Platform().ScreenSize();
    if (screen.Width < 1920 || screen.Height < 1080)
      GTEST_SKIP() << "needs a screen of at least 1920 x 1080 (scripts/test's Xvfb has one)";
  }
};

// The same menu frame at 1920 x 1080 full screen and in a 1280 x 720 window:
// every text is two thirds as high, sits in the same place relative to the
// client area and nothing is drawn outside it.
TEST_F(WindowModePixelTest, MenuAndFpsTextFollowTheClientArea) {
  struct TMeasure {
    TGLWindow::TBox Caption, Fps;
    int Outside = 0;
  };
  auto measure = [&] {
    const std::vector<uint8_t> frame = Window.ReadPixels();
    const int w = P.Client.Width, h = P.Client.Height;
    const int big = Menu().fBigFont->Size(), fps = Form->FPSFont->Size();
    TMeasure m;
    // The last of the four rows (item 3), right-aligned 1.5 rows from the
    // right edge; the FPS figure in the bottom strip, at the right edge.
    m.Caption = WhiteInk(frame, w / 2, h - 2 * big, w, h - big);
    m.Fps = WhiteInk(frame, w / 2, h - fps, w, h);
    m.Outside = LitOutsideClient(frame);
    return m;
  };
  TMeasure full, window;
  Run({
      [&] {
        // The background's white ships stay out of the way.
        Menu().fEnemyModel->fScale = Menu().fPlayerModel->fScale = 0;
        Form->fFPS = 60;
      },
      [&] {
        full = measure();
        Key(kVkMenu, true);
        Key(kVkReturn, true);
      },
      [&] {},
      [&] {
        Form->fFPS = 60;
        Key(kVkMenu, false);
        Key(kVkReturn, false);
      },
      [&] { window = measure(); },
  });
  ASSERT_FALSE(full.Caption.Empty());
  ASSERT_FALSE(full.Fps.Empty());
  ASSERT_FALSE(window.Caption.Empty());
  ASSERT_FALSE(window.Fps.Empty());
  EXPECT_EQ(full.Outside, 0);
  EXPECT_EQ(window.Outside, 0);
  // Heights to a pixel or two; widths within the rounding of each size's
  // glyph advance.
  EXPECT_NEAR(Height(window.Caption) * 1.5, Height(full.Caption), 3);
  EXPECT_NEAR(Width(window.Caption) * 1.5, Width(full.Caption), 0.04 * Width(full.Caption));
  EXPECT_NEAR(Height(window.Fps) * 1.5, Height(full.Fps), 3);
  // Right-aligned 1.5 rows (108 and 72 pixels) from the client's right edge,
  // less the last glyph's bearing.
  ExpectRightEdge(full.Caption, 1920 - 108, 72, "caption, full screen");
  ExpectRightEdge(window.Caption, 1280 - 72, 48, "caption, window");
  ExpectRightEdge(full.Fps, 1920, 18, "FPS, full screen");
  ExpectRightEdge(window.Fps, 1280, 12, "FPS, window");
}

// A stage switched to a window while it runs: its HUD font follows, the
// score stays at the client area's top right, and steering is measured from
// the client area's centre.
TEST_F(WindowModePixelTest, StageHudFollowsTheClientArea) {
  Runtime.WritePlayableStage("A.level", "ERSTE", true);
  TGLWindow::TBox full, window;
  auto score = [&] {
    // The top strip's right half holds the score and nothing else while the
    // opening ring is still small.
    const int s = Menu().Level->fFont->Size();
    return WhiteInk(Window.ReadPixels(), P.Client.Width / 2, 0, P.Client.Width, s);
  };
  int lit = -1;
  Run({
      [&] { Key(kVkReturn, true); },
      [&] { Key(kVkReturn, false); },
      [&] { Key(kVkReturn, true); },  // the stage page: start stage A
      [&] { Key(kVkReturn, false); },
      [&] {
        ASSERT_TRUE(Menu().Level->fActive);
        full = score();
        Key(kVkMenu, true);
        Key(kVkReturn, true);
      },
      [&] {},
      [&] {
        EXPECT_EQ(Menu().Level->fFont->Size(), 36);
        EXPECT_TRUE(Menu().Level->fActive);
        window = score();
        lit = LitOutsideClient(Window.ReadPixels());
        int x = 0, y = 0;
        P.GetCursorPos(x, y);
        EXPECT_EQ(x, 640);
        EXPECT_EQ(y, 360);
        Key(kVkMenu, false);
        Key(kVkReturn, false);
        Key(kVkEscape, true);
      },
      [&] { Key(kVkEscape, false); },
  });
  ASSERT_FALSE(full.Empty());
  ASSERT_FALSE(window.Empty());
  // Only the ship's wide lines may reach a pixel or so past the viewport.
  EXPECT_LT(lit, 50);
  // Right-aligned a fifth of the font size from the right edge.
  ExpectRightEdge(full, 1920 - 54 / 5, 54, "score, full screen");
  ExpectRightEdge(window, 1280 - 36 / 5, 36, "score, window");
  EXPECT_NEAR(Height(window) * 1.5, Height(full), 3);
  EXPECT_NEAR(Width(window) * 1.5, Width(full), 0.04 * Width(full));
}

// The real window: a switch lands at a later pump, which reports it; the
// cursor's centre and the mode follow.
TEST(SdlWindowMode, SwitchesBetweenAWindowAndTheDesktop) {
  platform::SdlPlatform p(platform::TWindowOptions{.Width = 640, .Height = 480, .CaptureMouse = false});
  EXPECT_FALSE(p.WindowMode().FullScreen);
  EXPECT_EQ(p.ClientSize().Width, 640);
  int x = 0, y = 0;
  p.GetCursorPos(x, y);
  EXPECT_EQ(x, 320);
  EXPECT_EQ(y, 240);
  // Pumps until the client size is `size`; true when a pump reported it.
  auto settle = [&](TScreenSize size) {
    bool resized = false;
    for (int i = 0; i < 200; ++i) {
      resized |= p.PumpEvents().Resized;
      if (p.ClientSize().Width == size.Width && p.ClientSize().Height == size.Height) return resized;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ADD_FAILURE() << "still " << p.ClientSize().Width << "x" << p.ClientSize().Height;
    return false;
  };
  p.SetWindowMode({false, 800, 600});
  EXPECT_EQ(p.ClientSize().Width, 640);  // not before the next pump
  EXPECT_TRUE(settle({800, 600}));
  p.SetWindowMode({});
  EXPECT_TRUE(p.WindowMode().FullScreen);
  EXPECT_TRUE(settle(p.ScreenSize()));
  p.SetWindowMode({false, 10, 10});  // too small: the smallest window
  EXPECT_EQ(p.WindowMode().Width, 64);
  EXPECT_TRUE(settle({64, 64}));
  EXPECT_FALSE(p.PumpEvents().Resized);
}

// The real program in a folder of its own: it opens the window its
// settings.ini asks for, and full screen with a message for a bad value.
TEST(Game, StartsInTheWindowOfItsSetting) {
  namespace fs = std::filesystem;
  TMenuRuntime runtime;
  for (const auto& entry : fs::directory_iterator(fs::path(RV_BIN_DIR) / "data")) {
    if (entry.path().extension() == ".level") fs::copy_file(entry.path(), runtime.Data(entry.path().filename().string()));
  }
  // Its own name, so that its window is told apart from other tests' games.
  const std::string game = runtime.Base() + "rv-fenster";
  fs::copy_file(fs::path(RV_BIN_DIR) / "riftvaulter", game);

  // The geometry of the program's window once it is up, and its stderr.
  auto start = [&](const std::string& settings) -> std::pair<std::string, std::string> {
    WriteBytes(runtime.Base() + "settings.ini", settings);
    const std::string err = runtime.Base() + "stderr.txt";
    const pid_t child = ::fork();
    if (child == 0) {
      ::setenv("SDL_AUDIODRIVER", "dummy", 1);
      ::setenv("RIFTVAULTER_NO_DIALOGS", "1", 1);
      if (!std::freopen(err.c_str(), "w", stderr)) ::_exit(126);
      ::execl(game.c_str(), "rv-fenster", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    std::string geometry;
    const std::regex line("\"rv-fenster\"\\)\\s+([0-9]+x[0-9]+)\\+");
    for (int i = 0; i < 100 && geometry.empty(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      std::string windows;
      if (FILE* pipe = ::popen("xwininfo -root -tree", "r")) {
        char text[512];
        while (std::fgets(text, sizeof text, pipe)) windows += text;
        ::pclose(pipe);
      }
      std::smatch match;
      if (std::regex_search(windows, match, line)) geometry = match[1];
    }
    ::kill(child, SIGTERM);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << settings;
    return {geometry, ReadBytes(err)};
  };
  std::string desktop;
  if (FILE* pipe = ::popen("xwininfo -root", "r")) {
    char text[512];
    std::string info;
    while (std::fgets(text, sizeof text, pipe)) info += text;
    ::pclose(pipe);
    std::smatch match;
    if (std::regex_search(info, match, std::regex("-geometry ([0-9]+x[0-9]+)"))) desktop = match[1];
  }
  ASSERT_FALSE(desktop.empty());

  const auto [window, quiet] = start("[main]\r\nsound=0\r\nwindow=800x600\r\n");
  EXPECT_EQ(window, "800x600");
  EXPECT_EQ(quiet.find("window"), std::string::npos) << quiet;
  const auto [full, message] = start("[main]\r\nsound=0\r\nwindow=breit\r\n");
  EXPECT_EQ(full, desktop);
  EXPECT_NE(message.find("window=breit"), std::string::npos) << message;
  EXPECT_NE(message.find("Vollbild"), std::string::npos) << message;
}

}  // namespace
