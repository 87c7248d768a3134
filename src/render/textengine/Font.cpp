// Font.cpp -- glyph rasterising and the glyph cache.
#include "render/textengine/Font.h"

#include FT_SYNTHESIS_H

#include <cstdlib>

#include "render/textengine/Image.h"
#include "render/textengine/Renderer.h"

TtsFont::TtsFont(TFacePtr face, const ts::TtsFontMetrics& metrics, bool antiAliasing, TtsRenderer& renderer)
    : fFace(std::move(face)), fMetrics(metrics), fAntiAliasing(antiAliasing), fRenderer(&renderer) {}

TtsFont::~TtsFont() { ClearCache(); }

void TtsFont::AddPostProcessStep(std::unique_ptr<TtsPostProcessStep> step) { fPostProcess.push_back(std::move(step)); }

void TtsFont::SetRenderer(TtsRenderer& renderer) {
  ClearCache();
  fRenderer = &renderer;
}

void TtsFont::ClearCache() {
  for (std::unique_ptr<TPage>& page : fCache) {
    if (!page) continue;
    for (TEntry& entry : *page)
      if (entry.Char) fRenderer->RemoveImage(entry.Char->Place);
    page.reset();
  }
}

TtsFont::TEntry& TtsFont::Entry(char16_t code) {
  std::unique_ptr<TPage>& page = fCache[code >> 8];
  if (!page) page = std::make_unique<TPage>();
  return (*page)[code & 0xFF];
}

const TtsChar* TtsFont::GetChar(char16_t code) {
  TEntry& entry = Entry(code);
  if (!entry.Made) {
    entry.Char = MakeChar(code);
    entry.Made = true;
  }
  if (entry.Char) return entry.Char.get();
  if (fMetrics.DefaultChar != 0 && fMetrics.DefaultChar != code) {
    TEntry& fallback = Entry(fMetrics.DefaultChar);
    if (!fallback.Made) {
      fallback.Char = MakeChar(fMetrics.DefaultChar);
      fallback.Made = true;
    }
    return fallback.Char.get();
  }
  return nullptr;
}

std::unique_ptr<TtsChar> TtsFont::MakeChar(char16_t code) {
  const FT_UInt index = FT_Get_Char_Index(fFace.get(), code);
  if (index == 0) return nullptr;
  const FT_Int32 target = fAntiAliasing ? FT_LOAD_TARGET_NORMAL : FT_LOAD_TARGET_MONO;
  if (FT_Load_Glyph(fFace.get(), index, FT_LOAD_DEFAULT | target) != 0) return nullptr;
  FT_GlyphSlot slot = fFace->glyph;
  if (fMetrics.Style & ts::kStyleBold) FT_GlyphSlot_Embolden(slot);
  if (fMetrics.Style & ts::kStyleItalic) FT_GlyphSlot_Oblique(slot);
  if (slot->format != FT_GLYPH_FORMAT_BITMAP &&
      FT_Render_Glyph(slot, fAntiAliasing ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO) != 0)
    return nullptr;

  auto glyph = std::make_unique<TtsChar>();
  glyph->Code = code;
  glyph->OriginX = slot->bitmap_left;
  glyph->OriginY = slot->bitmap_top;
  glyph->Advance = static_cast<int>((slot->advance.x + 32) >> 6);
  TtsImage image = Rasterise(*glyph);
  for (const auto& step : fPostProcess) step->Apply(image, *glyph);
  glyph->Place = fRenderer->AddImage(image);
  return glyph;
}

TtsImage TtsFont::Rasterise(TtsChar& glyph) const {
  const FT_Bitmap& bitmap = fFace->glyph->bitmap;
  const int width = static_cast<int>(bitmap.width);
  const int height = static_cast<int>(bitmap.rows);
  TtsImage image(width, height);
  glyph.ImageWidth = image.Width();
  glyph.ImageHeight = image.Height();
  const int grays = bitmap.num_grays > 1 ? bitmap.num_grays - 1 : 255;
  for (int y = 0; y < height; ++y) {
    const int row = bitmap.pitch >= 0 ? y : height - 1 - y;
    const unsigned char* source = bitmap.buffer + static_cast<std::ptrdiff_t>(row) * std::abs(bitmap.pitch);
    uint8_t* target = image.ScanLine(y);
    for (int x = 0; x < width; ++x, target += 4) {
      int alpha = 0;
      if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) alpha = (source[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
      else if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) alpha = source[x] * 255 / grays;
      target[0] = target[1] = target[2] = 255;
      target[3] = static_cast<uint8_t>(alpha);
    }
  }
  return image;
}
