// FileNames.cpp -- UTF-8 file names as the standard library's paths.
#include "platform/FileNames.h"

#include "platform/Cp1252.h"

namespace platform {

std::filesystem::path FsPath(std::string_view utf8) {
  std::u8string text(utf8.begin(), utf8.end());
  for (char8_t& c : text) {
    if (c == u8'\\') c = u8'/';
  }
#ifdef _WIN32
  // Windows must turn the name into wide characters. A name that is no
  // UTF-8 came from a data file, which the game writes in Windows-1252.
  try {
    return std::filesystem::path(text);
  } catch (const std::exception&) {
    const std::string converted = platform::Cp1252ToUtf8(std::string(text.begin(), text.end()));
    return std::filesystem::path(std::u8string(converted.begin(), converted.end()));
  }
#else
  return std::filesystem::path(text);
#endif
}

std::string Utf8Path(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  std::string result(text.begin(), text.end());
  for (char& c : result) {
    if (c == '\\') c = '/';
  }
  return result;
}

}  // namespace platform
