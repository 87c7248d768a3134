// RendererOpenGL.h -- glyph images in RGBA textures, glyphs as textured quads.
#pragma once

#include <vector>

#include "render/draw/Draw.h"
#include "render/textengine/CellAtlas.h"
#include "render/textengine/Renderer.h"

// Needs the GL context current for every call, including destruction.
class TtsRendererOpenGL final : public TtsRenderer {
 public:
  TtsRendererOpenGL() = default;
  ~TtsRendererOpenGL() override;
  TtsRendererOpenGL(const TtsRendererOpenGL&) = delete;
  TtsRendererOpenGL& operator=(const TtsRendererOpenGL&) = delete;

  TtsGlyphPlace AddImage(const TtsImage& image) override;
  void RemoveImage(const TtsGlyphPlace& place) override;
  // One quad per glyph, wound counter-clockwise on screen under a
  // y-down orthographic projection (front-facing with back-face culling).
  void BeginLine() override;
  void DrawChar(const TtsChar& glyph, int x, int y) override;
  void EndLine() override;

  void SetDebugDraw(bool on) { fDebugDraw = on; }
  [[nodiscard]] const TtsCellAtlas& Atlas() const { return fAtlas; }
  // GL texture of a page; 0 once its page is retired.
  [[nodiscard]] gfx::TTexture Texture(int page) const { return fTextures[static_cast<std::size_t>(page)]; }

 private:
  void EndQuads();
  void DrawOutline(float x0, float y0, float x1, float y1);

  TtsCellAtlas fAtlas;
  std::vector<gfx::TTexture> fTextures;  // one per atlas page
  gfx::TTexture fBound = 0;       // texture of the open Begin, 0 when none is open
  bool fDebugDraw = false;
};
