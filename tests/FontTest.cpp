// FontTest.cpp -- font objects drawing text blocks, read back from the screen:
// colour, alignment, wrapping, clipping, justification, and the fatal checks.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/Dialog.h"
#include "render/Font.h"
#include "render/draw/Draw.h"
#include "render/draw/GL.h"
#include "support/GLWindow.h"

namespace {

const std::string kMono = std::string(RV_BIN_DIR) + "/data/lucon.ttf";

// A window with the game's overlay projection and a text context of its own.
class FontTest : public testing::Test {
 protected:
  FontTest() : fWindow(640, 480) {
    fContext = CreateTextContext();
    fWindow.BeginOverlay();
  }
  ~FontTest() override { ts::ContextDestroy(fContext); }

  std::unique_ptr<TglFont> Font(int size, const std::string& file = kMono) {
    return std::make_unique<TglFont>(fContext, 0, size, file);
  }
  // Ink of the whole window after drawing.
  TGLWindow::TBox Ink() { return fWindow.Ink(fWindow.ReadPixels()); }
  TGLWindow::TBox InkRows(int y0, int y1) { return fWindow.Ink(fWindow.ReadPixels(), 0, y0, fWindow.Width(), y1); }
  int Width(const std::string& text) { return ts::TextGetWidth(text); }
  ts::TtsFontMetrics Metrics() {
    ts::TtsFontMetrics metrics;
    ts::FontGetMetrics(metrics);
    return metrics;
  }

