// GameFolder.h -- the state a run starts from (settings.ini and the stage
// files), and a temporary program folder holding a copy of it, so that
// replays and the autopilot never write to the player's files.
#pragma once

#include <filesystem>
#include <map>
#include <string>

#include "platform/Recording.h"

// settings.ini and every data/*.level of the program folder `base` (with its
// trailing separator), as bytes. Missing settings are empty. Throws
// std::runtime_error when a stage file cannot be read.
[[nodiscard]] platform::TRecording ReadStartState(const std::string& base);

class TScratchFolder {
 public:
  // A new folder under the system's temporary folder: data/ links to every
  // file of base's data/ but the stage files, which are written from
  // `stages`; sound/ links to base's; settings.ini holds `settings`.
  // Throws std::runtime_error when it cannot be made.
  TScratchFolder(const std::string& base, const std::string& settings,
                 const std::map<std::string, std::string>& stages);
  // Removes the folder (links are removed, never followed).
  ~TScratchFolder();
  TScratchFolder(const TScratchFolder&) = delete;
  TScratchFolder& operator=(const TScratchFolder&) = delete;

  // The folder with a trailing separator, as the platform reports it.
  [[nodiscard]] std::string Base() const;

 private:
  std::filesystem::path fPath;
};
