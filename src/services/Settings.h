// Settings.h -- settings.ini beside the program: section "main", read at
// start-up and written by the menu one key at a time.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Platform.h"
#include "services/Difficulty.h"
#include "services/IniFile.h"
#include "services/Language.h"

// The settings file's content. A missing file is empty; one that cannot be
// read is reported on stderr and counts as empty, so every key has its
// default.
[[nodiscard]] TIniFile ReadSettings(const std::string& fileName);

// Sets `key` of section "main" and leaves every other byte of the file as it
// was (comments, other sections, line ends). The file is replaced
// atomically. A failure is reported on stderr (the caller keeps the value
// for this run) and gives false.
bool WriteSetting(const std::string& fileName, const std::string& key, const std::string& value);

// `text` with key=value in section "main": the first such key line
// replaced, else a line added right after the section's header, else the
// section appended. Lines are split as the INI reader splits them, so the
// reader finds the new value; every other byte stays as it was.
[[nodiscard]] std::string SetMainKey(const std::string& text, const std::string& key, const std::string& value);

// The same for any section.
[[nodiscard]] std::string SetIniKey(const std::string& text, const std::string& section, const std::string& key,
                                    const std::string& value);

// Sets several keys of `section` in one atomic replacement of the file, so
// that either all of them are stored or none. A failure is reported on
// stderr and gives false.
bool WriteSettings(const std::string& fileName, const std::string& section,
                   const std::vector<std::pair<std::string, std::string>>& values);

// main/window: "0" or no key is full screen, WIDTHxHEIGHT (each side
// kMinWindowSide to kMaxWindowSide pixels) a window of that client size.
// Any other value is reported on stderr and counts as full screen.
[[nodiscard]] platform::TWindowMode ReadWindowSetting(const TIniFile& settings);
// The value of main/window for a mode: "0" or "1280x720".
[[nodiscard]] std::string WindowSettingText(const platform::TWindowMode& mode);

// main/difficulty: Leicht, Normal or Schwer; no key is Normal. Any other
// value is reported on stderr and counts as Normal.
[[nodiscard]] TDifficulty ReadDifficultySetting(const TIniFile& settings);

// main/language: Deutsch or English (any case); none when the key is missing.
// Any other value is reported on stderr and counts as Deutsch.
[[nodiscard]] std::optional<TLanguage> ReadLanguageSetting(const TIniFile& settings);
