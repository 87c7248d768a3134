// GlyphAtlasTest.cpp -- packing glyph images into texture pages, and the
// shadow step that enlarges every glyph image.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "render/textengine/CellAtlas.h"
#include "render/textengine/Char.h"
#include "render/textengine/Image.h"
#include "render/textengine/PostProcess.h"

namespace {

bool Overlap(const TtsGlyphPlace& a, const TtsGlyphPlace& b) {
  return a.Page == b.Page && a.X < b.X + b.Width && b.X < a.X + a.Width && a.Y < b.Y + b.Height &&
         b.Y < a.Y + a.Height;
}

void ExpectDisjointAndInside(const TtsCellAtlas& atlas, const std::vector<TtsGlyphPlace>& places) {
  for (std::size_t i = 0; i < places.size(); ++i) {
    const TtsGlyphPlace& p = places[i];
    ASSERT_GE(p.Page, 0);
    const TtsCellAtlas::TPageInfo& page = atlas.Page(p.Page);
    ASSERT_TRUE(p.X >= 0 && p.Y >= 0 && p.X + p.Width <= page.Width && p.Y + p.Height <= page.Height) << i;
    for (std::size_t j = i + 1; j < places.size(); ++j) ASSERT_FALSE(Overlap(p, places[j])) << i << " and " << j;
  }
}

TEST(CellAtlas, FillsOnePageFromTheTopLeftThenOpensAnother) {
  TtsCellAtlas atlas;
  // 30 x 30 pixels = 15 x 15 cells: 8 across and 8 down fit a page.
  std::vector<TtsGlyphPlace> places;
  for (int i = 0; i < 64; ++i) places.push_back(atlas.Allocate(30, 30));
  EXPECT_EQ(atlas.PageCount(), 1);
  EXPECT_EQ(places[0].X, 0);
  EXPECT_EQ(places[0].Y, 0);
  EXPECT_EQ(places[1].X, 30);  // first fit along the top row
  EXPECT_EQ(places[8].Y, 30);
  EXPECT_EQ(places[0].Width, 30);

  places.push_back(atlas.Allocate(30, 30));
  EXPECT_EQ(atlas.PageCount(), 2);
  EXPECT_EQ(places.back().Page, 1);

  // The right-hand strip of page 0 (8 cells) still takes narrow images.
  const TtsGlyphPlace narrow = atlas.Allocate(15, 239);
  EXPECT_EQ(narrow.Page, 0);
  EXPECT_EQ(narrow.X, 240);
  EXPECT_EQ(narrow.Y, 0);
  EXPECT_EQ(narrow.Width, 16);  // whole cells
  EXPECT_EQ(narrow.Height, 240);
  // The bottom strip (8 cell rows) takes flat ones; 9 x 9 cells fit nowhere.
  const TtsGlyphPlace flat = atlas.Allocate(256, 16);
  EXPECT_EQ(flat.Page, 0);
  EXPECT_EQ(flat.Y, 240);
  places.push_back(flat);
  EXPECT_EQ(atlas.Allocate(17, 17).Page, 1);
  places.push_back(narrow);
  ExpectDisjointAndInside(atlas, places);

  // Freed cells are found again, in page order.
  atlas.Release(places[9]);
  const TtsGlyphPlace again = atlas.Allocate(29, 29);
  EXPECT_EQ(again.Page, 0);
  EXPECT_EQ(again.X, places[9].X);
  EXPECT_EQ(again.Y, places[9].Y);
}

TEST(CellAtlas, RandomSizesNeverOverlapAcrossReleases) {
  TtsCellAtlas atlas;
  std::mt19937 random(7);
  std::uniform_int_distribution<int> size(1, 90);
  std::vector<TtsGlyphPlace> places;
  for (int round = 0; round < 3; ++round) {
    for (int i = 0; i < 400; ++i) places.push_back(atlas.Allocate(size(random), size(random)));
    ExpectDisjointAndInside(atlas, places);
    // Release every third and pack again into the gaps.
    std::vector<TtsGlyphPlace> kept;
    for (std::size_t i = 0; i < places.size(); ++i) {
      if (i % 3 == 0) atlas.Release(places[i]);
      else kept.push_back(places[i]);
    }
    places = kept;
  }
  EXPECT_GT(atlas.PageCount(), 1);
}

TEST(CellAtlas, ImagesLargerThanAPageGetAPageOfTheirOwn) {
  TtsCellAtlas atlas;
  const TtsGlyphPlace small = atlas.Allocate(10, 10);
  for (const auto& [w, h] : {std::pair{257, 20}, std::pair{20, 600}, std::pair{5000, 5000}}) {
    const TtsGlyphPlace big = atlas.Allocate(w, h);
    const TtsCellAtlas::TPageInfo& page = atlas.Page(big.Page);
    EXPECT_TRUE(page.Own);
    EXPECT_EQ(page.Width, w);
    EXPECT_EQ(page.Height, h);
    EXPECT_EQ(big.Width, w);
    EXPECT_EQ(big.Height, h);
    EXPECT_TRUE(atlas.Release(big));
    EXPECT_TRUE(atlas.Page(big.Page).Retired);
  }
  // Own pages never take other images.
  EXPECT_EQ(atlas.Allocate(10, 10).Page, small.Page);
  EXPECT_EQ(atlas.Allocate(0, 10).Page, -1);
}

// A 3 x 2 glyph of known alpha, placed 1 right of the pen and 5 above the
// baseline.
std::pair<TtsImage, TtsChar> SmallGlyph() {
  TtsImage image(3, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) {
      uint8_t* p = image.Pixel(x, y);
      p[0] = p[1] = p[2] = 255;
      p[3] = static_cast<uint8_t>(40 * (1 + x + 3 * y));
    }
  TtsChar glyph;
  glyph.OriginX = 1;
  glyph.OriginY = 5;
  return {image, glyph};
}

TEST(ShadowStep, InvisibleShadowGrowsTheImageAndKeepsTheGlyphInPlace) {
  auto [image, glyph] = SmallGlyph();
  const TtsImage original = image;
  const TtsPostShadow shadow(1.0f, 0, 0, 1, 1, 1, 0);
  const int k = shadow.KernelSize();
  ASSERT_GE(k, 1);
  shadow.Apply(image, glyph);

  EXPECT_EQ(image.Width(), 3 + 2 * k);
  EXPECT_EQ(image.Height(), 2 + 2 * k);
  EXPECT_EQ(glyph.OriginX, 1 - k);  // moved left and up by the border
  EXPECT_EQ(glyph.OriginY, 5 + k);
  for (int y = 0; y < image.Height(); ++y)
    for (int x = 0; x < image.Width(); ++x) {
      const uint8_t* p = image.Pixel(x, y);
      const bool inside = x >= k && x < k + 3 && y >= k && y < k + 2;
      EXPECT_EQ(p[3], inside ? original.Pixel(x - k, y - k)[3] : 0) << x << "," << y;
      EXPECT_EQ(p[0] + p[1] + p[2], 3 * 255) << x << "," << y;  // white, also where transparent
    }
}

TEST(ShadowStep, OffsetShadowLiesBehindAndBelowTheGlyph) {
  auto [image, glyph] = SmallGlyph();
  const TtsPostShadow shadow(1.0f, 3, 2, 0, 0, 0, 1);
  const int k = shadow.KernelSize();
  shadow.Apply(image, glyph);
  // The glyph stays at its place; the image reaches k past the shadow.
  EXPECT_EQ(glyph.OriginX, 1 + std::min(0, 3 - k));
  EXPECT_EQ(glyph.OriginY, 5 - std::min(0, 2 - k));
  EXPECT_EQ(image.Width(), 3 + 3 + k - std::min(0, 3 - k));
  const int gx = -std::min(0, 3 - k);
  const int gy = -std::min(0, 2 - k);
  // Under the glyph's bottom-right pixel: shadow; far right below: shadow
  // only, black.
  const uint8_t* behind = image.Pixel(gx + 5, gy + 3);
  EXPECT_GT(behind[3], 0);
  EXPECT_EQ(behind[0], 0);
  // The glyph's own opaque-most pixel is still white over the black shadow.
  const uint8_t* top = image.Pixel(gx + 2, gy + 1);
  EXPECT_GE(top[3], 240);
  EXPECT_GT(top[0], 200);
}

}  // namespace
