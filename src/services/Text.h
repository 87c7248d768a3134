// Text.h -- the small text work every reader of names and values shares:
// names compared without regard to case, blanks trimmed, and a translated
// text filled with values.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

// Whether a and b are equal but for the case of A to Z (other bytes, those
// of Windows-1252 letters included, must match exactly).
[[nodiscard]] constexpr bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  constexpr auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// What counts as a blank at either end of a text.
enum class TBlanks {
  // Spaces and the control bytes (tab, CR, LF, ...): how INI lines and the
  // settings' values are read.
  SpacesAndControls,
  // Spaces alone: a number's text, where a tab is an error.
  Spaces,
};

// `text` without its blanks at either end.
[[nodiscard]] constexpr std::string_view TrimBlanks(std::string_view text,
                                                    TBlanks blanks = TBlanks::SpacesAndControls) {
  const auto blank = [blanks](char c) {
    return blanks == TBlanks::Spaces ? c == ' ' : static_cast<unsigned char>(c) <= ' ';
  };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// `german` (Windows-1252) in the player's language with %1, %2, ... %9
// replaced by `values` in order; a placeholder without a value stays.
[[nodiscard]] std::string FillText(std::string_view german, std::initializer_list<std::string_view> values);
