// FormTest.cpp -- the frame clock, the FPS figure and start-up settings.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <regex>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "app/Form.h"
#include "menu/MainMenu.h"
#include "platform/Audio.h"
#include "platform/ScriptedPlatform.h"
#include "platform/SdlPlatform.h"
#include "render/draw/Draw.h"
#include "services/Sound.h"
#include "stage/Level.h"
#include "support/GLWindow.h"
#include "support/MenuRuntime.h"
#include "support/TempDir.h"

namespace {

using platform::ScriptedPlatform;

// A form on the scripted clock, as InitGame leaves it.
struct TClockedForm {
  explicit TClockedForm(ScriptedPlatform& p) : Form(p) {
    Form.fFrequency = p.Frequency;
    Form.fLastCounter = p.Counter;
  }
  TForm1 Form;
};

// One idle call after `ms` milliseconds.
void Frame(TForm1& form, ScriptedPlatform& p, double ms) {
  p.AdvanceMs(ms);
  bool done = true;
  form.IdleHandler(done);
  EXPECT_FALSE(done);
}

TEST(Form, FpsFigureUpdatesAtExactlyOneSecond) {
  ScriptedPlatform p;
  p.Active = false;  // nothing drawn; the count goes on
  TClockedForm clocked(p);
  TForm1& form = clocked.Form;
  for (int i = 0; i < 3; ++i) Frame(form, p, 250);
  EXPECT_EQ(p.Title, "Form1");
  Frame(form, p, 250);  // exactly 1000 ms
  EXPECT_EQ(form.fFPS, 4);
  EXPECT_EQ(p.Title, "4 FPS");
  EXPECT_EQ(form.fFrameCount, 0);
  EXPECT_FLOAT_EQ(form.fFPSTime, 0);
}

TEST(Form, HitchCarriesTheRemainderIntoTheNextSecond) {
  ScriptedPlatform p;
  p.Active = false;
  TClockedForm clocked(p);
  TForm1& form = clocked.Form;
  Frame(form, p, 1500);
  EXPECT_EQ(form.fFPS, 1);
  EXPECT_EQ(p.Title, "1 FPS");
  EXPECT_FLOAT_EQ(form.fFPSTime, 500);
  EXPECT_EQ(form.fFrameCount, 0);
  Frame(form, p, 499);
  EXPECT_EQ(p.Title, "1 FPS");
  Frame(form, p, 1);
  EXPECT_EQ(form.fFPS, 2);
}

TEST(Form, ElapsedTimeCarriesFractionsOfAMillisecond) {
  ScriptedPlatform p;
  p.Active = false;
  TClockedForm clocked(p);
  TForm1& form = clocked.Form;
  Frame(form, p, 16.625);
  EXPECT_FLOAT_EQ(form.fElapsed, 16.625f);
}

TEST(Form, FpsFontSizeRoundsHalvesToEven) {
  EXPECT_EQ(TForm1::FpsFontSize(1080), 18);
  EXPECT_EQ(TForm1::FpsFontSize(1050), 18);  // 17.5
  EXPECT_EQ(TForm1::FpsFontSize(990), 16);   // 16.5
  EXPECT_EQ(TForm1::FpsFontSize(768), 13);   // 12.8
  EXPECT_EQ(TForm1::FpsFontSize(630), 10);   // 10.5
}

TEST(Form, VSyncSettingDefaultsToOnAndAvoidsNeedlessCalls) {
  TTempDir dir;
  ScriptedPlatform p;
  p.Base = dir.Path().string() + "/";
  TForm1 form(p);

  form.ApplyVSyncSetting();  // no settings.ini: on
  EXPECT_EQ(p.SwapIntervalCalls, std::vector<int>{1});

  WriteBytes(dir.File("settings.ini"), "[main]\r\nvsync=nein\r\n");
  p.SwapInterval = 0;
  form.ApplyVSyncSetting();  // not a number: on
  EXPECT_EQ(p.SwapIntervalCalls.back(), 1);

  WriteBytes(dir.File("settings.ini"), "[main]\r\nvsync=0\r\n");
  p.SwapIntervalCalls.clear();
  form.ApplyVSyncSetting();  // off: left alone at start-up
  EXPECT_TRUE(p.SwapIntervalCalls.empty());

  p.SwapInterval = 0;
  form.SetVSync(false);  // already 0: not called
  EXPECT_TRUE(p.SwapIntervalCalls.empty());
  form.SetVSync(true);
  form.SetVSync(true);  // already 1
  EXPECT_EQ(p.SwapIntervalCalls, std::vector<int>{1});
  p.SwapControl = false;
  form.SetVSync(false);  // no swap control: ignored
  EXPECT_EQ(p.SwapInterval, 1);
}

TEST(Form, MenuQuitClosesTheWindow) {
  ScriptedPlatform p;
  TForm1 form(p);
  form.MenuQuit();
  EXPECT_TRUE(p.Closed);
}

// A frame on a real screen-sized window: the menu's item list and, below it
// at the bottom-right corner, the FPS figure.
TEST(Form, DrawFrameShowsTheMenuAndTheFpsFigureAtTheBottomRight) {
  platform::TWindowOptions options;
  options.CaptureMouse = false;
  platform::SdlPlatform p(options);
  TForm1 form(p);
  form.FormCreate();
  ASSERT_NE(form.MainMenu, nullptr);
  form.fFPS = 60;
  form.DrawFrame();

  const platform::TScreenSize screen = p.ClientSize();
  // Mesa's software swap copies the frame out, so the back buffer still holds it.
  const std::vector<uint8_t> rgba = gfx::ReadPixels({0, 0, screen.Width, screen.Height});
  // White ink in [x0, x1) x [y0, y1), y from the top.
  auto ink = [&](int x0, int y0, int x1, int y1) {
    int left = screen.Width, right = -1, top = screen.Height;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) {
        const uint8_t* px = &rgba[(static_cast<std::size_t>(screen.Height - 1 - y) * screen.Width + x) * 4];
        if (px[0] > 128 && px[1] > 128 && px[2] > 128) {
          left = std::min(left, x);
          right = std::max(right, x);
          top = std::min(top, y);
        }
      }
    return std::array<int, 3>{left, right, top};
  };
  const int size = TForm1::FpsFontSize(screen.Height);
  const auto [left, right, top] = ink(screen.Width / 2, screen.Height - size, screen.Width, screen.Height);
  ASSERT_GE(right, 0) << "no FPS figure";
  EXPECT_GE(right, screen.Width - 4);
  EXPECT_GT(left, screen.Width - 6 * size);  // "60 FPS" and nothing else in the bottom strip
  const int big = static_cast<int>(std::nearbyint(screen.Height / 15.0));
  EXPECT_GE(ink(screen.Width / 2, screen.Height - 5 * big, screen.Width, screen.Height - big)[1], 0)
      << "no menu items";

