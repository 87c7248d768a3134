// Char.h -- one cached glyph: its metrics and where the renderer keeps its image.
#pragma once

// Where a renderer keeps a glyph image: a page (texture) and a pixel
// rectangle in it. Page -1: the glyph has no image (nothing is drawn).
struct TtsGlyphPlace {
  int Page = -1;
  int X = 0;
  int Y = 0;
  int Width = 0;
  int Height = 0;
};

struct TtsChar {
  char16_t Code = 0;
  // Top-left corner of the image relative to the pen on the baseline: OriginX
  // to the right, OriginY upwards.
  int OriginX = 0;
  int OriginY = 0;
  int Advance = 0;
  int ImageWidth = 0;
  int ImageHeight = 0;
  TtsGlyphPlace Place;
};
