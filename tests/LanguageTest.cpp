// LanguageTest.cpp -- English beside German: every German text has its
// English counterpart, the setting is read and written, and the menu shows
// English captions where the German ones were.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "menu/MainMenu.h"
#include "platform/VirtualKeys.h"
#include "render/Font.h"
#include "render/FrameSetup.h"
#include "render/draw/Draw.h"
#include "services/Difficulty.h"
#include "services/IniFile.h"
#include "services/Language.h"
#include "services/RC4Stream.h"
#include "services/Settings.h"
#include "stage/InputTexts.h"
#include "support/MenuRuntime.h"

namespace {

namespace fs = std::filesystem;

const std::string kSource = RV_SOURCE_DIR;

// Puts the process back to German whatever a test switched to.
struct TGermanAfterwards {
  ~TGermanAfterwards() { SetLanguage(TLanguage::German); }
};

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The value of the C++ string literals that follow each other from `at`
// ("a" "b\xFC" gives ab and the byte FC); `at` ends behind the last one.
std::string ReadLiterals(const std::string& code, std::size_t& at) {
  std::string value;
  for (;;) {
    while (at < code.size() && (code[at] == ' ' || code[at] == '\n' || code[at] == '\r')) ++at;
    if (at >= code.size() || code[at] != '"') return value;
    for (++at; at < code.size() && code[at] != '"'; ++at) {
      if (code[at] != '\\') {
        value += code[at];
        continue;
      }
      const char escaped = code[++at];
      if (escaped == 'x') {
        value += static_cast<char>(std::stoi(code.substr(at + 1, 2), nullptr, 16));
        at += 2;
      } else {
        value += escaped == 'n' ? '\n' : escaped == 'r' ? '\r' : escaped;
      }
    }
    ++at;
  }
}

// Every text the program's sources hand to Tr as a literal, with where.
std::map<std::string, std::string> LiteralsGivenToTr() {
  std::map<std::string, std::string> found;
  for (const auto& entry : fs::recursive_directory_iterator(kSource + "/src")) {
    if (entry.path().extension() != ".cpp") continue;
    const std::string code = ReadAll(entry.path());
    for (std::size_t call = code.find("Tr("); call != std::string::npos; call = code.find("Tr(", call + 3)) {
      if (call > 0 && (std::isalnum(static_cast<unsigned char>(code[call - 1])) || code[call - 1] == '_')) continue;
      // The literals inside the call's parentheses (both arms of a ?: too).
      int depth = 0;
      for (std::size_t at = call + 2; at < code.size(); ++at) {
        if (code[at] == '(') ++depth;
        if (code[at] == ')' && --depth == 0) break;
        if (code[at] == '"') {
          const std::string text = ReadLiterals(code, at);
          found.emplace(text, entry.path().filename().string());
          --at;
        }
      }
    }
  }
  return found;
}

TIniFile Plain(const std::string& path) {
  TIniFile ini;
  ini.LoadFromFile(path);
  return ini;
}

TEST(Language, EveryGermanTextHasAnEnglishCounterpart) {
  // The menu: eng.txt has ger.txt's sections and keys, the same page sizes
  // and a text for every one.
  const TIniFile german = Plain(kSource + "/assets/data/ger.txt");
  const TIniFile english = Plain(kSource + "/assets/data/eng.txt");
  ASSERT_GE(german.Sections().size(), 30u);
  for (const TIniFile::TSection& section : german.Sections()) {
    for (const TIniFile::TLine& line : section.Lines) {
      EXPECT_FALSE(english.ReadString(section.Name, line.Key, "").empty())
          << "eng.txt lacks " << line.Key << " in [" << section.Name << "]";
      if (line.Key == "count") {
        EXPECT_EQ(english.ReadString(section.Name, "count", ""), line.Value) << section.Name;
      }
    }
  }
  for (const TIniFile::TSection& section : english.Sections())
    EXPECT_TRUE(german.SectionExists(section.Name)) << "eng.txt only: " << section.Name;

  // The shipped stages: a title and a description in English.
  int stages = 0;
  for (const auto& entry : fs::directory_iterator(kSource + "/assets/stages")) {
    const TIniFile stage = Plain(entry.path().string());
    for (const std::string key : {"Title", "Desc"}) {
      if (!stage.ValueExists("Level", key)) continue;
      EXPECT_FALSE(stage.ReadString("Level", key + "En", "").empty()) << entry.path().filename() << " lacks " << key << "En";
    }
    ++stages;
  }
  EXPECT_GE(stages, 8);

  // The program's own texts: everything the sources hand to Tr, and the
  // difficulties' names, is in the table, and nothing there is left empty.
  std::map<std::string, std::string> texts = LiteralsGivenToTr();
  ASSERT_GE(texts.size(), 20u);  // the scanner found them
  for (const TDifficultyRules& rules : kDifficulties) texts.emplace(std::string(rules.Name), "Difficulty.h");
  texts.emplace(kBackCaption, "MainMenu.h");
  // The controls' texts and the names of keys and buttons that are words.
  for (const char* text : {kTextBinding, kTextWaiting, kTextKeyTaken, kTextPadTaken, kTextEnterReserved,
                           kTextDefaultsRestored, kTextSensitivity, kTextOn, kTextOff, kTextFullScreen, kTextWindow,
                           kTextBadKey, kTextBadPadButton, kTextTakenInFile, kTextBadSensitivity, kTextBadSwitch,
                           kTextPauseHelp, kTextArenaArrows, kTextArenaKeys, kTextPauseFire, kTextStageDifficulty,
                           kTextFinishSkip, kTextFinishList, kTextFinishName, kTextFinishAgain, kTextFinishNameThenAgain,
                           kTextFinishLeave, kTextFinishLeaveUnnamed, kTextFinishSave, kTextFinishSaveThenAgain,
                           kTextFinishBack, kTextNotForBoard})
    texts.emplace(text, "InputTexts.h");
  const std::set<std::string_view> sameInEnglish = {"Tab", "Alt", "Pause", "Esc", "A", "B", "Y", "Back", "Start"};
  for (const TKeyText& key : kKeyTexts) {
    if (!sameInEnglish.contains(key.ShownName) && !std::string_view(key.ShownName).starts_with("Num "))
      texts.emplace(key.ShownName, "InputTexts.h");
  }
  texts.emplace("Num ,", "InputTexts.h");
  for (const TPadButtonText& pad : kPadButtonTexts) {
    if (!sameInEnglish.contains(pad.ShownName)) texts.emplace(pad.ShownName, "InputTexts.h");
  }
  std::set<std::string> known;
  for (const TTextPair& pair : ScreenTexts()) {
    EXPECT_FALSE(pair.English.empty()) << pair.German;
    known.insert(std::string(pair.German));
  }
  for (const auto& [text, file] : texts) EXPECT_TRUE(known.contains(text)) << file << ": \"" << text << "\" has no English";
  for (const TTextPair& pair : MessagePieces()) EXPECT_FALSE(pair.English.empty()) << pair.German;
}

TEST(Language, SettingLocaleAndTranslation) {
  TGermanAfterwards restore;
  SetLanguage(TLanguage::German);
  // The setting: missing, either name in any case, or unknown (German).
  TIniFile settings;
  EXPECT_FALSE(ReadLanguageSetting(settings).has_value());
  settings.WriteString("main", "language", " english ");
  EXPECT_EQ(ReadLanguageSetting(settings), TLanguage::English);
  settings.WriteString("main", "language", "Deutsch");
  EXPECT_EQ(ReadLanguageSetting(settings), TLanguage::German);
  settings.WriteString("main", "language", "Klingonisch");
  EXPECT_EQ(ReadLanguageSetting(settings), TLanguage::German);

  // Without a setting, --help follows LC_ALL over LANG; no language at all
  // is the game's German.
  EXPECT_EQ(LanguageFromLocale(nullptr, "de_AT.UTF-8"), TLanguage::German);
  EXPECT_EQ(LanguageFromLocale("en_GB.UTF-8", "de_DE.UTF-8"), TLanguage::English);
  EXPECT_EQ(LanguageFromLocale("", "fr_FR"), TLanguage::English);
  EXPECT_EQ(LanguageFromLocale(nullptr, "C.UTF-8"), TLanguage::German);
  EXPECT_EQ(LanguageFromLocale(nullptr, nullptr), TLanguage::German);

  // German stays byte for byte; English replaces whole texts and the known
  // pieces of a message, keeping names and paths.
  const std::string message = "Level, Create: Fehler beim erstellen von 'fSpline'\r\nDatein nicht gefunden: data\\x";
  EXPECT_EQ(Tr("Pause"), "Pause");
  EXPECT_EQ(TrMessage(message), message);
  SetLanguage(TLanguage::English);
  EXPECT_EQ(Tr("Pause"), "Paused");
  EXPECT_EQ(Tr("not in the table"), "not in the table");
  EXPECT_EQ(TrMessage(message), "Level, Create: Error creating 'fSpline'\r\nFiles not found: data\\x");
}

class LanguageMenuTest : public TMenuTest {
 protected:
  static constexpr int kW = 800, kH = 600, kBig = 40;
  LanguageMenuTest() : TMenuTest(kW, kH) {}

