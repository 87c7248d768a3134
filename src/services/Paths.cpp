// Paths.cpp -- separator conversion and existence checks.
#include "services/Paths.h"

#include <filesystem>
#include <system_error>

std::string NativePath(std::string_view path) {
  std::string result(path);
  for (char& c : result) {
    if (c == '\\') c = '/';
  }
  return result;
}

bool FileExists(std::string_view path) {
  std::error_code error;
  return std::filesystem::is_regular_file(NativePath(path), error);
}

std::string ProgramPath(const std::string& dir, const std::string& path) {
  const bool absolute = !path.empty() && (path[0] == '/' || path[0] == '\\' || (path.size() > 1 && path[1] == ':'));
  return absolute ? path : dir + path;
}
