// VertexBufferObjectTest.cpp -- filling rules and what a buffer draws.
#include <gtest/gtest.h>

#include "render/draw/Backend.h"
#include "render/draw/Draw.h"
#include "render/VertexBufferObject.h"
#include "support/GLWindow.h"

namespace {

// Corners of an axis-aligned square, counter-clockwise on screen under the
// y-down overlay projection.
std::vector<TVertexV3F> Square(float x, float y, float size) {
  return {{x, y, 0}, {x, y + size, 0}, {x + size, y + size, 0}, {x + size, y, 0}};
}

TEST(VertexBufferObject, FillingTakesExactlyCapacityVertices) {
  TGLWindow window(64, 64);
  TVertexBufferObject vbo;
  const std::vector<TVertexV3F> corners = Square(8, 8, 16);
  vbo.SetSize(4, gfx::TVertexFormat::V3F);
  for (int i = 0; i < 3; ++i) vbo.Add(corners[static_cast<std::size_t>(i)]);
  try {
    vbo.Finish();
    FAIL() << "three of four vertices were accepted";
  } catch (const VertexBufferException& error) {
    EXPECT_STREQ(error.what(), "Weniger Vertex \xFC" "bergeben als erwartet!");
  }

  vbo.Add(corners[3]);
  vbo.Add(TVertexV3F{60, 60, 0});  // a fifth vertex: dropped
  EXPECT_EQ(vbo.Count(), 4);
  vbo.Finish();
  vbo.Add(TVertexV3F{60, 60, 0});  // after Finish: ignored
  EXPECT_EQ(vbo.Count(), 4);

  window.BeginOverlay();
  gfx::Color(1, 1, 1);
  vbo.Draw(gfx::TPrimitive::Quads);
  const std::vector<uint8_t> pixels = window.ReadPixels();
  const TGLWindow::TBox ink = window.Ink(pixels);
  EXPECT_EQ(ink.Left, 8);
  EXPECT_EQ(ink.Top, 8);
  EXPECT_EQ(ink.Right, 23);
  EXPECT_EQ(ink.Bottom, 23);
  EXPECT_EQ(gfx::TakeError(), "");
}

// The game's coloured formats: each draws every one of its `capacity`
// vertices with the colours laid out in the record.
TEST(VertexBufferObject, DrawsAllVerticesOfTheColouredFormats) {
  TGLWindow window(64, 64);
  window.BeginOverlay();

  TVertexBufferObject packed;  // two red squares from unsigned-byte colours
  packed.SetSize(8, gfx::TVertexFormat::C4UB_V3F);
  for (float x : {4.0f, 36.0f})
    for (const TVertexV3F& v : Square(x, 4, 8)) packed.Add(TVertexC4UBV3F{255, 0, 0, 255, v.x, v.y, v.z});
  packed.Finish();
  EXPECT_EQ(packed.Capacity(), 8);

  TVertexBufferObject floats;  // one green square from float colours
  floats.SetSize(4, gfx::TVertexFormat::C3F_V3F);
  for (const TVertexV3F& v : Square(20, 40, 8)) floats.Add(TVertexC3FV3F{0, 1, 0, v.x, v.y, v.z});
  floats.Finish();

  packed.Draw(gfx::TPrimitive::Quads);
  floats.Draw(gfx::TPrimitive::Quads);
  const std::vector<uint8_t> pixels = window.ReadPixels();
  EXPECT_EQ(TGLWindow::Pixel(pixels, 64, 8, 8), 0xFF0000u);
  EXPECT_EQ(TGLWindow::Pixel(pixels, 64, 40, 8), 0xFF0000u);  // the second square too
  EXPECT_EQ(TGLWindow::Pixel(pixels, 64, 24, 44), 0x00FF00u);
  EXPECT_EQ(TGLWindow::Pixel(pixels, 64, 24, 8), 0x000000u);
}

// A long strip drawn with only what is in view: the blocks wholly outside
// are left out, but a segment that leaves a drawn block for one left out
// still crosses the view, and the same pixels are lit as by the whole strip.
TEST(VertexBufferObject, DrawingWhatIsInViewLeavesOutOnlyWhatCannotShow) {
  TGLWindow window(64, 64);
  TVertexBufferObject strip;
  constexpr int kCount = 4096;
  strip.SetSize(kCount, gfx::TVertexFormat::V3F);
  for (int i = 0; i < kCount; ++i) {
    const auto wiggle = static_cast<float>(i % 7);
    if (i < 64)
      strip.Add(TVertexV3F{-200, 32 - wiggle, 0});  // left of the view; its last goes across it
    else if (i < 4000)
      strip.Add(TVertexV3F{200 + wiggle, 32, 0});  // right of it
    else
      strip.Add(TVertexV3F{40 + wiggle, 50 + wiggle, 0});  // back into it, at the bottom
  }
  strip.Finish();

  window.BeginOverlay();
  gfx::Color(1, 1, 1);
  strip.Draw(gfx::TPrimitive::LineStrip);
  const std::vector<uint8_t> whole = window.ReadPixels();
  window.BeginOverlay();
  gfx::Color(1, 1, 1);
  const int32_t drawn = strip.DrawVisible(gfx::TPrimitive::LineStrip);
  const std::vector<uint8_t> inView = window.ReadPixels();

  EXPECT_LT(drawn, kCount / 10);
  EXPECT_TRUE(inView == whole);
  const TGLWindow::TBox across = window.Ink(inView, 0, 28, 64, 36);
  EXPECT_EQ(across.Left, 0);
  EXPECT_EQ(across.Right, 63);
  EXPECT_FALSE(window.Ink(inView, 30, 45, 64, 64).Empty());
}

// A stage loaded again fills its tube anew, in the buffer it has: with as
// many vertices the refill shows in later draws only, not in one already
// waiting in the frame; with another count the buffer is made anew.
TEST(VertexBufferObject, RefillingChangesOnlyTheDrawsThatFollow) {
  TGLWindow window(64, 64);
  for (const render::TBackendKind kind : {render::TBackendKind::Shader, render::TBackendKind::FixedFunction}) {
    render::SelectBackend(kind);
    SCOPED_TRACE(gfx::BackendName());
    window.BeginOverlay();
    gfx::Color(1, 1, 1);
    TVertexBufferObject vbo;
    auto fill = [&](std::vector<TVertexV3F> corners) {
      vbo.SetSize(static_cast<int32_t>(corners.size()), gfx::TVertexFormat::V3F);
      for (const TVertexV3F& v : corners) vbo.Add(v);
      vbo.Finish();
      vbo.Draw(gfx::TPrimitive::Quads);
    };
    fill(Square(4, 4, 8));
    fill(Square(36, 4, 8));
    std::vector<TVertexV3F> two = Square(4, 40, 8);
    for (const TVertexV3F& v : Square(36, 40, 8)) two.push_back(v);
    fill(two);
    const std::vector<uint8_t> pixels = window.ReadPixels();
    for (const auto& [x, y] : {std::pair{8, 8}, {40, 8}, {8, 44}, {40, 44}})
      EXPECT_EQ(TGLWindow::Pixel(pixels, 64, x, y), 0xFFFFFFu) << x << "," << y;
    EXPECT_EQ(gfx::TakeError(), "");
  }
  render::SelectBackend(render::TBackendKind::Auto);
}

}  // namespace
