// VertexBufferObjectTest.cpp -- filling rules and what a buffer draws.
#include <gtest/gtest.h>

#include "render/GL.h"
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
  TVertexBufferObject vbo(window.Platform());
  const std::vector<TVertexV3F> corners = Square(8, 8, 16);
  vbo.SetSize(4, GL_V3F, GL_STATIC_DRAW);
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
  glColor3f(1, 1, 1);
  vbo.Draw(GL_QUADS);
  const std::vector<uint8_t> pixels = window.ReadPixels();
  const TGLWindow::TBox ink = window.Ink(pixels);
  EXPECT_EQ(ink.Left, 8);
  EXPECT_EQ(ink.Top, 8);
  EXPECT_EQ(ink.Right, 23);
  EXPECT_EQ(ink.Bottom, 23);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// The game's coloured formats: each draws every one of its `capacity`
// vertices with the colours laid out in the record.
TEST(VertexBufferObject, DrawsAllVerticesOfTheColouredFormats) {
  TGLWindow window(64, 64);
  window.BeginOverlay();

  TVertexBufferObject packed(window.Platform());  // two red squares from unsigned-byte colours
  packed.SetSize(8, GL_C4UB_V3F, GL_STATIC_DRAW);
  for (float x : {4.0f, 36.0f})
    for (const TVertexV3F& v : Square(x, 4, 8)) packed.Add(TVertexC4UBV3F{255, 0, 0, 255, v.x, v.y, v.z});
  packed.Finish();
  EXPECT_EQ(packed.Capacity(), 8);

  TVertexBufferObject floats(window.Platform());  // one green square from float colours
  floats.SetSize(4, GL_C3F_V3F, GL_STATIC_DRAW);
  for (const TVertexV3F& v : Square(20, 40, 8)) floats.Add(TVertexC3FV3F{0, 1, 0, v.x, v.y, v.z});
  floats.Finish();

  packed.Draw(GL_QUADS);
  floats.Draw(GL_QUADS);
  const std::vector<uint8_t> pixels = window.ReadPixels();
  EXPECT_EQ(TGLWindow::Pixel(pixels, 64, 8, 8), 0xFF0000u);
  EXPECT_EQ(TGLWindow::Pixel(pixels, 64, 40, 8), 0xFF0000u);  // the second square too
  EXPECT_EQ(TGLWindow::Pixel(pixels, 64, 24, 44), 0x00FF00u);
  EXPECT_EQ(TGLWindow::Pixel(pixels, 64, 24, 8), 0x000000u);
}

TEST(VertexBufferObject, UnsupportedFormatsSizeNothingAndTakeNoVertices) {
  TGLWindow window(64, 64);
  for (GLenum format : {GLenum{GL_T4F_V4F}, GLenum{GL_T4F_C4F_N3F_V4F}, GLenum{0x1234}}) {
    SCOPED_TRACE(format);
    EXPECT_EQ(TVertexBufferObject::VertexSize(format), 0);
    TVertexBufferObject vbo(window.Platform());
    vbo.SetSize(4, format, GL_STATIC_DRAW);
    const float vertex[16] = {};
    vbo.AddVertex(vertex);
    EXPECT_EQ(vbo.Count(), 0);
    EXPECT_THROW(vbo.Finish(), VertexBufferException);
  }
  while (glGetError() != GL_NO_ERROR) {
  }
}

}  // namespace
