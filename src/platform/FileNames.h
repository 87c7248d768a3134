// FileNames.h -- names that may only stand for a file inside one folder.
#pragma once

#include <cstdint>
#include <string_view>

namespace platform {

// True for a name that may be written inside a folder: no separators, not
// "." or "..", not empty, no control bytes.
[[nodiscard]] inline bool IsPlainFileName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (const char ch : name) {
    if (ch == '/' || ch == '\\' || static_cast<uint8_t>(ch) < 32) return false;
  }
  return true;
}

}  // namespace platform