  // Quitting from the menu ends the main loop.
  ASSERT_TRUE(form.MainMenu->OnQuit);
  form.MainMenu->OnQuit();
  EXPECT_TRUE(p.PumpEvents().Quit);
}

TEST(Form, SoundSettingSwitchesTheAudioDeviceOff) {
  TTempDir dir;
  ScriptedPlatform p;
  p.Base = dir.Path().string() + "/";
  TForm1 form(p);
  const std::vector<std::pair<std::string, bool>> cases = {
      {"", true}, {"[main]\r\nsound=0\r\n", false}, {"[main]\r\nsound=1\r\n", true}, {"[main]\r\nsound=aus\r\n", true}};
  for (const auto& [text, on] : cases) {
    WriteBytes(dir.File("settings.ini"), text);
    EXPECT_EQ(form.SoundSetting(), on) << text;
  }
  // Off: the device stays closed and sound calls do nothing, even for a
  // file that does not exist.
  {
    TSound off(false);
    EXPECT_FALSE(platform::AudioDeviceOpen());
    EXPECT_EQ(off.Play(dir.File("fehlt.wav"), false, 100), 0);
    off.Stop(1);
  }
  {
    TSound on(true);
    EXPECT_TRUE(platform::AudioDeviceOpen());
  }
  EXPECT_FALSE(platform::AudioDeviceOpen());
}

TEST(FormDeathTest, AMissingAudioDeviceTellsHowToPlayWithoutSound) {
  EXPECT_EXIT(
      {
        ::setenv("SDL_AUDIODRIVER", "kein-solcher-treiber", 1);
        TSound sound(true);
      },
      testing::ExitedWithCode(1), "Audioger.*tes.\r\nOhne Ton spielen: sound=0 in settings.ini eintragen.");
}

// A stage in flight pauses when the window loses focus and stays paused
// after the focus returns, until the player resumes.
TEST(Form, LosingFocusPausesAStageUntilThePlayerResumes) {
  TGLWindow window(320, 240);
  ScriptedPlatform p;
  p.Base = RV_BIN_DIR "/";
  p.Client = p.Screen = {320, 240};
  TForm1 form(p);
  form.FormCreate();
  TLevel& level = *form.MainMenu->Level;
  level.LoadFromFile(RV_BIN_DIR "/data/Level01.level");
  for (int i = 0; i < 300; ++i) Frame(form, p, 16);
  ASSERT_TRUE(level.fActive);
  ASSERT_FALSE(level.Paused());
  p.Active = false;
  for (int i = 0; i < 5; ++i) Frame(form, p, 16);
  p.Active = true;
  const float time = level.fTime;
  for (int i = 0; i < 60; ++i) Frame(form, p, 16);
  EXPECT_TRUE(level.Paused());
  EXPECT_EQ(level.fTime, time);
  p.SetKey('P', true);
  Frame(form, p, 16);
  p.SetKey('P', false);
  for (int i = 0; i < 10; ++i) Frame(form, p, 16);
  EXPECT_FALSE(level.Paused());
  EXPECT_GT(level.fTime, time);
  form.FormDestroy();
}

