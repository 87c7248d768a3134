// MenuRuntime.h -- a program folder for menu tests: the build's fonts,
// models, boss files and sounds, with the menu text and stage files each
// test chooses.
#pragma once

#include <string>
#include <utility>
#include <vector>

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
