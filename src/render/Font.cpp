// Font.cpp -- font objects on the text engine, and the fatal checks after
// font operations.
#include "render/Font.h"

#include <cmath>

#include "render/draw/Draw.h"
#include "services/Arith.h"
#include "services/FatalError.h"
#include "services/Paths.h"
#include "services/Stream.h"

ts::TtsContextID CreateTextContext() {
  if (!ts::Init(ts::kInitCore)) FatalMessage("Initialing text engine failed.");
  if (!ts::Init(ts::kInitOpenGL)) FatalMessage("Initialing OpenGL failed.");
  if (!ts::Init(ts::kInitGDI)) FatalMessage("Initialing GDI failed.");
  ts::TtsContextID context = 0;
  ts::ContextCreate(context);
  return context;
}

TglFont::TglFont(ts::TtsContextID context, int32_t style, int32_t size, const std::string& fileName)
    : fContext(context), fStyle(style), fSize(size), fFileName(fileName) {
  ts::ContextBind(fContext);
  ts::SetParameteri(ts::kRenderer, ts::kRendererOpenGL);
  CheckTextErrors();
  ts::SetParameteri(ts::kFontCreator, ts::kCreatorGDIFile);
  CheckTextErrors();
  // The engine only knows "unknown error" for a file it cannot read: a
  // missing or unreadable font is named here, with the system's reason.
  const std::string path = NativePath(fFileName);
  try {
    (void)TFileStream::OpenRead(path);
  } catch (const EStreamError& error) {
    FatalError(std::string("Fehler beim Laden der Schrift\r\n") + error.what());
  }
  ts::FontCreateCreator(path, fSize, fStyle, 0, 0, fFont);
  CheckTextErrors();
  // White at zero alpha: invisible, but every glyph image gains a transparent
  // border, so filtering never reaches into a neighbour's cells.
  ts::PostAddShadow(1.0f, 0, 0, 1, 1, 1, 0);
}

TglFont::~TglFont() { ts::FontDestroy(fFont); }

void TglFont::SetColor(float r, float g, float b, float a) { fColor = {r, g, b, a}; }

void TglFont::Prepare(std::string_view characters) {
  const TVector4f color = fColor;
  fColor.a = 0;  // under the alpha test: nothing reaches the frame
  Print(std::string(characters), ts::kAlignLeft, 0, 0, 1e6f, static_cast<float>(Size()));
  fColor = color;
}

void TglFont::Print(const std::string& text, ts::TtsEnum align, float left, float top, float width, float height) {
  gfx::Enable(gfx::TCap::Blend);
  gfx::BlendFunc(gfx::TBlend::Alpha);
  gfx::Enable(gfx::TCap::AlphaTest);
  gfx::AlphaFunc(0.1f);
  gfx::PushMatrix();
  gfx::Color(fColor.r, fColor.g, fColor.b, fColor.a);

  ts::SetParameteri(ts::kAlign, align);
  ts::TextBeginBlock(RoundToInt32(left), RoundToInt32(top), RoundToInt32(width), RoundToInt32(height), ts::kBlockWordWrap);
  ts::FontBind(fFont);
  ts::TextOut(text);
  ts::TextEndBlock();

  gfx::BindTexture(0);
  gfx::PopMatrix();
  gfx::Disable(gfx::TCap::Blend);
  gfx::Disable(gfx::TCap::AlphaTest);
}

void TglFont::CheckTextErrors() {
  const uint32_t error = ts::GetError();
  if (error != ts::kNoError) FatalMessage(std::string("Text engine error: ") + ts::GetErrorString(error));
  const std::string glError = gfx::TakeError();
  if (!glError.empty()) FatalMessage("OpenGL error: " + glError);
}
