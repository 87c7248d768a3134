// PostProcess.h -- steps run on every new glyph image of a font.
#pragma once

#include <vector>

class TtsImage;
struct TtsChar;

class TtsPostProcessStep {
 public:
  virtual ~TtsPostProcessStep() = default;
  // May replace the image; moves the glyph's origin so that what was drawn
  // before the step stays where it was.
  virtual void Apply(TtsImage& image, TtsChar& glyph) const = 0;
};

// A blurred, tinted copy of the glyph under the glyph itself, shifted by
// (x, y) pixels (y down). The image grows by the kernel size on every side
// (more where the offset reaches further).
class TtsPostShadow final : public TtsPostProcessStep {
 public:
  // Colour components 0..1; radius in pixels (0 or less: no blur).
  TtsPostShadow(float radius, int x, int y, float red, float green, float blue, float alpha);
  void Apply(TtsImage& image, TtsChar& glyph) const override;
  // Pixels the blur reaches on each side.
  [[nodiscard]] int KernelSize() const { return fKernelSize; }

 private:
  void Blur(TtsImage& image) const;
  // One pass of the kernel along (dx, dy); pixels outside count as 0.
  void Convolve(const std::vector<float>& in, std::vector<float>& out, int width, int height, int dx, int dy) const;

  int fKernelSize = 0;
  std::vector<float> fKernel;  // 2 * fKernelSize + 1 weights summing to 1
  int fX;
  int fY;
  int fRed;
  int fGreen;
  int fBlue;
  int fAlpha;
};
