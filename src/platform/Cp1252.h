// Cp1252.h -- Windows-1252, the code page of every text the game keeps
// (stage files, menu texts, settings, messages), and UTF-8, which the
// system's windows, terminals and file names speak.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Windows-1252 bytes to UTF-8; the code page's five holes become '?'.
std::string Cp1252ToUtf8(const std::string& text);
// The Windows-1252 byte of a code point; '?' where the code page has none.
char Cp1252FromCodePoint(char32_t code);
// UTF-8 (read leniently) to Windows-1252: characters the code page lacks
// and each byte of a broken sequence become '?'.
std::string Utf8ToCp1252(std::string_view text);

}  // namespace platform
