// TextBlock.h -- lays text out in a rectangle, line by line, and draws it.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "render/textengine/TextEngine.h"

class TtsFont;
class TtsRenderer;
struct TtsChar;

struct TtsBlockSettings {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  uint32_t Flags = 0;
  ts::TtsEnum Align = ts::kAlignLeft;
  ts::TtsEnum Clipping = ts::kClipOverlap;
};

// Lines are drawn as soon as they are complete; the last one at End. With
// kBlockWordWrap a word that would make its line wider than the block starts
// a new line, unless it is the line's first word. Spaces at a wrap are
// dropped.
class TtsTextBlock {
 public:
  void Begin(TtsRenderer& renderer, const TtsBlockSettings& settings);
  [[nodiscard]] bool IsOpen() const { return fRenderer != nullptr; }
  // Adds text (characters already decoded) in `font`.
  void Add(std::u16string_view text, TtsFont& font);
  void End();

  // Width of `text` on one line in `font`, without wrapping.
  static int Measure(std::u16string_view text, TtsFont& font);

 private:
  struct TGlyph {
    const TtsChar* Char;
    TtsFont* Font;
    int Advance;  // glyph advance plus the font's character spacing
    bool Space;
  };

  void AddWord(TtsFont& font);
  void FinishLine(bool wrapped, TtsFont& font);
  [[nodiscard]] int LineOffset(int lineWidth) const;

  TtsRenderer* fRenderer = nullptr;
  TtsBlockSettings fSettings;
  int fY = 0;
  bool fPendingCR = false;
  std::vector<TGlyph> fLine;
  int fLineWidth = 0;
  bool fLineHasWord = false;
  std::vector<TGlyph> fWord;
  int fWordWidth = 0;
};
