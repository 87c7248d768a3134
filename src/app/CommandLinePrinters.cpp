// CommandLinePrinters.cpp -- the options that print about the installed
// game: its stages' highscores, their hashes, their paths' fingerprint.
#include "app/CommandLinePrinters.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/GameFolder.h"
#include "app/Report.h"
#include "app/Session.h"
#include "app/StageHash.h"
#include "app/UserFolder.h"
#include "geometry/Extended.h"
#include "geometry/PathFingerprint.h"
#include "menu/LevelListItem.h"
#include "platform/Cp1252.h"
#include "platform/Recording.h"
#include "platform/SdlPlatform.h"
#include "services/IniFile.h"
#include "services/RC4Stream.h"
#include "services/Settings.h"
#include "stage/Level.h"
#include "stage/StageSettings.h"

namespace {

// Where a build's stage files come from, after the folder that lacks them.
constexpr const char* kStagesAreBuilt =
    ": der Build legt sie aus assets/stages an (Ziel rv_stages, in scripts/build und "
    "cmake --build build --target rv_game enthalten)";

// Runs `print` on the program folder, laid out for use. The exit code: 0, or
// kExitInput when the folder or a file in it cannot be read (said on stderr).
template <typename F>
int PrintingFromProgramFolder(F print) {
  try {
    const TProgramFolder folder =
        LocateProgramFolder(platform::ExecutableDirectory(), platform::DataHomeDirectory());
    PrepareProgramFolder(folder);
    print(folder);
  } catch (const std::exception& failure) {
    Report(TrMessage(failure.what()));
    std::fflush(stdout);
    return kExitInput;
  }
  std::fflush(stdout);
  return 0;
}

}  // namespace

TLanguage CommandLineLanguage() {
  const TProgramFolder folder = LocateProgramFolder(platform::ExecutableDirectory(), platform::DataHomeDirectory());
  if (!folder.Path.empty()) {
    if (const auto chosen = ReadLanguageSetting(ReadSettings(folder.Path + "settings.ini"))) return *chosen;
  }
  return LanguageFromLocale(std::getenv("LC_ALL"), std::getenv("LANG"));
}

int PrintScores() {
  return PrintingFromProgramFolder([](const TProgramFolder& folder) {
    for (const TLevelListItem& level : ReadLevelList(folder.Path)) {
      std::printf("%s\n", platform::Cp1252ToUtf8(level.FileName + ": \"" + level.Title + "\", " +
                                                 std::string(Tr(level.Active ? "freigeschaltet" : "gesperrt")) + ", " +
                                                 std::to_string(level.HighScores.size()) + " Highscores")
                              .c_str());
      int place = 0;
      for (const THighscoreListItem& entry : level.HighScores) {
        std::printf("%s\n", platform::Cp1252ToUtf8("  " + std::to_string(++place) + ". " + entry.Name + " " +
                                                   std::to_string(entry.Score))
                                .c_str());
      }
    }
  });
}

int PrintStageHashes() {
  return PrintingFromProgramFolder([](const TProgramFolder& folder) {
    const platform::TRecording start = ReadStartState(folder.Path);
    // Nothing to list is a build without its content, not an empty game.
    if (start.StageFiles.empty())
      throw std::runtime_error("Keine Leveldateien (*.level) in " + folder.Path + "data" + kStagesAreBuilt);
    for (const auto& [name, bytes] : start.StageFiles) {
      const std::string stage = name.substr(0, name.size() - 6);  // without .level
      std::printf("%s %s\n", platform::Cp1252ToUtf8(stage).c_str(), StageSha256(bytes).c_str());
    }
  });
}

int PrintPathFingerprint() {
  return PrintingFromProgramFolder([](const TProgramFolder& folder) {
    std::vector<TPathProbe> paths;
    for (const TLevelListItem& level : ReadLevelList(folder.Path)) {
      TIniFile stage;
      LoadIni(stage, folder.Path + "data\\" + level.FileName, kLevelKey);
      const T3DPoints points = ReadControlPoints(stage, level.FileName);
      TPathProbe path;
      path.Circles = stage.ReadInteger("Level", "Circles", 1200);
      for (std::size_t i = 0; i < points.x.size(); ++i)
        path.Points.push_back({static_cast<float>(points.x[i]), static_cast<float>(points.y[i]), static_cast<float>(points.z[i])});
      paths.push_back(std::move(path));
    }
    char hash[20];
    std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(PathFingerprint<TExtended>(paths)));
    const std::string line = std::string("Pfad-Pr\xFC" "fsumme: ") + hash + " (" + std::to_string(paths.size()) +
                             " Level, " + (RV_HARDWARE_EXTENDED ? "x87" : "Software") + ")";
    std::printf("%s\n", platform::Cp1252ToUtf8(line).c_str());
  });
}
