// Font.h -- the game's text drawing: one TrueType file at one pixel size,
// printed as an aligned block in the current pixel-unit projection.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "render/textengine/TextEngine.h"
#include "services/Types.h"

// Starts the text engine with its OpenGL renderer and font rasteriser and
// returns a new context. Needs a current GL context. On failure it shows
// "Initialing text engine failed.", "Initialing OpenGL failed." or
// "Initialing GDI failed." in a plain message box and ends the program.
ts::TtsContextID CreateTextContext();

class TglFont {
 public:
  // Binds `context` and creates the font from `fileName` (backslashes allowed)
  // at `size` pixels with the style bits; colour white. Any text-engine or
  // pending OpenGL error ends the program (see CheckTextErrors).
  TglFont(ts::TtsContextID context, int32_t style, int32_t size, const std::string& fileName);
  ~TglFont();
  TglFont(const TglFont&) = delete;
  TglFont& operator=(const TglFont&) = delete;

  // Colour of later Print calls, components 0..1.
  void SetColor(float r, float g, float b, float a);
  // Draws `text` (Windows-1252 bytes) in the block left, top, width x height
  // (pixels, rounded halves to even), wrapping words at the block width, with
  // a text-engine alignment value (ts::kAlignLeft ... ts::kAlignBlock).
  // Blending and the alpha test are on while drawing; the depth test is left
  // to the caller. Text-engine errors stay pending until the next check.
  // Makes the glyphs of `characters` now (drawing them invisibly), so that
  // their first appearance costs no frame the time of rasterising them.
  void Prepare(std::string_view characters);
  void Print(const std::string& text, ts::TtsEnum align, float left, float top, float width, float height);

  // Ends the program with "Text engine error: " + the engine's text when the
  // engine has an error pending, else with "OpenGL error: " + GLU's text when
  // OpenGL has one. Clears the engine's error.
  static void CheckTextErrors();

  [[nodiscard]] int32_t Size() const { return fSize; }
  [[nodiscard]] int32_t Style() const { return fStyle; }
  [[nodiscard]] const std::string& FileName() const { return fFileName; }
  [[nodiscard]] const TVector4f& Color() const { return fColor; }

 private:
  ts::TtsContextID fContext;
  int32_t fStyle;
  int32_t fSize;
  std::string fFileName;
  TVector4f fColor{1, 1, 1, 1};
  ts::TtsFontID fFont = 0;
};
