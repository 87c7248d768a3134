// Paths.h -- file names as the data files write them.
//
// Paths keep their backslashes wherever they are stored or compared; they
// become native only when a file is opened.
#pragma once

#include <string>
#include <string_view>

// "data\lcd.ttf" -> "data/lcd.ttf".
[[nodiscard]] std::string NativePath(std::string_view path);
// True when a regular file exists at `path` (either separator).
[[nodiscard]] bool FileExists(std::string_view path);

// A UTF-8 path as the game's messages (Windows-1252 text) show it: letters
// Windows-1252 has keep their form, others become '?'.
[[nodiscard]] std::string PathForMessage(std::string_view utf8);

// `path` as found from the program's folder `dir` (with its trailing
// separator): relative paths are joined to it, absolute ones stay.
[[nodiscard]] std::string ProgramPath(const std::string& dir, const std::string& path);
