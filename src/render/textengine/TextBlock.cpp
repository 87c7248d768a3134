// TextBlock.cpp -- words, spaces, line breaks, wrapping, alignment, clipping.
#include "render/textengine/TextBlock.h"

#include <algorithm>

#include "render/textengine/Font.h"
#include "render/textengine/Renderer.h"

namespace {

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t'; }

}  // namespace

void TtsTextBlock::Begin(TtsRenderer& renderer, const TtsBlockSettings& settings) {
  fRenderer = &renderer;
  fSettings = settings;
  fY = settings.Top;
  fPendingCR = false;
  fLine.clear();
  fLineWidth = 0;
  fLineHasWord = false;
  fWord.clear();
  fWordWidth = 0;
}

int TtsTextBlock::Measure(std::u16string_view text, TtsFont& font) {
  int width = 0;
  for (char16_t c : text)
    if (const TtsChar* glyph = font.GetChar(c)) width += glyph->Advance + font.Metrics().CharSpacing;
  return width;
}

void TtsTextBlock::Add(std::u16string_view text, TtsFont& font) {
  const int spacing = font.Metrics().CharSpacing;
  for (char16_t c : text) {
    if (c == u'\n' && fPendingCR) {  // the second half of "\r\n"
      fPendingCR = false;
      continue;
    }
    fPendingCR = c == u'\r';
    if (c == u'\r' || c == u'\n') {
      AddWord(font);
      FinishLine(false, font);
      continue;
    }
    const TtsChar* glyph = font.GetChar(c);
    if (IsSpace(c)) {
      AddWord(font);
      if (glyph) {
        fLine.push_back({glyph, &font, glyph->Advance + spacing, true});
        fLineWidth += glyph->Advance + spacing;
      }
    } else if (glyph) {
      fWord.push_back({glyph, &font, glyph->Advance + spacing, false});
      fWordWidth += glyph->Advance + spacing;
    }
  }
  AddWord(font);
}

void TtsTextBlock::AddWord(TtsFont& font) {
  if (fWord.empty()) return;
  if ((fSettings.Flags & ts::kBlockWordWrap) && fLineHasWord && fLineWidth + fWordWidth > fSettings.Width) {
    while (!fLine.empty() && fLine.back().Space) {
      fLineWidth -= fLine.back().Advance;
      fLine.pop_back();
    }
    FinishLine(true, font);
  }
  fLine.insert(fLine.end(), fWord.begin(), fWord.end());
  fLineWidth += fWordWidth;
  fLineHasWord = true;
  fWord.clear();
  fWordWidth = 0;
}

int TtsTextBlock::LineOffset(int lineWidth) const {
  switch (fSettings.Align) {
    case ts::kAlignCenter: return fSettings.Width / 2 - lineWidth / 2;
    case ts::kAlignRight: return fSettings.Width - lineWidth;
    default: return 0;
  }
}

void TtsTextBlock::FinishLine(bool wrapped, TtsFont& font) {
  // The line's height and baseline follow the largest font on it.
  int ascent = 0;
  int height = 0;
  for (const TGlyph& glyph : fLine) {
    ascent = std::max(ascent, glyph.Font->Metrics().Ascent);
    height = std::max(height, glyph.Font->Metrics().LineHeight);
  }
  if (fLine.empty()) {
    ascent = font.Metrics().Ascent;
    height = font.Metrics().LineHeight;
  }

  const int top = fY;
  const int blockBottom = fSettings.Top + fSettings.Height;
  const bool visible = fSettings.Clipping == ts::kClipInside
                           ? top >= fSettings.Top && top + height <= blockBottom
                           : top < blockBottom && top + height > fSettings.Top;
  if (visible && !fLine.empty()) {
    // A justified line spreads the free width evenly over its spaces, in whole
    // pixels that add up to it: its last word ends at the block's right edge.
    int spaces = 0;
    int free = 0;
    if (wrapped && fSettings.Align == ts::kAlignBlock) {
      spaces = static_cast<int>(std::count_if(fLine.begin(), fLine.end(), [](const TGlyph& g) { return g.Space; }));
      free = std::max(0, fSettings.Width - fLineWidth);
    }
    int x = fSettings.Left + LineOffset(fLineWidth);
    const int baseline = top + ascent;
    int space = 0;
    fRenderer->BeginLine();
    for (const TGlyph& glyph : fLine) {
      fRenderer->DrawChar(*glyph.Char, x, baseline);
      x += glyph.Advance;
      if (glyph.Space && spaces > 0) {
        x += free * (space + 1) / spaces - free * space / spaces;
        ++space;
      }
    }
    fRenderer->EndLine();
  }

  fY += height;
  fLine.clear();
  fLineWidth = 0;
  fLineHasWord = false;
}

void TtsTextBlock::End() {
  if (!fRenderer) return;
  // Add() has committed every word; an empty last line is not drawn.
  if (!fLine.empty()) FinishLine(false, *fLine.back().Font);
  fRenderer = nullptr;
}
