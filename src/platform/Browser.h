// Browser.h -- what the game does differently in a web page (the
// WebAssembly build), and no-ops everywhere else.
//
// In the page the program folder is an installed game's: the read-only
// files are packed under kBrowserExecutableDir/../share/riftvaulter, and the
// player's folder lies in kBrowserDataHome, a folder kept in the browser's
// IndexedDB (web/pre.js mounts and loads it before the game starts).
#pragma once

#include <string>

namespace platform {

#ifdef __EMSCRIPTEN__
inline constexpr bool kInBrowser = true;
#else
inline constexpr bool kInBrowser = false;
#endif
inline constexpr const char* kBrowserExecutableDir = "/riftvaulter/bin/";
inline constexpr const char* kBrowserDataHome = "/save";

// A file of the player's folder was written: the page copies the folder to
// IndexedDB (in the background; a failure is shown in the page).
void PersistSavedFiles();

// Shows a message in the page, above the canvas (UTF-8 texts).
void ShowPageMessage(bool error, const std::string& caption, const std::string& text);

// The browser's language tag ("de-DE", "en-US"; empty outside the page).
[[nodiscard]] std::string PageLanguage();

// Whether the page asked for frames paced by a timer instead of the
// display (its test runs).
[[nodiscard]] bool PageWantsTimerFrames();
// Counts a frame; true once the page's test run has had the frames it asked
// for (it then ends as if the window were closed).
[[nodiscard]] bool PageFrameEndsRun();

}  // namespace platform
