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

 private:
  int fWidth;
  int fHeight;
  std::unique_ptr<platform::SdlPlatform> fPlatform;
};
