// RendererOpenGL.cpp -- texture pages and quad drawing.
#include "render/textengine/RendererOpenGL.h"

#include <algorithm>

#include "render/textengine/Image.h"

TtsRendererOpenGL::~TtsRendererOpenGL() {
  for (gfx::TTexture texture : fTextures)
    if (texture != 0 && gfx::ContextCurrent()) gfx::DeleteTexture(texture);
}

TtsGlyphPlace TtsRendererOpenGL::AddImage(const TtsImage& image) {
  if (image.Empty()) return {};
  const int maxSize = gfx::MaxTextureSize();
  // Larger than any texture could be: the glyph stays invisible.
  if (image.Width() > maxSize || image.Height() > maxSize) return {};

  const TtsGlyphPlace place = fAtlas.Allocate(image.Width(), image.Height());
  EndQuads();
  while (static_cast<int>(fTextures.size()) < fAtlas.PageCount()) {
    const TtsCellAtlas::TPageInfo& info = fAtlas.Page(static_cast<int>(fTextures.size()));
    // Cleared, so that filtering at a glyph's edge reads transparent texels.
    fTextures.push_back(gfx::CreateTexture(info.Width, info.Height, nullptr));
  }

  // The whole cell rectangle: cells reused from a released glyph must not
  // keep its pixels in the padding.
  TtsImage padded(place.Width, place.Height);
  for (int y = 0; y < image.Height(); ++y)
    std::copy_n(image.ScanLine(y), static_cast<std::size_t>(image.Width()) * 4, padded.ScanLine(y));
  gfx::UpdateTexture(fTextures[static_cast<std::size_t>(place.Page)], place.X, place.Y, place.Width, place.Height,
                     padded.Data());
  return place;
}

void TtsRendererOpenGL::RemoveImage(const TtsGlyphPlace& place) {
  if (place.Page < 0) return;
  if (fAtlas.Release(place)) {
    EndQuads();
    gfx::TTexture& texture = fTextures[static_cast<std::size_t>(place.Page)];
    gfx::DeleteTexture(texture);
    texture = 0;
  }
}

void TtsRendererOpenGL::BeginLine() {
  fBound = 0;
  gfx::Enable(gfx::TCap::Texture2D);
}

void TtsRendererOpenGL::DrawChar(const TtsChar& glyph, int x, int y) {
  const TtsGlyphPlace& place = glyph.Place;
  if (place.Page < 0) return;
  const gfx::TTexture texture = fTextures[static_cast<std::size_t>(place.Page)];
  if (texture != fBound) {
    EndQuads();
    gfx::BindTexture(texture);
    gfx::Begin(gfx::TPrimitive::Quads);
    fBound = texture;
  }
  const TtsCellAtlas::TPageInfo& page = fAtlas.Page(place.Page);
  const float u0 = static_cast<float>(place.X) / page.Width;
  const float v0 = static_cast<float>(place.Y) / page.Height;
  const float u1 = static_cast<float>(place.X + place.Width) / page.Width;
  const float v1 = static_cast<float>(place.Y + place.Height) / page.Height;
  const float x0 = static_cast<float>(x + glyph.OriginX);
  const float y0 = static_cast<float>(y - glyph.OriginY);
  const float x1 = x0 + static_cast<float>(place.Width);
  const float y1 = y0 + static_cast<float>(place.Height);
  gfx::TexCoord(u0, v0);
  gfx::Vertex(x0, y0);
  gfx::TexCoord(u0, v1);
  gfx::Vertex(x0, y1);
  gfx::TexCoord(u1, v1);
  gfx::Vertex(x1, y1);
  gfx::TexCoord(u1, v0);
  gfx::Vertex(x1, y0);
  if (fDebugDraw) DrawOutline(x0, y0, x1, y1);
}

void TtsRendererOpenGL::EndLine() {
  EndQuads();
  gfx::Disable(gfx::TCap::Texture2D);
}

void TtsRendererOpenGL::EndQuads() {
  if (fBound == 0) return;
  gfx::End();
  fBound = 0;
}

void TtsRendererOpenGL::DrawOutline(float x0, float y0, float x1, float y1) {
  EndQuads();
  gfx::Disable(gfx::TCap::Texture2D);
  gfx::Begin(gfx::TPrimitive::LineLoop);
  gfx::Vertex(x0 + 0.5f, y0 + 0.5f);
  gfx::Vertex(x0 + 0.5f, y1 - 0.5f);
  gfx::Vertex(x1 - 0.5f, y1 - 0.5f);
  gfx::Vertex(x1 - 0.5f, y0 + 0.5f);
  gfx::End();
  gfx::Enable(gfx::TCap::Texture2D);
}
