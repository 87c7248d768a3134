// Renderer.h -- keeps glyph images and draws glyphs; one per context.
#pragma once

#include "render/textengine/Char.h"

class TtsImage;

class TtsRenderer {
 public:
  virtual ~TtsRenderer() = default;
  // Takes a copy of a glyph image; the place is handed back to RemoveImage
  // when the glyph goes. An empty image gets no place (Page -1).
  virtual TtsGlyphPlace AddImage(const TtsImage& image) = 0;
  virtual void RemoveImage(const TtsGlyphPlace& place) = 0;
  // Draws glyphs of one line; x is the pen, y the baseline (pixels, y down).
  virtual void BeginLine() {}
  virtual void DrawChar(const TtsChar& glyph, int x, int y) = 0;
  virtual void EndLine() {}
};

// Lays text out and draws nothing.
class TtsRendererNull final : public TtsRenderer {
 public:
  TtsGlyphPlace AddImage(const TtsImage&) override { return {}; }
  void RemoveImage(const TtsGlyphPlace&) override {}
  void DrawChar(const TtsChar&, int, int) override {}
};
