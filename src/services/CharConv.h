// CharConv.h -- reading and writing doubles alike on every system: the
// standard library's from_chars / to_chars where it has them for floating
// point; the browser build's library has them for integers only, and there
// musl's strtod and snprintf stand in (both round correctly, and the page
// has no locale but "C").
#pragma once

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>

namespace conv {

// Reads the whole of [first, last) as a decimal number (no leading '+').
// False when it is not one, or not all of it.
inline bool ReadDouble(const char* first, const char* last, double& value) {
#ifdef __EMSCRIPTEN__
  if (first == last || *first == '+' || *first == ' ') return false;
  const std::string text(first, last);
  char* end = nullptr;
  const double parsed = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size()) return false;
  // strtod also reads hex, "inf" and "nan", which from_chars would not.
  if (text.find_first_of("xXnN") != std::string::npos) return false;
  value = parsed;
  return true;
#else
  const auto [end, error] = std::from_chars(first, last, value);
  return error == std::errc() && end == last;
#endif
}

// `value` in general notation with `precision` significant digits, as
// printf's %.*g writes it.
inline std::string WriteDouble(double value, int precision) {
  char buffer[64];
#ifdef __EMSCRIPTEN__
  std::snprintf(buffer, sizeof buffer, "%.*g", precision, value);
  return buffer;
#else
  return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, precision).ptr);
#endif
}

}  // namespace conv
