// PostProcess.cpp -- the shadow step.
#include "render/textengine/PostProcess.h"

#include <algorithm>
#include <cmath>

#include "render/textengine/Char.h"
#include "render/textengine/Image.h"

namespace {

int ToByte(float component) {
  return static_cast<int>(std::nearbyint(std::clamp(component, 0.0f, 1.0f) * 255.0f));
}

}  // namespace

TtsPostShadow::TtsPostShadow(float radius, int x, int y, float red, float green, float blue, float alpha)
    : fX(x), fY(y), fRed(ToByte(red)), fGreen(ToByte(green)), fBlue(ToByte(blue)), fAlpha(ToByte(alpha)) {
  // A Gaussian cut off at the radius rounded up; sigma half the radius keeps
  // the tails at the cut-off small.
  fKernelSize = radius > 0 && std::isfinite(radius) ? static_cast<int>(std::ceil(std::min(radius, 64.0f))) : 0;
  const float sigma = std::max(radius, 0.01f) / 2.0f;
  float sum = 0;
  for (int i = -fKernelSize; i <= fKernelSize; ++i) {
    const float weight = std::exp(-static_cast<float>(i * i) / (2.0f * sigma * sigma));
    fKernel.push_back(weight);
    sum += weight;
  }
  for (float& weight : fKernel) weight /= sum;
}

void TtsPostShadow::Apply(TtsImage& image, TtsChar& glyph) const {
  const TtsImage kept = image;
  const int k = fKernelSize;
  // The result holds the glyph at (0, 0) and the shadow at (x, y), enlarged by
  // k; in result coordinates the glyph lands at (-minX, -minY).
  const int minX = std::min(0, fX - k);
  const int minY = std::min(0, fY - k);
  const int maxX = std::max(kept.Width(), fX + kept.Width() + k);
  const int maxY = std::max(kept.Height(), fY + kept.Height() + k);
  TtsImage result(maxX - minX, maxY - minY);

  for (int y = 0; y < kept.Height(); ++y) {
    const uint8_t* source = kept.ScanLine(y);
    uint8_t* target = result.Pixel(fX - minX, fY - minY + y);
    for (int x = 0; x < kept.Width(); ++x, source += 4, target += 4) {
      target[3] = static_cast<uint8_t>(fAlpha * source[3] / 256);
    }
  }
  Blur(result);
  for (int y = 0; y < result.Height(); ++y) {
    uint8_t* pixel = result.ScanLine(y);
    for (int x = 0; x < result.Width(); ++x, pixel += 4) {
      pixel[0] = static_cast<uint8_t>(fRed);
      pixel[1] = static_cast<uint8_t>(fGreen);
      pixel[2] = static_cast<uint8_t>(fBlue);
    }
  }

  // The glyph over its shadow.
  for (int y = 0; y < kept.Height(); ++y) {
    const uint8_t* glyphPixel = kept.ScanLine(y);
    uint8_t* pixel = result.Pixel(-minX, -minY + y);
    for (int x = 0; x < kept.Width(); ++x, glyphPixel += 4, pixel += 4) {
      const float ga = glyphPixel[3] / 255.0f;
      const float sa = pixel[3] / 255.0f * (1.0f - ga);
      const float a = ga + sa;
      if (a <= 0) continue;
      for (int c = 0; c < 3; ++c) {
        pixel[c] = static_cast<uint8_t>(std::nearbyint((glyphPixel[c] * ga + pixel[c] * sa) / a));
      }
      pixel[3] = static_cast<uint8_t>(std::nearbyint(a * 255.0f));
    }
  }

  glyph.OriginX += minX;
  glyph.OriginY -= minY;
  glyph.ImageWidth = result.Width();
  glyph.ImageHeight = result.Height();
  image = std::move(result);
}

void TtsPostShadow::Blur(TtsImage& image) const {
  if (fKernelSize == 0) return;
  const int width = image.Width();
  const int height = image.Height();
  std::vector<float> alpha(static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) alpha[static_cast<std::size_t>(y) * width + x] = image.Pixel(x, y)[3];

  std::vector<float> pass(alpha.size());
  Convolve(alpha, pass, width, height, 1, 0);
  Convolve(pass, alpha, width, height, 0, 1);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const float sum = alpha[static_cast<std::size_t>(y) * width + x];
      image.Pixel(x, y)[3] = static_cast<uint8_t>(std::clamp(std::nearbyint(sum), 0.0f, 255.0f));
    }
}

void TtsPostShadow::Convolve(const std::vector<float>& in, std::vector<float>& out, int width, int height, int dx,
                             int dy) const {
  const int k = fKernelSize;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      float sum = 0;
      for (int i = -k; i <= k; ++i) {
        const int sx = x + i * dx;
        const int sy = y + i * dy;
        if (sx >= 0 && sx < width && sy >= 0 && sy < height)
          sum += in[static_cast<std::size_t>(sy) * width + sx] * fKernel[static_cast<std::size_t>(i + k)];
      }
      out[static_cast<std::size_t>(y) * width + x] = sum;
    }
}
