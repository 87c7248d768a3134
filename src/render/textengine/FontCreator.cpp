// FontCreator.cpp -- a face from a file, sized and measured.
#include "render/textengine/FontCreator.h"

#include <algorithm>
#include <cmath>

#include "render/textengine/Font.h"
#include "render/textengine/FreeType.h"

#include FT_TRUETYPE_TABLES_H

namespace {

// Font units to whole pixels at the face's current size.
int ScaleY(FT_Face face, FT_Long units) {
  return static_cast<int>((FT_MulFix(units, face->size->metrics.y_scale) + 32) >> 6);
}

ts::TtsFontMetrics Measure(FT_Face face, int size, int style) {
  ts::TtsFontMetrics m;
  m.Size = size;
  m.Style = style;
  const FT_Size_Metrics& sm = face->size->metrics;
  m.Ascent = static_cast<int>((sm.ascender + 63) >> 6);
  m.Descent = static_cast<int>((-sm.descender + 63) >> 6);
  m.ExternalLeading = std::max(0, static_cast<int>((sm.height + 32) >> 6) - m.Ascent - m.Descent);
  m.LineHeight = m.Ascent + m.Descent + m.ExternalLeading;

  m.UnderlinePosition = ScaleY(face, face->underline_position);
  m.UnderlineSize = std::max(1, ScaleY(face, face->underline_thickness));
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  if (os2 && os2->version != 0xFFFF) {
    m.StrikeOutPosition = ScaleY(face, os2->yStrikeoutPosition);
    m.StrikeOutSize = std::max(1, ScaleY(face, os2->yStrikeoutSize));
    // The font's own choice for characters it lacks (from version 2 on).
    if (os2->version >= 2 && os2->usDefaultChar != 0 && FT_Get_Char_Index(face, os2->usDefaultChar) != 0)
      m.DefaultChar = static_cast<char16_t>(os2->usDefaultChar);
  } else {
    m.StrikeOutPosition = m.Ascent / 3;
    m.StrikeOutSize = m.UnderlineSize;
  }
  return m;
}

}  // namespace

uint32_t CreateFontFromFile(TtsFreeType& freeType, const std::string& path, int size, int style, bool antiAliasing,
                            TtsRenderer& renderer, std::unique_ptr<TtsFont>& font) {
  if (size < 1) return ts::kErrorInvalidValue;
  TFacePtr face;
  const FT_Error error = freeType.OpenFace(path, face);
  if (error == FT_Err_Out_Of_Memory) return ts::kErrorOutOfMemory;
  if (error != 0) return ts::kErrorUnknown;
  if (!FT_IS_SCALABLE(face.get())) return ts::kErrorUnknown;
  FT_Select_Charmap(face.get(), FT_ENCODING_UNICODE);
  if (FT_Set_Pixel_Sizes(face.get(), 0, static_cast<FT_UInt>(size)) != 0) return ts::kErrorUnknown;
  const ts::TtsFontMetrics metrics = Measure(face.get(), size, style);
  font = std::make_unique<TtsFont>(std::move(face), metrics, antiAliasing, renderer);
  return ts::kNoError;
}