  std::vector<uint8_t> MenuFrame() {
    render::BeginFrame(kW, kH);
    gfx::PushMatrix();
    Menu->Render();
    gfx::PopMatrix();
    return Window.ReadPixels();
  }

  // `caption` alone, drawn by the menu's big font where the menu draws row
  // `row` of a page with four rows in view.
  std::vector<uint8_t> CaptionAlone(const std::string& caption, int row) {
    render::BeginFrame(kW, kH);
    render::BeginOverlay(kW, kH);
    Menu->fBigFont->SetColor(1, 1, 1, 1);
    Menu->fBigFont->Print(caption, ts::kAlignRight, -1.5f * kBig, static_cast<float>(kH - (3 + 2 - row) * kBig),
                          kW, kBig);
    render::EndOverlay();
    return Window.ReadPixels();
  }

  // Of the pixels that `alone` lights, the share that are white in `frame`.
  static double WhiteShare(const std::vector<uint8_t>& alone, const std::vector<uint8_t>& frame) {
    int lit = 0, white = 0;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        if ((TGLWindow::Pixel(alone, kW, x, y) & 0xFF) < 200) continue;
        ++lit;
        const uint32_t p = TGLWindow::Pixel(frame, kW, x, y);
        white += ((p >> 16) & 0xFF) >= 200 && ((p >> 8) & 0xFF) >= 200 && (p & 0xFF) >= 200;
      }
    return lit == 0 ? 0 : static_cast<double>(white) / lit;
  }
};

