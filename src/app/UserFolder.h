// UserFolder.h -- an installed game's program folder, one for each player.
//
// The game knows one program folder: data/ and sound/ beside settings.ini.
// Run from where it was built, that is the executable's own folder. An
// installed game has its executable in <prefix>/bin and its read-only files
// in <prefix>/share/riftvaulter; what it writes (the stage files, which hold
// the highscores and unlocks, and settings.ini) belongs to the player, in
// <data home>/riftvaulter. That folder is laid out as a program folder of
// its own, so nothing else in the game needs to know the difference.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

// The installed read-only folder that belongs to an executable in `exeDir`,
// made canonical; nothing when the game runs where it was built.
[[nodiscard]] std::optional<std::filesystem::path> InstalledShareFolder(const std::filesystem::path& exeDir);

// Lays out `user` as a program folder over the installed `share` folder:
// data/ gets a copy of each shipped stage file that is not there yet (one
// that is there, changed or not, is never touched) and a link to every other
// file of share/data; sound links to share/sound; settings.ini is copied
// when share holds one and `user` does not. Links are made again on every
// start, so an upgraded or moved install is found; a regular file or folder
// of the player's is never replaced by a link. A copy is written under a
// temporary name and renamed, never over an existing file. Folders are made
// as needed (mode 0700). Throws std::runtime_error (Windows-1252 text naming
// the path and the system's reason).
void PrepareUserFolder(const std::filesystem::path& share, const std::filesystem::path& user);

// Where the program folder of an executable in `exeDir` (with its trailing
// '/') is, decided without touching the disk beyond looking: `exeDir` itself
// when the game is not installed; else `dataHome`/riftvaulter/, where
// `dataHome` is the XDG data home (Path stays empty when there is none: an
// error only for an installed game, reported by PrepareProgramFolder).
struct TProgramFolder {
  std::string Path;                           // with a trailing '/'
  std::optional<std::filesystem::path> Share;  // set for an installed game
};
[[nodiscard]] TProgramFolder LocateProgramFolder(const std::string& exeDir, const std::string& dataHome);
// Lays out an installed game's folder with PrepareUserFolder; nothing for a
// build. Throws std::runtime_error (Windows-1252 text), also when an
// installed game has no data home.
void PrepareProgramFolder(const TProgramFolder& folder);

// Both in one: the program folder, laid out. Throws std::runtime_error.
[[nodiscard]] std::string ProgramFolder(const std::string& exeDir, const std::string& dataHome);