  TGLWindow fWindow;
  ts::TtsContextID fContext = 0;
};

TEST_F(FontTest, PrintsWhiteUntilAColourIsSet) {
  auto font = Font(24);
  font->Print("HHH", ts::kAlignLeft, 10, 10, 300, 24);
  std::vector<uint8_t> pixels = fWindow.ReadPixels();
  const TGLWindow::TBox box = fWindow.Ink(pixels);
  ASSERT_FALSE(box.Empty());
  uint32_t brightest = 0;
  for (int y = box.Top; y <= box.Bottom; ++y)
    for (int x = box.Left; x <= box.Right; ++x) {
      const uint32_t pixel = TGLWindow::Pixel(pixels, fWindow.Width(), x, y);
      EXPECT_EQ(pixel >> 16, pixel & 0xFF) << "not grey at " << x << "," << y;
      brightest = std::max(brightest, pixel);
    }
  EXPECT_EQ(brightest, 0xFFFFFFu);  // the stems are fully covered

  fWindow.BeginOverlay();
  font->SetColor(1, 0, 0, 1);
  font->Print("HHH", ts::kAlignLeft, 10, 10, 300, 24);
  pixels = fWindow.ReadPixels();
  for (int y = box.Top; y <= box.Bottom; ++y)
    for (int x = box.Left; x <= box.Right; ++x)
      EXPECT_EQ(TGLWindow::Pixel(pixels, fWindow.Width(), x, y) & 0xFFFF, 0u);
  EXPECT_EQ(fWindow.Ink(pixels).Right, box.Right);
}

// The FPS overlay's block: right-aligned, as wide as the screen, one font
// size high at the bottom.
TEST_F(FontTest, RightAlignedScreenWideBlockEndsAtTheRightEdge) {
  auto font = Font(18);
  const int width = fWindow.Width();
  const int height = fWindow.Height();
  const int textWidth = Width("60 FPS");
  font->Print("60 FPS", ts::kAlignRight, 0, static_cast<float>(height - 18), static_cast<float>(width), 18);
  const TGLWindow::TBox right = Ink();
  ASSERT_FALSE(right.Empty());
  EXPECT_GE(right.Right, width - 4);
  EXPECT_LT(right.Right, width);
  EXPECT_GE(right.Top, height - 18);
  EXPECT_LE(right.Left, width - textWidth + 4);

  // Exactly where a left-aligned block at width - text width puts it.
  fWindow.BeginOverlay();
  font->Print("60 FPS", ts::kAlignLeft, static_cast<float>(width - textWidth), static_cast<float>(height - 18), 400,
              18);
  const TGLWindow::TBox left = Ink();
  EXPECT_EQ(left.Left, right.Left);
  EXPECT_EQ(left.Right, right.Right);
}

// Centre: (block width / 2) - (line width / 2), each half truncated.
TEST_F(FontTest, CentreOffsetTruncatesEachHalf) {
  auto font = Font(15);
  struct TCase {
    int BlockWidth;
    const char* Text;
  };
  for (const TCase& c : {TCase{300, "MMM"}, TCase{301, "MM"}, TCase{301, "MMM"}}) {
    SCOPED_TRACE(std::to_string(c.BlockWidth) + " " + c.Text);
    const int lineWidth = Width(c.Text);
    fWindow.BeginOverlay();
    font->Print(c.Text, ts::kAlignLeft, 20, 20, static_cast<float>(c.BlockWidth), 40);
    const int leftInk = Ink().Left;
    fWindow.BeginOverlay();
    font->Print(c.Text, ts::kAlignCenter, 20, 20, static_cast<float>(c.BlockWidth), 40);
    EXPECT_EQ(Ink().Left - leftInk, c.BlockWidth / 2 - lineWidth / 2) << "line width " << lineWidth;
  }
  // The cases above need an odd line width to tell truncation from rounding.
  EXPECT_EQ(Width("MMM") % 2, 1);
}

TEST_F(FontTest, WrapsWordsAtTheBlockWidth) {
  auto font = Font(20);
  const int lineHeight = Metrics().LineHeight;
  const int two = Width("AAA BBB");
  const auto band = [&](int line) { return InkRows(10 + line * lineHeight, 10 + (line + 1) * lineHeight); };

  // Exactly as wide as two words: they share the first line.
  font->Print("CCC", ts::kAlignLeft, 10, 10, 600, 200);
  const TGLWindow::TBox alone = band(0);
  fWindow.BeginOverlay();
  font->Print("AAA BBB CCC", ts::kAlignLeft, 10, 10, static_cast<float>(two), 200);
  const TGLWindow::TBox first = band(0);
  const TGLWindow::TBox second = band(1);
  EXPECT_LE(first.Right, 10 + two);
  EXPECT_GT(first.Right, 10 + Width("AAA "));
  EXPECT_EQ(second.Left, alone.Left);  // from the block's left edge
  EXPECT_EQ(second.Right, alone.Right);
  EXPECT_TRUE(band(2).Empty());

  // One pixel narrower: the second word wraps too.
  fWindow.BeginOverlay();
  font->Print("AAA BBB CCC", ts::kAlignLeft, 10, 10, static_cast<float>(two - 1), 200);
  EXPECT_LE(band(0).Right, 10 + Width("AAA"));
  EXPECT_FALSE(band(2).Empty());

  // A first word wider than the block stays on its line; the next one wraps.
  fWindow.BeginOverlay();
  font->Print("WWWWWWWW XX", ts::kAlignLeft, 10, 10, 30, 200);
  EXPECT_GT(band(0).Right, 10 + Width("WWWWWWW"));
  EXPECT_LE(band(1).Right, 10 + Width("XX"));
  EXPECT_TRUE(band(2).Empty());

  // Line breaks end lines whatever the width.
  fWindow.BeginOverlay();
  font->Print("A\r\nB\nC", ts::kAlignLeft, 10, 10, 600, 200);
  for (int line = 0; line < 3; ++line) EXPECT_FALSE(band(line).Empty()) << line;
  EXPECT_TRUE(band(3).Empty());
}

TEST_F(FontTest, LinesOutsideTheBlockAreNotDrawn) {
  auto font = Font(20);
  const int lineHeight = Metrics().LineHeight;
  const auto band = [&](int line) { return InkRows(10 + line * lineHeight, 10 + (line + 1) * lineHeight); };

  // One and a half lines high: the second line overlaps, the third does not.
  font->Print("AAA\nBBB\nCCC", ts::kAlignLeft, 10, 10, 600, static_cast<float>(lineHeight + lineHeight / 2));
  EXPECT_FALSE(band(0).Empty());
  EXPECT_FALSE(band(1).Empty());
  EXPECT_TRUE(band(2).Empty());

  // Drawn only when wholly inside: the second line goes too.
  fWindow.BeginOverlay();
  ts::SetParameteri(ts::kLineClipping, ts::kClipInside);
  font->Print("AAA\nBBB\nCCC", ts::kAlignLeft, 10, 10, 600, static_cast<float>(lineHeight + lineHeight / 2));
  ts::SetParameteri(ts::kLineClipping, ts::kClipOverlap);
  EXPECT_FALSE(band(0).Empty());
  EXPECT_TRUE(band(1).Empty());
}

TEST_F(FontTest, JustifiesOnlyLinesEndedByWrapping) {
  auto font = Font(20);
  const int lineHeight = Metrics().LineHeight;
  const int blockWidth = Width("AAA BBB CCC") + Width("D") / 2;  // "DDD" does not fit
  const int free = blockWidth - Width("AAA BBB CCC");
  const auto band = [&](int line) { return InkRows(10 + line * lineHeight, 10 + (line + 1) * lineHeight); };
  const auto print = [&](const char* text, ts::TtsEnum align) {
    fWindow.BeginOverlay();
    font->Print(text, align, 10, 10, static_cast<float>(blockWidth), 200);
    return std::make_pair(band(0), band(1));
  };

  const auto [leftFirst, leftSecond] = print("AAA BBB CCC DDD", ts::kAlignLeft);
  const auto [wrappedFirst, wrappedSecond] = print("AAA BBB CCC DDD", ts::kAlignBlock);
  EXPECT_EQ(wrappedFirst.Left, leftFirst.Left);
  EXPECT_EQ(wrappedFirst.Right, leftFirst.Right + free);  // the last word meets the right edge
  EXPECT_EQ(wrappedSecond.Left, leftSecond.Left);          // the last line is not stretched
  EXPECT_EQ(wrappedSecond.Right, leftSecond.Right);

  // A line ended by a line break keeps its left alignment.
  const auto [brokenFirst, brokenSecond] = print("AAA BBB\nCCC", ts::kAlignBlock);
  const auto [plainFirst, plainSecond] = print("AAA BBB\nCCC", ts::kAlignLeft);
  EXPECT_EQ(brokenFirst.Right, plainFirst.Right);
  EXPECT_EQ(brokenSecond.Right, plainSecond.Right);
}

TEST_F(FontTest, GlyphsLandAlikeInEveryTexture) {
  // Enough large glyphs to fill several atlas textures; the same glyph
  // printed from a late texture and from a fresh font's texture matches.
  auto many = Font(64);
  std::string all;
  for (int c = 0x21; c <= 0xFF; ++c)
    if (c < 0x7F || c > 0xA0) all += static_cast<char>(c);
  many->Print(all, ts::kAlignLeft, 0, 0, 640, 480);
  fWindow.BeginOverlay();
  many->Print("\xFF\xC4", ts::kAlignLeft, 100, 100, 400, 100);
  const std::vector<uint8_t> late = fWindow.ReadPixels();

  auto fresh = Font(64);
  fWindow.BeginOverlay();
  fresh->Print("\xFF\xC4", ts::kAlignLeft, 100, 100, 400, 100);
  const std::vector<uint8_t> first = fWindow.ReadPixels();
  EXPECT_FALSE(fWindow.Ink(first).Empty());
  EXPECT_TRUE(late == first);
}

TEST_F(FontTest, GlyphLargerThanATextureIsDrawnWhole) {
  auto huge = Font(400);
  huge->Print("\xC4", ts::kAlignLeft, 10, 60, 600, 420);
  const TGLWindow::TBox box = Ink();
  ASSERT_FALSE(box.Empty());
  EXPECT_GT(box.Bottom - box.Top + 1, 256);
  EXPECT_EQ(gfx::TakeError(), "");
}

class FontErrorDeathTest : public FontTest {};

TEST_F(FontErrorDeathTest, PendingErrorsEndTheProgramAtTheNextFontCreation) {
  // The message goes to stderr only: no box waits for a click.
  EXPECT_EXIT(
      {
        platform::EnableDialogBoxes(false);
        glEnable(0x4711);  // leaves GL_INVALID_ENUM pending
        Font(20);
      },
      testing::ExitedWithCode(1), "Riftvaulter: OpenGL error: invalid enumerant");
  EXPECT_EXIT(
      {
        platform::EnableDialogBoxes(false);
        Font(20, kMono + ".missing");
      },
      testing::ExitedWithCode(1), "Fehler: Fehler beim Laden der Schrift\r\nDatei kann nicht ge.*ffnet werden "
                                  "'.*lucon\\.ttf\\.missing': No such file or directory");
  EXPECT_EXIT(
      {
        platform::EnableDialogBoxes(false);
        ts::ContextBind(fContext + 100);  // stays pending; the font binds the right context
        Font(20);
      },
      testing::ExitedWithCode(1), "Text engine error: invalid value");
}

TEST(FontDeathTest, TextContextNeedsAnOpenGLContext) {
  EXPECT_EXIT(CreateTextContext(), testing::ExitedWithCode(1), "Riftvaulter: Initialing OpenGL failed.");
}

}  // namespace
