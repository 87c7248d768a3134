// Context.h -- one text-engine context: parameters, renderer, fonts, block.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "render/textengine/TextBlock.h"
#include "render/textengine/TextEngine.h"

class TtsFont;
class TtsFreeType;
class TtsRenderer;

// Operations return a text-engine error code (0 on success); the caller
// reports it.
class TtsContext {
 public:
  explicit TtsContext(ts::TtsContextID id);
  // Fonts go before the renderer that holds their glyph images.
  ~TtsContext();
  TtsContext(const TtsContext&) = delete;
  TtsContext& operator=(const TtsContext&) = delete;

  [[nodiscard]] ts::TtsContextID ID() const { return fID; }
  // The thread holding the context; changed only under the engine's lock.
  std::thread::id Owner;

  // `openGLReady`: the OpenGL part is initialised (needed for its renderer).
  uint32_t SetParameter(ts::TtsEnum parameter, ts::TtsEnum value, bool openGLReady);
  uint32_t GetParameter(ts::TtsEnum parameter, ts::TtsEnum& value) const;

  uint32_t CreateFont(TtsFreeType& freeType, std::string_view name, int size, int style, ts::TtsEnum antiAliasing,
                      ts::TtsEnum format, ts::TtsFontID& font);
  uint32_t DestroyFont(ts::TtsFontID font);
  uint32_t BindFont(ts::TtsFontID font);
  // The current font, or null.
  [[nodiscard]] TtsFont* CurrentFont() const { return fCurrentFont; }

  uint32_t BeginBlock(int left, int top, int width, int height, uint32_t flags);
  uint32_t TextOut(std::string_view text);
  uint32_t EndBlock();
  uint32_t TextWidth(std::string_view text, int& width);

 private:
  // Single-byte text to characters with the context's code page.
  [[nodiscard]] std::u16string_view Decode(std::string_view text);

  ts::TtsContextID fID;
  ts::TtsEnum fAntiAliasing = ts::kAntiAliasingOn;
  ts::TtsEnum fImageFormat = ts::kFormatRGBA8;
  ts::TtsEnum fDebugDraw = 0;
  ts::TtsEnum fRendererKind = 0;
  ts::TtsEnum fCreatorKind = 0;
  ts::TtsEnum fAlign = ts::kAlignLeft;
  ts::TtsEnum fLineOutput = ts::kLineOutputImmediate;
  ts::TtsEnum fClipping = ts::kClipOverlap;
  ts::TtsEnum fCodePage = ts::kCodePageLatin1;

  std::unique_ptr<TtsRenderer> fRenderer;
  std::map<ts::TtsFontID, std::unique_ptr<TtsFont>> fFonts;
  ts::TtsFontID fNextFont = 1;
  TtsFont* fCurrentFont = nullptr;
  TtsTextBlock fBlock;
  std::u16string fDecoded;
};
