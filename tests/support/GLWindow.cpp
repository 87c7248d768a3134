// GLWindow.cpp -- test window and back-buffer read-back.
#include "support/GLWindow.h"

#include <algorithm>

#include "render/GL.h"

TGLWindow::TGLWindow(int width, int height) : fWidth(width), fHeight(height) {
  platform::TWindowOptions options;
  options.Width = width;
  options.Height = height;
  options.CaptureMouse = false;
  fPlatform = std::make_unique<platform::SdlPlatform>(options);
  glViewport(0, 0, width, height);
}

std::vector<uint8_t> TGLWindow::ReadPixels() const {
  std::vector<uint8_t> bottomUp(static_cast<std::size_t>(fWidth) * fHeight * 4);
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, fWidth, fHeight, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
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
