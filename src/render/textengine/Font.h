// Font.h -- one rasterised font face at one pixel size, with its glyph cache.
#pragma once

#include <array>
#include <memory>
#include <vector>

#include "render/textengine/Char.h"
#include "render/textengine/FreeType.h"
#include "render/textengine/PostProcess.h"
#include "render/textengine/TextEngine.h"

class TtsImage;
class TtsRenderer;

class TtsFont {
 public:
  // Takes the face, already sized; glyph images go to `renderer`.
  TtsFont(TFacePtr face, const ts::TtsFontMetrics& metrics, bool antiAliasing, TtsRenderer& renderer);
  // Hands every cached glyph image back to the renderer.
  ~TtsFont();
  TtsFont(const TtsFont&) = delete;
  TtsFont& operator=(const TtsFont&) = delete;

  [[nodiscard]] const ts::TtsFontMetrics& Metrics() const { return fMetrics; }
  void SetCharSpacing(int spacing) { fMetrics.CharSpacing = spacing; }
  // Runs on every glyph image made after this call, in the order added.
  void AddPostProcessStep(std::unique_ptr<TtsPostProcessStep> step);
  // Drops the cache and makes later glyphs for `renderer`.
  void SetRenderer(TtsRenderer& renderer);

  // The glyph for `code`, made and cached on first use; for a character the
  // font lacks, the default character's glyph, or null when there is none.
  const TtsChar* GetChar(char16_t code);

 private:
  struct TEntry {
    bool Made = false;
    std::unique_ptr<TtsChar> Char;  // null: the font has no such glyph
  };
  using TPage = std::array<TEntry, 256>;

  TEntry& Entry(char16_t code);
  std::unique_ptr<TtsChar> MakeChar(char16_t code);
  [[nodiscard]] TtsImage Rasterise(TtsChar& glyph) const;
  void ClearCache();

  TFacePtr fFace;
  ts::TtsFontMetrics fMetrics;
  bool fAntiAliasing;
  TtsRenderer* fRenderer;
  std::vector<std::unique_ptr<TtsPostProcessStep>> fPostProcess;
  std::array<std::unique_ptr<TPage>, 256> fCache;  // by high byte, then low byte
};