TEST_F(LanguageMenuTest, SettingsItemSwitchesTheMenuToEnglishAndBack) {
  TGermanAfterwards restore;
  Runtime.WritePlayableStage("A.level", "ERSTE", true);
  {
    TIniFile second;
    LoadIni(second, Runtime.Data("A.level"), kLevelKey);
    second.WriteString("Level", "TitleEn", "FIRST");
    SaveIni(&second, Runtime.Data("B.level"), kLevelKey);
  }
  const std::string stage = ReadAll(Runtime.Data("B.level"));
  Create();
  const std::vector<uint8_t> german = MenuFrame();
  ASSERT_EQ(Menu->fMenu.Items.at(0).Caption, "Spielen");

  // Settings page, down to the language item, Enter.
  Press(platform::kVkDown);
  Press(platform::kVkDown);
  Press(platform::kVkDown);
  Press(platform::kVkReturn);
  ASSERT_EQ(Menu->fPath, "0_3");
  const int items = static_cast<int>(Menu->CurrentPage().Items.size());
  while (Menu->fItemId != kLanguageItem && Menu->fSelected + 1 < items) Press(platform::kVkDown);
  ASSERT_EQ(Menu->fItemId, kLanguageItem);
  EXPECT_EQ(Menu->CurrentPage().Items.at(Menu->fSelected).Caption, "Sprache");
  Press(platform::kVkReturn);

  // At once: the same page and row, now in English, and stored.
  EXPECT_EQ(Language(), TLanguage::English);
  EXPECT_EQ(Setting("language"), "English");
  EXPECT_EQ(Menu->fPath, "0_3");
  EXPECT_EQ(Menu->fItemId, kLanguageItem);
  EXPECT_EQ(Menu->CurrentPage().Items.at(Menu->fSelected).Caption, "Language");
  EXPECT_EQ(Menu->CurrentPage().Items.back().Caption, "back");
  EXPECT_EQ(Menu->fMenu.Items.at(0).Items.back().Caption, "back") << "the stage page was filled again";
  EXPECT_EQ(Menu->fMenu.Items.at(0).Items.at(0).Caption, "ERSTE") << "no English title: the German one";
  EXPECT_EQ(Menu->fMenu.Items.at(0).Items.at(1).Caption, "FIRST");

  // The last item leads back in English too.
  while (Menu->fSelected + 1 < items) Press(platform::kVkDown);
  Press(platform::kVkReturn);
  ASSERT_EQ(Menu->fPath, "0");

  // Pixels: "Play" is drawn where "Spielen" was, in the same font and place.
  const std::vector<uint8_t> english = MenuFrame();
  const std::vector<uint8_t> play = CaptionAlone("Play", 0);
  EXPECT_GE(WhiteShare(play, english), 0.97);
  EXPECT_LE(WhiteShare(play, german), 0.8) << "the German frame must not already show it";
  EXPECT_GE(WhiteShare(CaptionAlone("Spielen", 0), german), 0.97);

  // A new menu reads the stored choice; Enter on the item again is German.
  Create();
  EXPECT_EQ(Menu->fMenu.Items.at(3).Caption, "Settings");
  Menu->fPath = "0_3";
  Menu->fSelected = 6;
  Menu->fItemId = kLanguageItem;
  Press(platform::kVkReturn);
  EXPECT_EQ(Setting("language"), "Deutsch");
  EXPECT_EQ(Menu->fMenu.Items.at(3).Caption, "Einstellungen");
  EXPECT_EQ(Menu->fMenu.Items.at(1).Items.at(1).Caption, "ERSTE");
  EXPECT_EQ(ReadAll(Runtime.Data("B.level")), stage) << "switching never writes a stage file";
}

}  // namespace
