// Image.h -- a glyph image: width x height pixels of red, green, blue, alpha.
#pragma once

#include <cstdint>
#include <vector>

class TtsImage {
 public:
  TtsImage() = default;
  // A cleared (all zero) image.
  TtsImage(int width, int height);

  [[nodiscard]] int Width() const { return fWidth; }
  [[nodiscard]] int Height() const { return fHeight; }
  [[nodiscard]] bool Empty() const { return fWidth == 0 || fHeight == 0; }

  // Row y (0 at the top): Width() pixels of 4 bytes.
  uint8_t* ScanLine(int y) { return fPixels.data() + Offset(0, y); }
  [[nodiscard]] const uint8_t* ScanLine(int y) const { return fPixels.data() + Offset(0, y); }
  uint8_t* Pixel(int x, int y) { return fPixels.data() + Offset(x, y); }
  [[nodiscard]] const uint8_t* Pixel(int x, int y) const { return fPixels.data() + Offset(x, y); }
  [[nodiscard]] const uint8_t* Data() const { return fPixels.data(); }

 private:
  [[nodiscard]] std::size_t Offset(int x, int y) const {
    return (static_cast<std::size_t>(y) * static_cast<std::size_t>(fWidth) + static_cast<std::size_t>(x)) * 4;
  }

  int fWidth = 0;
  int fHeight = 0;
  std::vector<uint8_t> fPixels;
};
