// FontCreator.h -- makes fonts from TrueType files.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class TtsFont;
class TtsFreeType;
class TtsRenderer;

// Opens `path`, sizes it to `size` pixels (character height) and reads its
// metrics. Returns a text-engine error code: "invalid value" for a size below
// 1, "out of memory", or "unknown error" for a file that cannot be used.
uint32_t CreateFontFromFile(TtsFreeType& freeType, const std::string& path, int size, int style, bool antiAliasing,
                            TtsRenderer& renderer, std::unique_ptr<TtsFont>& font);
