// GLWindow.h -- a real window with a GL context for tests that draw.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/SdlPlatform.h"

class TGLWindow {
 public:
  TGLWindow(int width = 640, int height = 480);
  platform::SdlPlatform& Platform() { return *fPlatform; }
  int Width() const { return fWidth; }
  int Height() const { return fHeight; }

  // RGBA of the back buffer, rows from the top.
  std::vector<uint8_t> ReadPixels() const;
  // One pixel, y from the top: 0xRRGGBB.
  static uint32_t Pixel(const std::vector<uint8_t>& rgba, int width, int x, int y);

  // Bounding box of the pixels brighter than `threshold` in any channel (in
  // every channel with `allChannels`: white and grey only), in the rectangle
  // [x0, x1) x [y0, y1); Empty when there is none.
  struct TBox {
    int Left = 0, Top = 0, Right = -1, Bottom = -1;  // inclusive
    [[nodiscard]] bool Empty() const { return Right < Left; }
  };
  TBox Ink(const std::vector<uint8_t>& rgba, int x0, int y0, int x1, int y1, int threshold = 64,
           bool allChannels = false) const;
  TBox Ink(const std::vector<uint8_t>& rgba) const { return Ink(rgba, 0, 0, fWidth, fHeight); }
  // A y-down pixel projection as the game's overlays use, cleared to black,
  // with back faces culled.
  void BeginOverlay() const;

 private:
  int fWidth;
  int fHeight;
  std::unique_ptr<platform::SdlPlatform> fPlatform;
};
