// MenuRuntime.cpp -- laying out a program folder for menu tests.
#include "support/MenuRuntime.h"

#include <filesystem>

#include "services/IniFile.h"
#include "render/Font.h"
#include "services/RC4Stream.h"
#include "services/Sound.h"
#include "support/StageFiles.h"

namespace fs = std::filesystem;

TMenuRuntime::TMenuRuntime() {
  const fs::path bin = RV_BIN_DIR;
  fs::create_directory(Dir.Path() / "data");
  for (const auto& entry : fs::directory_iterator(bin / "data")) {
    if (entry.path().extension() == ".level") continue;
    fs::copy_file(entry.path(), Dir.Path() / "data" / entry.path().filename());
  }
  fs::create_directory_symlink(bin / "sound", Dir.Path() / "sound");
}

void TMenuRuntime::WriteMenuText(const std::string& text) const { WriteBytes(Data("ger.txt"), text); }

void TMenuRuntime::WriteStage(const std::string& name, const std::string& title, bool active,
                              const std::vector<std::pair<std::string, int>>& highscores) const {
  TIniFile ini;
  if (!title.empty()) ini.WriteString("Level", "Title", title);
  ini.WriteBool("Level", "Active", active);
  if (!highscores.empty()) {
    ini.WriteInteger("Highscore", "count", static_cast<int64_t>(highscores.size()));
    for (std::size_t j = 0; j < highscores.size(); ++j) {
      ini.WriteString("Highscore", "name" + std::to_string(j), highscores[j].first);
      ini.WriteInteger("Highscore", "score" + std::to_string(j), highscores[j].second);
    }
  }
  SaveIni(&ini, Data(name), kLevelKey);
}

void TMenuRuntime::WritePlayableStage(const std::string& name, const std::string& title, bool active) const {
  const std::string stage = ::WriteStage(Dir, {{"Level/Title", title}, {"Level/Active", active ? "1" : "0"}});
  fs::rename(stage, Data(name));
}

TMenuTest::TMenuTest(int width, int height) : Window(width, height) {
  Keys.Base = Runtime.Base();
  Keys.SwapInterval = 1;
}

TMenuTest::~TMenuTest() {
  Menu.reset();
  if (TextContext != 0) ts::ContextDestroy(TextContext);
}

TMainMenu& TMenuTest::Create() {
  // One menu at a time on one text context, as in the game.
  Menu.reset();
  if (TextContext == 0) TextContext = CreateTextContext();
  Menu = std::make_unique<TMainMenu>(Keys, Sound, TextContext, Window.Width(), Window.Height());
  Menu->OnQuit = [this] { ++Quits; };
  return *Menu;
}

void TMenuTest::Tap(int vk) {
  Keys.SetKey(vk, true);
  Frame();
  Keys.SetKey(vk, false);
}

void TMenuTest::Press(int vk, float settle) {
  Tap(vk);
  Frame(settle);
}

std::string TMenuTest::Setting(const std::string& key) const {
  TIniFile ini;
  ini.LoadFromFile(Runtime.Base() + "settings.ini");
  return ini.ReadString("main", key, "-");
}
