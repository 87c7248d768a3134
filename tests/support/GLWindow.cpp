// GLWindow.cpp -- test window and back-buffer read-back.
#include "support/GLWindow.h"

#include <algorithm>

#include "render/draw/Draw.h"
#include "render/FrameSetup.h"

TGLWindow::TGLWindow(int width, int height) : fWidth(width), fHeight(height) {
  fPlatform = std::make_unique<platform::SdlPlatform>(
      platform::TWindowOptions{.Width = width, .Height = height, .CaptureMouse = false});
  gfx::Viewport({0, 0, width, height});
}

std::vector<uint8_t> TGLWindow::ReadPixels() const {
  const std::vector<uint8_t> bottomUp = gfx::ReadPixels({0, 0, fWidth, fHeight});
  std::vector<uint8_t> topDown(bottomUp.size());
  const std::size_t row = static_cast<std::size_t>(fWidth) * 4;
  for (int y = 0; y < fHeight; ++y)
    std::copy_n(&bottomUp[static_cast<std::size_t>(fHeight - 1 - y) * row], row, &topDown[static_cast<std::size_t>(y) * row]);
  return topDown;
}

uint32_t TGLWindow::Pixel(const std::vector<uint8_t>& rgba, int width, int x, int y) {
  const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 4;
  return (uint32_t{rgba[i]} << 16) | (uint32_t{rgba[i + 1]} << 8) | rgba[i + 2];
}

TGLWindow::TBox TGLWindow::Ink(const std::vector<uint8_t>& rgba, int x0, int y0, int x1, int y1, int threshold,
                               bool allChannels) const {
  TBox box;
  bool found = false;
  for (int y = std::max(0, y0); y < std::min(fHeight, y1); ++y)
    for (int x = std::max(0, x0); x < std::min(fWidth, x1); ++x) {
      const uint8_t* p = &rgba[(static_cast<std::size_t>(y) * fWidth + x) * 4];
      const bool lit = allChannels ? p[0] > threshold && p[1] > threshold && p[2] > threshold
                                   : p[0] > threshold || p[1] > threshold || p[2] > threshold;
      if (!lit) continue;
      if (!found) box = {x, y, x, y};
      found = true;
      box.Left = std::min(box.Left, x);
      box.Right = std::max(box.Right, x);
      box.Top = std::min(box.Top, y);
      box.Bottom = std::max(box.Bottom, y);
    }
  return box;
}

void TGLWindow::BeginOverlay() const {
  gfx::ClearColor(0, 0, 0, 0);
  gfx::Clear();
  render::SetOverlay(static_cast<float>(fWidth), static_cast<float>(fHeight));
  gfx::Enable(gfx::TCap::CullFace);
}