std::string Windows() {
  std::string windows;
  if (FILE* pipe = ::popen("xwininfo -root -tree", "r")) {
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) windows += line;
    ::pclose(pipe);
  }
  return windows;
}

// A message box holds the program in a loop of its own: SIGTERM still ends
// it, with exit code 1. Its window carries the class the
// menu entry names, whatever the executable is called. Every wait is on
// what it waits for, with a deadline that only catches a hang: a loaded
// machine and a busy X server may take many seconds to show the box.
TEST(Game, EndsOnSigtermWhileAMessageBoxIsOpen) {
  using Clock = std::chrono::steady_clock;
  TMenuRuntime runtime;
  runtime.WriteMenuText("[menu_0]\r\nname=kaputt\r\ncount=0\r\n");
  const std::string game = runtime.Base() + "rv-dialog";
  const std::string log = runtime.Base() + "stderr.txt";
  std::filesystem::copy_file(std::filesystem::path(RV_BIN_DIR) / "riftvaulter", game);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    ::unsetenv("RIFTVAULTER_NO_DIALOGS");
    ::unsetenv("SDL_VIDEO_X11_WMCLASS");
    if (!std::freopen(log.c_str(), "w", stderr)) ::_exit(126);
    ::execl(game.c_str(), "rv-dialog", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  auto childSaid = [&] { return "the game said: " + ReadBytes(log); };
  int status = 0;
  bool ended = false;
  std::string windows;
  for (const auto deadline = Clock::now() + std::chrono::seconds(60);
       windows.find("\"Fehler\"") == std::string::npos && Clock::now() < deadline;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (::waitpid(child, &status, WNOHANG) == child) {
      ended = true;
      break;
    }
    windows = Windows();
  }
  if (ended || windows.find("\"Fehler\"") == std::string::npos) {
    if (!ended) ::kill(child, SIGKILL), ::waitpid(child, &status, 0);
    FAIL() << (ended ? "ended without waiting on its box, " : "no box within a minute, ") << childSaid() << windows;
  }
  EXPECT_NE(windows.find("(\"riftvaulter\" \"riftvaulter\")"), std::string::npos) << windows;
  EXPECT_EQ(windows.find("rv-dialog"), std::string::npos) << windows;
  // A box left waiting would hold the program for good; ending it may take
  // a loaded machine a second or two.
  ::kill(child, SIGTERM);
  bool endedBySignal = false;
  for (const auto deadline = Clock::now() + std::chrono::seconds(20); Clock::now() < deadline;) {
    if (::waitpid(child, &status, WNOHANG) == child) {
      endedBySignal = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (!endedBySignal) ::kill(child, SIGKILL), ::waitpid(child, &status, 0);
  ASSERT_TRUE(endedBySignal) << "still waiting on its box 20 s after SIGTERM";
  ASSERT_TRUE(WIFEXITED(status)) << childSaid();
  EXPECT_EQ(WEXITSTATUS(status), 1);
  // The box went with it.
  for (const auto deadline = Clock::now() + std::chrono::seconds(10);
       windows.find("\"Fehler\"") != std::string::npos && Clock::now() < deadline;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    windows = Windows();
  }
  EXPECT_EQ(windows.find("\"Fehler\""), std::string::npos) << windows;
}

// The real program under the test's display: it opens its window, shows its
// FPS figure and ends with exit code 0 on SIGTERM.
TEST(Game, StartsShowsFpsAndEndsCleanlyOnSigterm) {
  const std::string bin = RV_BIN_DIR;
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    ::setenv("RIFTVAULTER_NO_DIALOGS", "1", 1);
    ::execl((bin + "/riftvaulter").c_str(), "riftvaulter", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  // The window's title is its FPS figure once the first second is over; a
  // loaded machine may take a while to open the window at all.
  int status = 0;
  std::string windows;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  do {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ASSERT_EQ(::waitpid(child, &status, WNOHANG), 0) << "the game ended by itself";
    windows.clear();
    if (FILE* pipe = ::popen("xwininfo -root -tree", "r")) {
      char line[512];
      while (std::fgets(line, sizeof line, pipe)) windows += line;
      ::pclose(pipe);
    }
  } while (!std::regex_search(windows, std::regex("\"[0-9]+ FPS\"")) && std::chrono::steady_clock::now() < deadline);
  EXPECT_TRUE(std::regex_search(windows, std::regex("\"[0-9]+ FPS\""))) << windows;
  ::kill(child, SIGTERM);
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
