// Image.cpp -- glyph image storage.
#include "render/textengine/Image.h"

TtsImage::TtsImage(int width, int height)
    : fWidth(width > 0 ? width : 0),
      fHeight(height > 0 ? height : 0),
      fPixels(static_cast<std::size_t>(fWidth) * static_cast<std::size_t>(fHeight) * 4, 0) {}
