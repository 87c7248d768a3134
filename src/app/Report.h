// Report.h -- a line for whoever started the program: stderr in UTF-8.
#pragma once

#include <cstdio>
#include <string>

#include "platform/Cp1252.h"

// `text` (Windows-1252) and a line end on stderr.
inline void Report(const std::string& text) {
  std::fprintf(stderr, "%s\n", platform::Cp1252ToUtf8(text).c_str());
}
