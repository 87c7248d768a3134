// Settings.cpp -- reading and writing settings.ini without ever failing the game.
#include "services/Settings.h"

#include <cstdio>
#include <exception>
#include <fstream>
#include <iterator>

#include "platform/Cp1252.h"
#include "services/AtomicFile.h"
#include "services/Paths.h"
#include "services/SystemFile.h"

namespace {

void Report(const std::string& text) { std::fprintf(stderr, "%s\n", platform::Cp1252ToUtf8(text).c_str()); }

// The whole file; empty when there is none. A file that exists but cannot be
// read throws.
std::string ReadText(const std::string& fileName) {
  std::ifstream in(FsPath(fileName), std::ios::binary);
  if (!in) return {};
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw std::runtime_error("Lesefehler");
  return text;
}

// A window side: digits only, within the bounds; 0 when it is not one.
int WindowSide(std::string_view text) {
  if (text.empty() || text.size() > 5) return 0;
  int value = 0;
  for (const char ch : text) {
    if (ch < '0' || ch > '9') return 0;
    value = value * 10 + (ch - '0');
  }
  return value >= platform::kMinWindowSide && value <= platform::kMaxWindowSide ? value : 0;
}

}  // namespace

std::string SetMainKey(const std::string& text, const std::string& key, const std::string& value) {
  return SetIniKey(text, "main", key, value);
}

std::string SetIniKey(const std::string& text, const std::string& section, const std::string& key,
                      const std::string& value) {
  const std::string line = key + "=" + value;
  bool inSection = false;
  std::size_t sectionBody = std::string::npos;  // just after the section's header line
  for (std::size_t pos = 0; pos < text.size();) {
    // Lines end at CR LF, CR or LF, as the INI reader splits them.
    std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    std::size_t next = end;
    if (next < text.size()) next += (text[next] == '\r' && next + 1 < text.size() && text[next + 1] == '\n') ? 2 : 1;
    const std::string_view content = TrimBlanks(std::string_view(text).substr(pos, end - pos));
    if (content.size() >= 2 && content.front() == '[' && content.back() == ']') {
      inSection = SameIgnoringCase(TrimBlanks(content.substr(1, content.size() - 2)), section);
      if (inSection && sectionBody == std::string::npos) sectionBody = next;
    } else if (inSection && !content.empty() && content.front() != ';') {
      const std::size_t eq = content.find('=');
      if (eq != std::string_view::npos && SameIgnoringCase(TrimBlanks(content.substr(0, eq)), key))
        return text.substr(0, pos) + line + text.substr(end);
    }
    pos = next;
  }
  if (sectionBody != std::string::npos) {
    // A header on the file's last line has no line end yet.
    const bool ended = sectionBody > 0 && (text[sectionBody - 1] == '\n' || text[sectionBody - 1] == '\r');
    return text.substr(0, sectionBody) + (ended ? "" : "\r\n") + line + "\r\n" + text.substr(sectionBody);
  }
  std::string result = text;
  if (!result.empty() && result.back() != '\n' && result.back() != '\r') result += "\r\n";
  return result + "[" + section + "]\r\n" + line + "\r\n";
}

TIniFile ReadSettings(const std::string& fileName) {
  TIniFile settings;
  try {
    settings.SetText(ReadText(fileName));
  } catch (const std::exception& error) {
    settings.Clear();
    Report("Einstellungen aus " + fileName + " nicht lesbar, es gelten die Vorgaben: " + error.what());
  }
  return settings;
}

bool WriteSetting(const std::string& fileName, const std::string& key, const std::string& value) {
  try {
    WriteFileAtomically(fileName, SetMainKey(ReadText(fileName), key, value));
    return true;
  } catch (const std::exception& error) {
    Report("Einstellung " + key + "=" + value + " konnte nicht in " + fileName +
           " gespeichert werden (sie gilt nur bis zum Programmende): " + error.what());
    return false;
  }
}

bool WriteSettings(const std::string& fileName, const std::string& section,
                   const std::vector<std::pair<std::string, std::string>>& values) {
  try {
    std::string text = ReadText(fileName);
    // A new key goes right after the header: backwards, new keys keep their order.
    for (auto it = values.rbegin(); it != values.rend(); ++it) text = SetIniKey(text, section, it->first, it->second);
    WriteFileAtomically(fileName, text);
    return true;
  } catch (const std::exception& error) {
    std::string keys;
    for (const auto& [key, value] : values) keys += (keys.empty() ? "" : ", ") + key + "=" + value;
    Report("Einstellungen " + keys + " in [" + section + "] konnten nicht in " + fileName +
           " gespeichert werden (sie gelten nur bis zum Programmende): " + error.what());
    return false;
  }
}

platform::TWindowMode ReadWindowSetting(const TIniFile& settings) {
  const std::string value = settings.ReadString("main", "window", "0");
  const std::string_view text = TrimBlanks(value);
  if (text == "0") return {};
  const std::size_t x = text.find_first_of("xX");
  if (x != std::string_view::npos) {
    const int width = WindowSide(text.substr(0, x)), height = WindowSide(text.substr(x + 1));
    if (width > 0 && height > 0) return {false, width, height};
  }
  Report("Einstellung window=" + value + " in settings.ini ist ung\xFCltig (erwartet BREITExH\xD6HE wie 1280x720, " +
         "jede Seite " + std::to_string(platform::kMinWindowSide) + " bis " + std::to_string(platform::kMaxWindowSide) +
         " Pixel, oder 0 f\xFCr Vollbild); das Spiel l\xE4uft im Vollbild.");
  return {};
}

std::string WindowSettingText(const platform::TWindowMode& mode) {
  if (mode.FullScreen) return "0";
  return std::to_string(mode.Width) + "x" + std::to_string(mode.Height);
}

TDifficulty ReadDifficultySetting(const TIniFile& settings) {
  const std::string value = settings.ReadString("main", "difficulty", "Normal");
  if (const auto difficulty = DifficultyNamed(TrimBlanks(value))) return *difficulty;
  Report("Einstellung difficulty=" + value + " in settings.ini ist unbekannt (m\xF6glich sind Leicht, Normal und " +
         "Schwer); es gilt Normal.");
  return TDifficulty::Normal;
}

std::optional<TLanguage> ReadLanguageSetting(const TIniFile& settings) {
  if (!settings.ValueExists("main", "language")) return std::nullopt;
  const std::string value = settings.ReadString("main", "language", "");
  if (const auto language = LanguageNamed(value)) return *language;
  Report("Einstellung language=" + value + " in settings.ini ist unbekannt (m\xF6glich sind Deutsch und English); " +
         "es gilt Deutsch.");
  return TLanguage::German;
}
