// Utf8.h -- the one reader and writer of UTF-8 byte sequences: the server's
// answers, JSON escapes, the Windows-1252 conversions and the server's own
// checks of what it is sent all go through these.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

enum class TUtf8Mode {
  // Only the shortest form of a Unicode scalar value: no overlong forms, no
  // surrogates, nothing beyond U+10FFFF.
  Strict,
  // Any lead byte C0..F7 followed by its continuation bytes: a text from a
  // server the game trusts, where a stray form is shown rather than refused.
  Lenient,
};

// One character at the front of a text. Length 0: there is none (empty
// text, a broken or cut sequence, or a form the mode refuses).
struct TUtf8Char {
  char32_t Code = 0;
  std::size_t Length = 0;
};

[[nodiscard]] TUtf8Char DecodeUtf8(std::string_view text, TUtf8Mode mode);

// Whether all of `text` is strict UTF-8.
[[nodiscard]] bool IsStrictUtf8(std::string_view text);

// Appends `code` (at most U+1FFFFF) in UTF-8.
void AppendUtf8(std::string& out, char32_t code);

}  // namespace platform
