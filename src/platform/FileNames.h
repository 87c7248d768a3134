// FileNames.h -- names that may only stand for a file inside one folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

// A path the standard library opens correctly on every system, from a UTF-8
// name with either separator.
[[nodiscard]] std::filesystem::path FsPath(std::string_view utf8);
// The UTF-8 text of a path, with forward slashes.
[[nodiscard]] std::string Utf8Path(const std::filesystem::path& path);

// True for a name that may be written inside a folder: no separators, not
// "." or "..", not empty, no control bytes.
[[nodiscard]] inline bool IsPlainFileName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (const char ch : name) {
    // Also what Windows reads as a drive (D:x joins to another drive's
    // folder), a stream or a wildcard: names must mean the same everywhere.
    if (static_cast<uint8_t>(ch) < 32 || std::string_view("/\\:*?\"<>|").find(ch) != std::string_view::npos)
      return false;
  }
  if (name.back() == '.' || name.back() == ' ') return false;  // Windows drops them
  // Windows' device names, with any extension: CON.level is the console.
  std::string base(name.substr(0, name.find('.')));
  for (char& ch : base) ch = static_cast<char>(ch >= 'a' && ch <= 'z' ? ch - 32 : ch);
  while (!base.empty() && base.back() == ' ') base.pop_back();
  for (const char* device : {"CON", "PRN", "AUX", "NUL"}) {
    if (base == device) return false;
  }
  if (base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) && base[3] >= '0' && base[3] <= '9')
    return false;
  return true;
}

}  // namespace platform
