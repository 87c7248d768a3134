// RendererOpenGL.cpp -- texture pages and quad drawing.
#include "render/textengine/RendererOpenGL.h"

#include <algorithm>

#include "render/textengine/Image.h"

TtsRendererOpenGL::~TtsRendererOpenGL() {
  for (GLuint texture : fTextures)
    if (texture != 0) glDeleteTextures(1, &texture);
}

TtsGlyphPlace TtsRendererOpenGL::AddImage(const TtsImage& image) {
  if (image.Empty()) return {};
  GLint maxSize = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
  // Larger than any texture could be: the glyph stays invisible.
  if (image.Width() > maxSize || image.Height() > maxSize) return {};

  const TtsGlyphPlace place = fAtlas.Allocate(image.Width(), image.Height());
  EndQuads();
  while (static_cast<int>(fTextures.size()) < fAtlas.PageCount()) {
    const TtsCellAtlas::TPageInfo& info = fAtlas.Page(static_cast<int>(fTextures.size()));
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    // Cleared, so that filtering at a glyph's edge reads transparent texels.
    const std::vector<uint8_t> clear(static_cast<std::size_t>(info.Width) * info.Height * 4, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, info.Width, info.Height, 0, GL_RGBA, GL_UNSIGNED_BYTE, clear.data());
    fTextures.push_back(texture);
  }

  // The whole cell rectangle: cells reused from a released glyph must not
  // keep its pixels in the padding.
  TtsImage padded(place.Width, place.Height);
  for (int y = 0; y < image.Height(); ++y)
    std::copy_n(image.ScanLine(y), static_cast<std::size_t>(image.Width()) * 4, padded.ScanLine(y));
  glBindTexture(GL_TEXTURE_2D, fTextures[static_cast<std::size_t>(place.Page)]);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glTexSubImage2D(GL_TEXTURE_2D, 0, place.X, place.Y, place.Width, place.Height, GL_RGBA, GL_UNSIGNED_BYTE,
                  padded.Data());
  glBindTexture(GL_TEXTURE_2D, 0);
  return place;
}

void TtsRendererOpenGL::RemoveImage(const TtsGlyphPlace& place) {
  if (place.Page < 0) return;
  if (fAtlas.Release(place)) {
    EndQuads();
    GLuint& texture = fTextures[static_cast<std::size_t>(place.Page)];
    glDeleteTextures(1, &texture);
    texture = 0;
  }
}

void TtsRendererOpenGL::BeginLine() {
  fBound = 0;
  glEnable(GL_TEXTURE_2D);
}

void TtsRendererOpenGL::DrawChar(const TtsChar& glyph, int x, int y) {
  const TtsGlyphPlace& place = glyph.Place;
  if (place.Page < 0) return;
  const GLuint texture = fTextures[static_cast<std::size_t>(place.Page)];
  if (texture != fBound) {
    EndQuads();
    glBindTexture(GL_TEXTURE_2D, texture);
    glBegin(GL_QUADS);
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
  glTexCoord2f(u0, v0);
  glVertex2f(x0, y0);
  glTexCoord2f(u0, v1);
  glVertex2f(x0, y1);
  glTexCoord2f(u1, v1);
  glVertex2f(x1, y1);
  glTexCoord2f(u1, v0);
  glVertex2f(x1, y0);
  if (fDebugDraw) DrawOutline(x0, y0, x1, y1);
}

void TtsRendererOpenGL::EndLine() {
  EndQuads();
  glDisable(GL_TEXTURE_2D);
}

void TtsRendererOpenGL::EndQuads() {
  if (fBound == 0) return;
  glEnd();
  fBound = 0;
}

void TtsRendererOpenGL::DrawOutline(float x0, float y0, float x1, float y1) {
  EndQuads();
  glDisable(GL_TEXTURE_2D);
  glBegin(GL_LINE_LOOP);
  glVertex2f(x0 + 0.5f, y0 + 0.5f);
  glVertex2f(x0 + 0.5f, y1 - 0.5f);
  glVertex2f(x1 - 0.5f, y1 - 0.5f);
  glVertex2f(x1 - 0.5f, y0 + 0.5f);
  glEnd();
  glEnable(GL_TEXTURE_2D);
}
