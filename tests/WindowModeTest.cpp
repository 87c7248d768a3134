// WindowModeTest.cpp -- full screen and window: the settings.ini key, Alt+Enter
// (switching, remembering, never acting as Enter), everything sized from the
// client area following it in real frames, the real window's switch and the
// real program starting in the window of its setting.
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

using platform::kVkMenu;
using platform::kVkReturn;
using platform::TScreenSize;
using platform::TWindowMode;
using TBox = TGLWindow::TBox;

TEST(WindowSetting, SizesZeroAndMissingAreReadAndAnythingElseIsFullScreenWithAMessage) {
  const TWindowMode full;
  const std::pair<const char*, TWindowMode> cases[] = {
      {"", full},
      {"window=0", full},
      {"window=1280x720", {false, 1280, 720}},
      {"window= 800X600 ", {false, 800, 600}},
      {"window=64x16384", {false, 64, 16384}},
      {"window=breit", full},
      {"window=1280", full},
      {"window=x720", full},
      {"window=63x480", full},
      {"window=640x16385", full},
      {"window=-640x480", full},
      {"window=640x480x2", full},
      {"window=99999999999x480", full},
  };
  for (const auto& [line, expected] : cases) {
    TIniFile ini;
    ini.SetText(std::string("[main]\r\n") + line + "\r\n");
    testing::internal::CaptureStderr();
    const TWindowMode mode = ReadWindowSetting(ini);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(mode.FullScreen, expected.FullScreen) << line;
    EXPECT_EQ(mode.Width, expected.Width) << line;
    EXPECT_EQ(mode.Height, expected.Height) << line;
    const bool bad = expected.FullScreen && *line && std::string(line) != "window=0";
    EXPECT_EQ(err.find("Vollbild") != std::string::npos, bad) << line << ": " << err;
    // What the game writes reads back as the same mode.
    ini.SetText(SetMainKey("", "window", WindowSettingText(mode)));
    EXPECT_EQ(ReadWindowSetting(ini).Width, mode.Width) << line;
  }
}

// The main form's own loop on the scripted platform, drawing into a real GL
// window as large as the largest client area of the test; a client area
// lies at the window's bottom left, where the viewport puts it.
class WindowModeTest : public testing::Test {
 protected:
  WindowModeTest() : Window(1920, 1080) {
    P.Base = Runtime.Base();
    P.Screen = P.Client = {1920, 1080};
  }

  // Runs the main loop; after frame i, `steps[i]` checks what it did and
  // sets keys for the next. The loop ends after the last step.
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
    form.Begin(hooks);
    while (form.Step()) {
    }
    form.End();
  }
  TMainMenu& Menu() const { return *Form->MainMenu; }
  void Keys(bool alt, bool enter) {
    P.SetKey(kVkMenu, alt);
    P.SetKey(kVkReturn, enter);
  }

  // White ink in a rectangle of the client area, y from its top; the box is
  // in the client area's coordinates too.
  TBox WhiteInk(int x0, int y0, int x1, int y1) const {
    const int dy = Window.Height() - P.Client.Height;
    TBox box = Window.Ink(Window.ReadPixels(), x0, y0 + dy, std::min(x1, P.Client.Width), y1 + dy, 160, true);
    box.Top -= dy;
    box.Bottom -= dy;
    return box;
  }
  std::string Setting() const { return ReadSettings(Runtime.Base() + "settings.ini").ReadString("main", "window", "-"); }

  TGLWindow Window;
  TMenuRuntime Runtime;
  platform::ScriptedPlatform P;
  TForm1* Form = nullptr;
};

