// Paths.cpp -- separator conversion and existence checks.
#include "services/Paths.h"

#include <filesystem>
#include <system_error>

#include "platform/Cp1252.h"
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
    // One code point of two or three bytes; what Windows-1252 has keeps its
    // form, anything else (or bytes that are no UTF-8) shows as '?'.
    std::size_t length = c >= 0xE0 && c < 0xF0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 1;
    char32_t code = length == 3 ? c & 0x0Fu : c & 0x1Fu;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = i + k < utf8.size() ? static_cast<unsigned char>(utf8[i + k]) : 0;
      if ((next & 0xC0) != 0x80) {
        length = 1;
        break;
      }
      code = (code << 6) | (next & 0x3Fu);
    }
    result += length == 1 ? '?' : platform::Cp1252FromCodePoint(code);
    i += length;
    while (length == 1 && i < utf8.size() && (static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80) ++i;
  }
  return result;
}

std::string ProgramPath(const std::string& dir, const std::string& path) {
  const bool absolute = !path.empty() && (path[0] == '/' || path[0] == '\\' || (path.size() > 1 && path[1] == ':'));
  return absolute ? path : dir + path;
}
