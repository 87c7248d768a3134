// Cp1252.cpp -- Windows-1252 to UTF-8 and back, one code point at a time.
#include "platform/Cp1252.h"

#include "platform/Utf8.h"

namespace platform {

namespace {

// Code points of Windows-1252 bytes 0x80..0x9F; 0 where the code page has a hole.
constexpr char32_t kCp1252High[32] = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0, 0x017D, 0, 0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178};

}  // namespace

std::string Cp1252ToUtf8(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  for (unsigned char c : text) {
    char32_t cp = c;
    if (c >= 0x80 && c < 0xA0) cp = kCp1252High[c - 0x80] ? kCp1252High[c - 0x80] : U'?';
    AppendUtf8(out, cp);
  }
  return out;
}

char Cp1252FromCodePoint(char32_t code) {
  if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) return static_cast<char>(code);
  for (int i = 0; i < 32; ++i) {
    if (kCp1252High[i] == code) return static_cast<char>(0x80 + i);
  }
  return '?';
}

std::string Utf8ToCp1252(std::string_view text) {
  std::string out;
  while (!text.empty()) {
    const TUtf8Char next = DecodeUtf8(text, TUtf8Mode::Lenient);
    if (next.Length == 0) {
      out += '?';
      text.remove_prefix(1);
      continue;
    }
    out += Cp1252FromCodePoint(next.Code);
    text.remove_prefix(next.Length);
  }
  return out;
}

}  // namespace platform
