// MenuRuntime.h -- a program folder for menu tests: the build's fonts,
// models, boss files and sounds, with the menu text and stage files each
// test chooses.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "menu/MainMenu.h"
#include "services/Sound.h"
#include "platform/ScriptedPlatform.h"
#include "support/GLWindow.h"
#include "support/TempDir.h"

class TMenuRuntime {
 public:
  // data/ holds every file of the build's data/ except the stage files;
  // sound/ is the build's.
  TMenuRuntime();

  // The folder as the platform reports it: with a trailing '/'.
  std::string Base() const { return Dir.Path().string() + "/"; }
  std::string Data(const std::string& name) const { return Dir.File("data/" + name); }

  void WriteMenuText(const std::string& text) const;
  // data/<name>: a stage file holding only what the menu reads. An empty
  // title leaves the key out.
  void WriteStage(const std::string& name, const std::string& title, bool active,
                  const std::vector<std::pair<std::string, int>>& highscores = {}) const;
  // data/<name>: a stage that can be started (path, models and boss of the
  // test).
  void WritePlayableStage(const std::string& name, const std::string& title, bool active) const;

  TTempDir Dir;
};

// A menu in a GL window, driven by keys of the scripted platform, with the
// audio device open on the driver the test run chooses.
class TMenuTest : public testing::Test {
 protected:
  explicit TMenuTest(int width = 640, int height = 480);
  ~TMenuTest() override;

  TMainMenu& Create();
  void Frame(float ms = 16) { Menu->Progress(ms); }
  // Down for one frame, then up (the next frame sees the release).
  void Tap(int vk);
  // One press: down for a frame, released, then time for the row move.
  void Press(int vk, float settle = 150);
  // Key `key` of section "main" of the folder's settings.ini, "-" when absent.
  std::string Setting(const std::string& key) const;

  TGLWindow Window;
  TMenuRuntime Runtime;
  platform::ScriptedPlatform Keys;
  TSound Sound;  // on the driver the test run chooses
  ts::TtsContextID TextContext = 0;
  std::unique_ptr<TMainMenu> Menu;
  int Quits = 0;
};
