// Paths.cpp -- separator conversion and existence checks.
#include "services/Paths.h"

#include <filesystem>
#include <system_error>

#include "services/SystemFile.h"

std::string NativePath(std::string_view path) {
  std::string result(path);
  for (char& c : result) {
    if (c == '\\') c = '/';
  }
  return result;
}

bool FileExists(std::string_view path) {
  std::error_code error;
  return std::filesystem::is_regular_file(FsPath(path), error);
}

std::string PathForMessage(std::string_view utf8) {
  std::string result;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      result += static_cast<char>(c);
      ++i;
      continue;
    }
    // A two-byte sequence up to U+00FF is the same letter in Windows-1252;
    // anything else, or bytes that are no UTF-8, show as '?'.
    const auto next = i + 1 < utf8.size() ? static_cast<unsigned char>(utf8[i + 1]) : 0;
    if ((c == 0xC2 || c == 0xC3) && (next & 0xC0) == 0x80) {
      const unsigned code = ((c & 0x1Fu) << 6) | (next & 0x3Fu);
      result += code >= 0xA0 ? static_cast<char>(code) : '?';
      i += 2;
      continue;
    }
    result += '?';
    ++i;
    while (i < utf8.size() && (static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80) ++i;
  }
  return result;
}

std::string ProgramPath(const std::string& dir, const std::string& path) {
  const bool absolute = !path.empty() && (path[0] == '/' || path[0] == '\\' || (path.size() > 1 && path[1] == ':'));
  return absolute ? path : dir + path;
}