TEST_F(WindowModeTest, AltEnterSwitchesBothWaysRemembersTheSizeAndNeverActsAsEnter) {
  Runtime.WriteStage("A.level", "ERSTE", true);  // the stage page is more than its way back
  auto sized = [&](int big, int small, int fps, int hud) {
    EXPECT_EQ(Menu().fBigFont->Size(), big);
    EXPECT_EQ(Menu().fSmallFont->Size(), small);
    EXPECT_EQ(Form->FPSFont->Size(), fps);
    EXPECT_EQ(Menu().Level->fFont->Size(), hud);
    EXPECT_EQ(Menu().fWidth, P.Client.Width);
    EXPECT_FLOAT_EQ(Menu().fUnitsPerPixel, static_cast<float>(2 * std::tan(M_PI / 8) * 40 / P.Client.Height));
  };
  auto switched = [&](bool fullScreen, int width, int height, const char* setting) {
    ASSERT_FALSE(P.ModeCalls.empty());
    EXPECT_EQ(P.ModeCalls.back().FullScreen, fullScreen);
    EXPECT_EQ(P.ModeCalls.back().Width, width);
    EXPECT_EQ(P.ModeCalls.back().Height, height);
    EXPECT_EQ(Setting(), setting);
  };
  Run({
      [&] {
        sized(72, 36, 18, 54);  // 1080 / 15, / 30, / 60, / 20
        EXPECT_EQ(Setting(), "-");
        Keys(true, false);
      },
      [&] { Keys(true, true); },
      [&] {
        // Switched at this frame's pump; the size shows at the next.
        switched(false, 1280, 720, "1280x720");
        Keys(false, true);  // Alt let go first, Enter still held
      },
      [&] {
        sized(48, 24, 12, 36);
        EXPECT_EQ(Menu().fPath, "0");  // the Enter of Alt+Enter opened nothing
        Keys(false, false);
        P.Resize(1000, 600);  // the player drags the window
      },
      [&] {
        sized(40, 20, 10, 30);
        Keys(false, true);  // a plain Enter still works
      },
      [&] {
        EXPECT_EQ(Menu().fPath, "0_0");
        Keys(true, false);
      },
      [&] { Keys(true, true); },
      [&] {
        switched(true, 0, 0, "0");
        Keys(true, false);
      },
      [&] {
        sized(72, 36, 18, 54);
        Keys(true, true);  // Alt still held: back to the window
      },
      [&] {
        switched(false, 1000, 600, "1000x600");  // the size it had last
        Keys(false, false);
      },
      [&] {
        sized(40, 20, 10, 30);
        EXPECT_EQ(Menu().fPath, "0_0");
        EXPECT_EQ(P.ModeCalls.size(), 3u);
      },
  });
}

