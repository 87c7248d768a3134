// Context.cpp -- parameters, fonts and blocks of one context.
#include "render/textengine/Context.h"

#include <new>

#include "render/textengine/Font.h"
#include "render/textengine/FontCreator.h"
#include "render/textengine/PostProcess.h"
#include "render/textengine/RendererOpenGL.h"

TtsContext::TtsContext(ts::TtsContextID id) : fID(id) {}

TtsContext::~TtsContext() {
  fFonts.clear();
  fRenderer.reset();
}

uint32_t TtsContext::SetParameter(ts::TtsEnum parameter, ts::TtsEnum value, bool openGLReady) {
  switch (parameter) {
    case ts::kAntiAliasing:
      if (value != ts::kAntiAliasingOff && value != ts::kAntiAliasingOn) return ts::kErrorInvalidEnum;
      fAntiAliasing = value;
      return ts::kNoError;
    case ts::kImageFormat:
      if (value != ts::kFormatRGBA8) return ts::kErrorInvalidEnum;
      return ts::kNoError;
    case ts::kDebugDraw:
      if (value > 1) return ts::kErrorInvalidEnum;
      fDebugDraw = value;
      if (auto* gl = dynamic_cast<TtsRendererOpenGL*>(fRenderer.get())) gl->SetDebugDraw(value == 1);
      return ts::kNoError;
    case ts::kRenderer: {
      if (value == fRendererKind) return ts::kNoError;  // keeps the glyph caches
      if (value != ts::kRendererNull && value != ts::kRendererOpenGL) return ts::kErrorInvalidEnum;
      if (value == ts::kRendererOpenGL && !openGLReady) return ts::kErrorNotInitialized;
      if (fBlock.IsOpen()) return ts::kErrorInvalidOperation;
      std::unique_ptr<TtsRenderer> renderer;
      if (value == ts::kRendererOpenGL) {
        auto gl = std::make_unique<TtsRendererOpenGL>();
        gl->SetDebugDraw(fDebugDraw == 1);
        renderer = std::move(gl);
      } else {
        renderer = std::make_unique<TtsRendererNull>();
      }
      for (auto& [id, font] : fFonts) font->SetRenderer(*renderer);
      fRenderer = std::move(renderer);
      fRendererKind = value;
      return ts::kNoError;
    }
    case ts::kFontCreator:
      if (value == ts::kCreatorSDL) return ts::kErrorNotInitialized;
      if (value != ts::kCreatorGDIFile) return ts::kErrorInvalidEnum;
      fCreatorKind = value;
      return ts::kNoError;
    case ts::kAlign:
      if (value < ts::kAlignLeft || value > ts::kAlignBlock) return ts::kErrorInvalidEnum;
      fAlign = value;
      return ts::kNoError;
    case ts::kLineOutput:
      if (value != ts::kLineOutputImmediate) return ts::kErrorInvalidEnum;
      return ts::kNoError;
    case ts::kLineClipping:
      if (value != ts::kClipOverlap && value != ts::kClipInside) return ts::kErrorInvalidEnum;
      fClipping = value;
      return ts::kNoError;
    default:
      return ts::kErrorInvalidEnum;
  }
}

uint32_t TtsContext::GetParameter(ts::TtsEnum parameter, ts::TtsEnum& value) const {
  switch (parameter) {
    case ts::kAntiAliasing: value = fAntiAliasing; break;
    case ts::kImageFormat: value = fImageFormat; break;
    case ts::kDebugDraw: value = fDebugDraw; break;
    case ts::kRenderer: value = fRendererKind; break;
    case ts::kFontCreator: value = fCreatorKind; break;
    case ts::kAlign: value = fAlign; break;
    case ts::kLineOutput: value = fLineOutput; break;
    case ts::kLineClipping: value = fClipping; break;
    default: return ts::kErrorInvalidEnum;
  }
  return ts::kNoError;
}

uint32_t TtsContext::CreateFont(TtsFreeType& freeType, std::string_view name, int size, int style,
                                ts::TtsEnum antiAliasing, ts::TtsEnum format, ts::TtsFontID& font) {
  if (!fRenderer) return ts::kErrorNoActiveRenderer;
  if (fCreatorKind == 0) return ts::kErrorInvalidOperation;
  if (antiAliasing == 0) antiAliasing = fAntiAliasing;
  if (format == 0) format = fImageFormat;
  if (antiAliasing != ts::kAntiAliasingOff && antiAliasing != ts::kAntiAliasingOn) return ts::kErrorInvalidEnum;
  if (format != ts::kFormatRGBA8) return ts::kErrorInvalidEnum;
  try {
    std::unique_ptr<TtsFont> created;
    const uint32_t error = CreateFontFromFile(freeType, std::string(name), size, style,
                                              antiAliasing == ts::kAntiAliasingOn, *fRenderer, created);
    if (error != ts::kNoError) return error;
    font = fNextFont++;
    fCurrentFont = created.get();
    fFonts.emplace(font, std::move(created));
    return ts::kNoError;
  } catch (const std::bad_alloc&) {
    return ts::kErrorOutOfMemory;
  } catch (...) {
    return ts::kErrorUnknown;
  }
}

uint32_t TtsContext::DestroyFont(ts::TtsFontID font) {
  const auto found = fFonts.find(font);
  if (found == fFonts.end()) return ts::kErrorInvalidValue;
  // An open block still holds glyphs of its fonts.
  if (fBlock.IsOpen()) return ts::kErrorInvalidOperation;
  if (fCurrentFont == found->second.get()) fCurrentFont = nullptr;
  fFonts.erase(found);
  return ts::kNoError;
}

uint32_t TtsContext::BindFont(ts::TtsFontID font) {
  const auto found = fFonts.find(font);
  if (found == fFonts.end()) return ts::kErrorInvalidValue;
  fCurrentFont = found->second.get();
  return ts::kNoError;
}

uint32_t TtsContext::BeginBlock(int left, int top, int width, int height, uint32_t flags) {
  if (!fRenderer) return ts::kErrorNoActiveRenderer;
  if (fBlock.IsOpen()) return ts::kErrorInvalidOperation;
  fBlock.Begin(*fRenderer, TtsBlockSettings{left, top, width, height, flags, fAlign, fClipping});
  return ts::kNoError;
}

uint32_t TtsContext::TextOut(std::string_view text) {
  if (!fBlock.IsOpen()) return ts::kErrorInvalidOperation;
  if (!fCurrentFont) return ts::kErrorNoActiveFont;
  fBlock.Add(Decode(text), *fCurrentFont);
  return ts::kNoError;
}

uint32_t TtsContext::EndBlock() {
  if (!fBlock.IsOpen()) return ts::kErrorInvalidOperation;
  fBlock.End();
  return ts::kNoError;
}

uint32_t TtsContext::TextWidth(std::string_view text, int& width) {
  if (!fRenderer) return ts::kErrorNoActiveRenderer;
  if (!fCurrentFont) return ts::kErrorNoActiveFont;
  width = TtsTextBlock::Measure(Decode(text), *fCurrentFont);
  return ts::kNoError;
}

std::u16string_view TtsContext::Decode(std::string_view text) {
  // ISO 8859-1: every byte is its own character code.
  fDecoded.resize(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) fDecoded[i] = static_cast<unsigned char>(text[i]);
  return fDecoded;
}
