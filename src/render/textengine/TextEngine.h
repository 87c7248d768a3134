// TextEngine.h -- handle-based text engine: contexts, fonts, parameters, text
// blocks and a per-thread error code.
//
// Every operation that fails sets the calling thread's error code (a later
// failure overwrites an earlier one) and returns; nothing is thrown. GetError
// takes and clears the code. Contexts belong to the thread that binds them;
// fonts, parameters and blocks act on the thread's current context.
#pragma once

#include <cstdint>
#include <string_view>

namespace ts {

using TtsContextID = uint32_t;
using TtsFontID = uint32_t;
using TtsEnum = uint32_t;

// Parts for Init.
inline constexpr uint32_t kInitCore = 0x01;
inline constexpr uint32_t kInitSDL = 0x02;       // not built: always "not initialized"
inline constexpr uint32_t kInitSDLImage = 0x04;  // not built: always "not initialized"
inline constexpr uint32_t kInitGDI = 0x08;       // the font rasteriser (FreeType)
inline constexpr uint32_t kInitOpenGL = 0x10;    // needs a current GL context

// Parameters and their values.
inline constexpr TtsEnum kAntiAliasing = 0x11;
inline constexpr TtsEnum kAntiAliasingOff = 0x221;
inline constexpr TtsEnum kAntiAliasingOn = 0x222;
inline constexpr TtsEnum kImageFormat = 0x12;
inline constexpr TtsEnum kFormatRGBA8 = 0x232;
inline constexpr TtsEnum kDebugDraw = 0x30;  // 0 off, 1 on (outlines every glyph quad)
inline constexpr TtsEnum kRenderer = 0x50;
inline constexpr TtsEnum kRendererNull = 0x51;
inline constexpr TtsEnum kRendererOpenGL = 0x52;
inline constexpr TtsEnum kFontCreator = 0x200;
inline constexpr TtsEnum kCreatorSDL = 0x201;       // not built: "not initialized"
inline constexpr TtsEnum kCreatorGDIFile = 0x202;   // a TrueType file, rasterised by FreeType
inline constexpr TtsEnum kCreatorGDIFace = 0x203;   // not built: "invalid enum"
inline constexpr TtsEnum kAlign = 0x310;
inline constexpr TtsEnum kAlignLeft = 0x311;
inline constexpr TtsEnum kAlignCenter = 0x312;
inline constexpr TtsEnum kAlignRight = 0x313;
inline constexpr TtsEnum kAlignBlock = 0x314;  // justified
inline constexpr TtsEnum kLineOutput = 0x320;
inline constexpr TtsEnum kLineOutputImmediate = 0x321;
inline constexpr TtsEnum kLineClipping = 0x340;
inline constexpr TtsEnum kClipOverlap = 0x341;  // drawn when it overlaps the block
inline constexpr TtsEnum kClipInside = 0x342;   // drawn only when wholly inside
inline constexpr TtsEnum kCodePageLatin1 = 0x110B;

// Style bits of a font.
inline constexpr int kStyleBold = 1;
inline constexpr int kStyleItalic = 2;
inline constexpr int kStyleUnderline = 4;
inline constexpr int kStyleStrikeOut = 8;

// Block flags.
inline constexpr uint32_t kBlockCalcSize = 1;
inline constexpr uint32_t kBlockCalcHeight = 2;
inline constexpr uint32_t kBlockWordWrap = 4;

// Error codes.
inline constexpr uint32_t kNoError = 0;
inline constexpr uint32_t kErrorUnknown = 0x8000;
inline constexpr uint32_t kErrorNoActiveContext = 0x8001;
inline constexpr uint32_t kErrorNoActiveRenderer = 0x8002;
inline constexpr uint32_t kErrorNoActiveFont = 0x8003;
inline constexpr uint32_t kErrorInvalidOperation = 0x8004;
inline constexpr uint32_t kErrorInvalidEnum = 0x8005;
inline constexpr uint32_t kErrorInvalidValue = 0x8006;
inline constexpr uint32_t kErrorOutOfMemory = 0x8007;
inline constexpr uint32_t kErrorNotInitialized = 0x8008;

// Font metrics in pixels; positions are measured from the baseline, positive
// upwards.
struct TtsFontMetrics {
  int Size = 0;
  int Style = 0;
  int Ascent = 0;
  int Descent = 0;
  int ExternalLeading = 0;
  int LineHeight = 0;  // ascent + descent + external leading
  int UnderlinePosition = 0;
  int UnderlineSize = 0;
  int StrikeOutPosition = 0;
  int StrikeOutSize = 0;
  int CharSpacing = 0;
  char16_t DefaultChar = 0;  // 0: characters the font lacks are skipped
};

// Loads the parts asked for (kInit* bits). True only when every one of them
// is ready; otherwise "not initialized".
bool Init(uint32_t parts);
// Releases every context and the font rasteriser; no other thread may be
// using the engine.
void Quit();

// A new context with the default parameters; it becomes this thread's
// current one. Handles count from 1.
bool ContextCreate(TtsContextID& context);
// Releases the context's fonts and renderer (needs its GL context current
// when it used the OpenGL renderer).
void ContextDestroy(TtsContextID context);
// "invalid value" for an unknown handle, "invalid operation" when another
// thread holds the context.
bool ContextBind(TtsContextID context);

void SetParameteri(TtsEnum parameter, TtsEnum value);
[[nodiscard]] TtsEnum GetParameteri(TtsEnum parameter);

// Creates a font with the current creator (size in pixels, style bits,
// anti-aliasing and format 0 for the context's defaults) and binds it. A file
// that cannot be read is "unknown error".
bool FontCreateCreator(std::string_view name, int size, int style, TtsEnum antiAliasing, TtsEnum format,
                       TtsFontID& font);
void FontDestroy(TtsFontID font);
void FontBind(TtsFontID font);
// Metrics of the current font.
bool FontGetMetrics(TtsFontMetrics& metrics);
// Pixels added to every advance of the current font.
void FontSetCharSpacing(int spacing);

// Adds a shadow step to the current font; it applies to glyph images made
// from then on. Colour components 0..1.
void PostAddShadow(float radius, int x, int y, float red, float green, float blue, float alpha);

// A text block: text is laid out in the rectangle (pixels, y down) with the
// current alignment and drawn by the context's renderer.
void TextBeginBlock(int left, int top, int width, int height, uint32_t flags);
// Single-byte text in the context's code page; "\r", "\n" and "\r\n" break
// lines.
void TextOut(std::string_view text);
void TextEndBlock();
// Width in pixels of `text` on one line in the current font.
[[nodiscard]] int TextGetWidth(std::string_view text);

// The thread's last error code, reset to 0.
[[nodiscard]] uint32_t GetError();
// The operation that set the thread's pending error (empty when none).
[[nodiscard]] const char* GetErrorOperation();
[[nodiscard]] const char* GetErrorString(uint32_t code);

}  // namespace ts