// The settings page's window item switches as Alt+Enter does, says which
// mode is on, and settings.ini remembers it.
TEST_F(WindowModeTest, TheSettingsPageSwitchesTheWindowToo) {
  auto select = [&] {
    Menu().fPath = "0_3";
    Menu().fFirst = Menu().fCursor = 3;
    Menu().fSelected = 6;
    Menu().fItemId = kWindowItem;
  };
  Run({
      [&] {
        select();
        EXPECT_EQ(Menu().ControlsStateText(), "zur Zeit Vollbild");
        Keys(false, true);
      },
      [&] {
        ASSERT_EQ(P.ModeCalls.size(), 1u);
        EXPECT_FALSE(P.ModeCalls.back().FullScreen);
        EXPECT_EQ(Setting(), "1280x720");
        EXPECT_EQ(Menu().ControlsStateText(), "zur Zeit im Fenster");
        EXPECT_EQ(Menu().fItemId, kWindowItem);
        Keys(false, false);
      },
      [&] { Keys(false, true); },
      [&] {
        ASSERT_EQ(P.ModeCalls.size(), 2u);
        EXPECT_TRUE(P.ModeCalls.back().FullScreen);
        EXPECT_EQ(Setting(), "0");
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

int Height(const TBox& box) { return box.Bottom - box.Top + 1; }
int Width(const TBox& box) { return box.Right - box.Left + 1; }

// The same text at 1920 x 1080 full screen and in a 1280 x 720 window: two
// thirds as high and wide (within each size's rounding of the glyph
// advance), right-aligned at `edge` less up to a quarter of the font size
// (the last glyph's bearing).
void ExpectTwoThirds(const TBox& full, const TBox& window, int fullEdge, int windowEdge, int fullSize,
                     const char* what) {
  ASSERT_FALSE(full.Empty()) << what;
  ASSERT_FALSE(window.Empty()) << what;
  EXPECT_NEAR(Height(window) * 1.5, Height(full), 3) << what;
  EXPECT_NEAR(Width(window) * 1.5, Width(full), 0.04 * Width(full) + 4) << what;
  EXPECT_LT(full.Right, fullEdge) << what;
  EXPECT_GE(full.Right, fullEdge - fullSize / 4) << what;
  EXPECT_LT(window.Right, windowEdge) << what;
  EXPECT_GE(window.Right, windowEdge - fullSize * 2 / 3 / 4) << what;
}

TEST_F(WindowModePixelTest, MenuAndFpsTextFollowTheClientArea) {
  TBox caption[2], fps[2];
  bool outside = true;
  auto measure = [&](int i) {
    const int w = P.Client.Width, h = P.Client.Height;
    const int big = Menu().fBigFont->Size(), small = Form->FPSFont->Size();
    caption[i] = WhiteInk(w / 2, h - 2 * big, w, h - big);  // the fourth row
    fps[i] = WhiteInk(w / 2, h - small, w, h);
  };
  Run({
      [&] {
        Menu().fEnemyModel->fScale = Menu().fPlayerModel->fScale = 0;  // no white ships
        Form->fFPS = 60;
      },
      [&] {
        measure(0);
        Keys(true, true);
      },
      [&] { Keys(false, false); },
      [&] {
        measure(1);
        // Nothing above the client area or right of it.
        const std::vector<uint8_t> frame = Window.ReadPixels();
        outside = !Window.Ink(frame, 1280, 0, 1920, 1080, 0).Empty() || !Window.Ink(frame, 0, 0, 1280, 360, 0).Empty();
      },
  });
  EXPECT_FALSE(outside);
  ExpectTwoThirds(caption[0], caption[1], 1920 - 108, 1280 - 72, 72, "menu row");  // 1.5 rows from the edge
  ExpectTwoThirds(fps[0], fps[1], 1920, 1280, 18, "FPS figure");
}

// A stage switched to a window while it runs: the score stays at the top
// right of the client area, in its HUD font two thirds as high.
TEST_F(WindowModePixelTest, StageHudFollowsTheClientArea) {
  Runtime.WritePlayableStage("A.level", "ERSTE", true);
  TBox score[2];
  // The top strip's right half holds the score and nothing else while the
  // opening ring is still small.
  auto measure = [&](int i) {
    score[i] = WhiteInk(P.Client.Width / 2, 0, P.Client.Width, Menu().Level->fFont->Size());
  };
  Run({
      [&] { Keys(false, true); },
      [&] { Keys(false, false); },
      [&] { Keys(false, true); },  // on the stage page: start stage A
      [&] { Keys(false, false); },
      [&] {
        ASSERT_TRUE(Menu().Level->fActive);
        measure(0);
        Keys(true, true);
      },
      [&] { Keys(false, false); },
      [&] {
        EXPECT_TRUE(Menu().Level->fActive);
        measure(1);
      },
  });
  ExpectTwoThirds(score[0], score[1], 1920 - 54 / 5, 1280 - 36 / 5, 54, "score");
}

// The real window: a switch lands at a later pump, which reports it.
TEST(SdlWindowMode, SwitchesBetweenAWindowAndTheDesktop) {
  platform::SdlPlatform p(platform::TWindowOptions{.Width = 640, .Height = 480, .CaptureMouse = false});
  EXPECT_FALSE(p.WindowMode().FullScreen);
  int x = 0, y = 0;
  p.GetCursorPos(x, y);
  EXPECT_EQ(x, 320);  // the client area's centre
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
  EXPECT_TRUE(settle({64, 64}));
  EXPECT_FALSE(p.PumpEvents().Resized);
}

std::string Command(const char* command) {
  std::string output;
  if (FILE* pipe = ::popen(command, "r")) {
    char text[512];
    while (std::fgets(text, sizeof text, pipe)) output += text;
    ::pclose(pipe);
  }
  return output;
}

// The real program in a folder of its own: it opens the window its
// settings.ini asks for, and full screen with a message for a bad value.
TEST(Game, StartsInTheWindowOfItsSetting) {
  namespace fs = std::filesystem;
  TMenuRuntime runtime;
  const std::string game = runtime.Base() + "rv-fenster";
  fs::copy_file(fs::path(RV_BIN_DIR) / "riftvaulter", game);
  // The window's size once it is up, and what the program said on stderr.
  auto start = [&](const std::string& window) -> std::pair<std::string, std::string> {
    WriteBytes(runtime.Base() + "settings.ini", "[main]\r\nsound=0\r\nwindow=" + window + "\r\n");
    const std::string err = runtime.Base() + "stderr.txt";
    const pid_t child = ::fork();
    if (child == 0) {
      ::setenv("RIFTVAULTER_NO_DIALOGS", "1", 1);
      // Its own class tells its window apart from other tests' games.
      ::setenv("SDL_VIDEO_X11_WMCLASS", "rv-fenster", 1);
      if (!std::freopen(err.c_str(), "w", stderr)) ::_exit(126);
      ::execl(game.c_str(), "rv-fenster", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    std::string windows;
    std::smatch size;
    for (int i = 0; i < 100; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      windows = Command("xwininfo -root -tree");
      if (std::regex_search(windows, size, std::regex("\"rv-fenster\"\\)\\s+([0-9]+x[0-9]+)\\+"))) break;
    }
    ::kill(child, SIGTERM);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << window;
    return {size.empty() ? "" : size[1].str(), ReadBytes(err)};
  };
  std::smatch desktop;
  const std::string root = Command("xwininfo -root");
  ASSERT_TRUE(std::regex_search(root, desktop, std::regex("-geometry ([0-9]+x[0-9]+)")));

  const auto [window, quiet] = start("800x600");
  EXPECT_EQ(window, "800x600");
  EXPECT_EQ(quiet.find("window"), std::string::npos) << quiet;
  const auto [full, message] = start("breit");
  EXPECT_EQ(full, desktop[1].str());
  EXPECT_NE(message.find("window=breit"), std::string::npos) << message;
  EXPECT_NE(message.find("Vollbild"), std::string::npos) << message;
}

}  // namespace
