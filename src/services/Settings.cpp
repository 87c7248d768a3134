// Settings.cpp -- reading and writing settings.ini without ever failing the game.
#include "services/Settings.h"

#include <cstdio>
#include <exception>

#include "platform/Dialog.h"

namespace {

void Report(const std::string& text) { std::fprintf(stderr, "%s\n", platform::Cp1252ToUtf8(text).c_str()); }

}  // namespace

TIniFile ReadSettings(const std::string& fileName) {
  TIniFile settings;
  try {
    settings.LoadFromFile(fileName);
  } catch (const std::exception& error) {
    settings.Clear();
    Report("Einstellungen aus " + fileName + " nicht lesbar, es gelten die Vorgaben: " + error.what());
  }
  return settings;
}

bool WriteSetting(const std::string& fileName, const std::string& key, const std::string& value) {
  try {
    TIniFile settings;
    settings.LoadFromFile(fileName);
    settings.WriteString("main", key, value);
    settings.SaveToFile(fileName);
    return true;
  } catch (const std::exception& error) {
    Report("Einstellung " + key + "=" + value + " konnte nicht in " + fileName +
           " gespeichert werden (sie gilt nur bis zum Programmende): " + error.what());
    return false;
  }
}
