// TextEngineTest.cpp -- contexts, parameters and error codes of the text
// engine, with the null renderer (no GL needed).
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "render/textengine/TextEngine.h"

namespace {

const std::string kMono = std::string(RV_BIN_DIR) + "/data/lucon.ttf";

// A context of its own with the null renderer and the file creator, bound
// to this thread; destroyed at the end.
struct TNullContext {
  TNullContext() {
    EXPECT_TRUE(ts::Init(ts::kInitCore | ts::kInitGDI));
    EXPECT_TRUE(ts::ContextCreate(ID));
    ts::SetParameteri(ts::kRenderer, ts::kRendererNull);
    ts::SetParameteri(ts::kFontCreator, ts::kCreatorGDIFile);
    EXPECT_EQ(ts::GetError(), ts::kNoError);
  }
  ~TNullContext() { ts::ContextDestroy(ID); }
  ts::TtsContextID ID = 0;
};

TEST(TextEngine, ErrorStringsAndResetOnRead) {
  const std::pair<uint32_t, const char*> table[] = {
      {0, "no error"},
      {0x8000, "unknown error"},
      {0x8001, "no active context"},
      {0x8002, "no active renderer"},
      {0x8003, "no active font"},
      {0x8004, "invalid operation"},
      {0x8005, "invalid enum"},
      {0x8006, "invalid value"},
      {0x8007, "out of memory"},
      {0x8008, "not initialized"},
  };
  for (const auto& [code, text] : table) EXPECT_STREQ(ts::GetErrorString(code), text) << code;

  TNullContext context;
  ts::ContextBind(987654);
  ts::SetParameteri(0x9999, 1);  // a later failure overwrites the earlier one
  EXPECT_STREQ(ts::GetErrorOperation(), "SetParameter");
  EXPECT_EQ(ts::GetError(), ts::kErrorInvalidEnum);
  EXPECT_EQ(ts::GetError(), ts::kNoError);
}

TEST(TextEngine, ContextsCountFromOneAndBelongToTheirThread) {
  TNullContext first;
  ts::TtsContextID second = 0;
  ASSERT_TRUE(ts::ContextCreate(second));  // now current: `first` is free
  EXPECT_GE(first.ID, 1u);
  EXPECT_EQ(second, first.ID + 1);

  EXPECT_FALSE(ts::ContextBind(987654));
  EXPECT_EQ(ts::GetError(), ts::kErrorInvalidValue);
  EXPECT_TRUE(ts::ContextBind(first.ID));  // releases `second`

  uint32_t otherNoContext = 0;
  uint32_t otherBind = 0;
  uint32_t otherFreeBind = 0;
  uint32_t otherDestroy = 0;
  std::thread other([&] {
    ts::SetParameteri(ts::kAlign, ts::kAlignRight);
    otherNoContext = ts::GetError();
    ts::ContextBind(first.ID);  // held by the main thread
    otherBind = ts::GetError();
    ts::ContextBind(second);
    otherFreeBind = ts::GetError();
    ts::ContextDestroy(second);
    otherDestroy = ts::GetError();
    ts::ContextBind(987654);  // errors are per thread
  });
  other.join();
  EXPECT_EQ(otherNoContext, ts::kErrorNoActiveContext);
  EXPECT_EQ(otherBind, ts::kErrorInvalidOperation);
  EXPECT_EQ(otherFreeBind, ts::kNoError);
  EXPECT_EQ(otherDestroy, ts::kNoError);
  EXPECT_EQ(ts::GetError(), ts::kNoError);
  EXPECT_FALSE(ts::ContextBind(second));
  EXPECT_EQ(ts::GetError(), ts::kErrorInvalidValue);
}

TEST(TextEngine, ParametersDefaultsAndRejectedValues) {
  TNullContext context;
  EXPECT_EQ(ts::GetParameteri(ts::kAntiAliasing), ts::kAntiAliasingOn);
  EXPECT_EQ(ts::GetParameteri(ts::kImageFormat), ts::kFormatRGBA8);
  EXPECT_EQ(ts::GetParameteri(ts::kAlign), ts::kAlignLeft);
  EXPECT_EQ(ts::GetParameteri(ts::kLineOutput), ts::kLineOutputImmediate);
  EXPECT_EQ(ts::GetParameteri(ts::kLineClipping), ts::kClipOverlap);
  EXPECT_EQ(ts::GetError(), ts::kNoError);

  ts::SetParameteri(ts::kAlign, ts::kAlignBlock);
  EXPECT_EQ(ts::GetParameteri(ts::kAlign), ts::kAlignBlock);

  const std::tuple<ts::TtsEnum, ts::TtsEnum, uint32_t> rejected[] = {
      {ts::kAlign, 0x315, ts::kErrorInvalidEnum},
      {ts::kAntiAliasing, 0x223, ts::kErrorInvalidEnum},
      {ts::kImageFormat, 0x231, ts::kErrorInvalidEnum},
      {ts::kLineClipping, 0x343, ts::kErrorInvalidEnum},
      {ts::kRenderer, 0x53, ts::kErrorInvalidEnum},
      {ts::kFontCreator, ts::kCreatorSDL, ts::kErrorNotInitialized},
      {0x4711, 0, ts::kErrorInvalidEnum},
  };
  for (const auto& [parameter, value, error] : rejected) {
    ts::SetParameteri(parameter, value);
    EXPECT_EQ(ts::GetError(), error) << std::hex << parameter << " = " << value;
  }
  EXPECT_EQ(ts::GetParameteri(ts::kAlign), ts::kAlignBlock);  // unchanged by the rejects
}

TEST(TextEngine, FontAndBlockErrors) {
  TNullContext context;
  ts::TtsFontID font = 0;

  ts::PostAddShadow(1, 0, 0, 1, 1, 1, 0);
  EXPECT_EQ(ts::GetError(), ts::kErrorNoActiveFont);
  EXPECT_FALSE(ts::FontCreateCreator(kMono + ".missing", 20, 0, 0, 0, font));
  EXPECT_EQ(ts::GetError(), ts::kErrorUnknown);
  EXPECT_FALSE(ts::FontCreateCreator(std::string(RV_BIN_DIR) + "/riftvaulter", 20, 0, 0, 0, font));
  EXPECT_EQ(ts::GetError(), ts::kErrorUnknown);  // not a font
  EXPECT_FALSE(ts::FontCreateCreator(kMono, 0, 0, 0, 0, font));
  EXPECT_EQ(ts::GetError(), ts::kErrorInvalidValue);

  ASSERT_TRUE(ts::FontCreateCreator(kMono, 20, 0, 0, 0, font));
  ts::FontBind(font + 100);
  EXPECT_EQ(ts::GetError(), ts::kErrorInvalidValue);

  ts::TextOut("no block");
  EXPECT_EQ(ts::GetError(), ts::kErrorInvalidOperation);
  ts::TextEndBlock();
  EXPECT_EQ(ts::GetError(), ts::kErrorInvalidOperation);
  ts::TextBeginBlock(0, 0, 100, 100, ts::kBlockWordWrap);
  ts::TextBeginBlock(0, 0, 100, 100, ts::kBlockWordWrap);
  EXPECT_EQ(ts::GetError(), ts::kErrorInvalidOperation);
  ts::TextOut("Gr\xFC\xDF" "e\r\nzweite Zeile");
  ts::TextEndBlock();
  EXPECT_EQ(ts::GetError(), ts::kNoError);

  ts::FontDestroy(font);
  ts::TextBeginBlock(0, 0, 100, 100, 0);
  ts::TextOut("destroyed");
  EXPECT_EQ(ts::GetError(), ts::kErrorNoActiveFont);
  ts::TextEndBlock();
  ts::FontDestroy(font);
  EXPECT_EQ(ts::GetError(), ts::kErrorInvalidValue);
}

TEST(TextEngineDeathTest, OpenGLRendererNeedsOpenGL) {
  // In a process of its own: no GL context was ever current there.
  EXPECT_EXIT(
      {
        TNullContext context;
        const bool initialised = ts::Init(ts::kInitOpenGL);
        const uint32_t initError = ts::GetError();
        ts::SetParameteri(ts::kRenderer, ts::kRendererOpenGL);
        const uint32_t rendererError = ts::GetError();
        std::exit(!initialised && initError == ts::kErrorNotInitialized &&
                          rendererError == ts::kErrorNotInitialized
                      ? 0
                      : 1);
      },
      testing::ExitedWithCode(0), "");
}

TEST(TextEngine, MetricsOfASizedFont) {
  TNullContext context;
  ts::TtsFontID font = 0;
  ASSERT_TRUE(ts::FontCreateCreator(kMono, 20, 0, 0, 0, font));
  ts::TtsFontMetrics metrics;
  ASSERT_TRUE(ts::FontGetMetrics(metrics));
  EXPECT_EQ(metrics.Size, 20);
  // A face rasterised at 20 pixels per em: its cell is a little taller.
  EXPECT_GE(metrics.Ascent + metrics.Descent, 20);
  EXPECT_LE(metrics.Ascent + metrics.Descent, 26);
  EXPECT_EQ(metrics.LineHeight, metrics.Ascent + metrics.Descent + metrics.ExternalLeading);
  EXPECT_GE(metrics.UnderlineSize, 1);
  EXPECT_LT(metrics.UnderlinePosition, 0);  // below the baseline

  // Monospace: every character advances alike; spacing adds to each.
  const int one = ts::TextGetWidth("M");
  EXPECT_GT(one, 0);
  EXPECT_EQ(ts::TextGetWidth("Mi\xE4\xDF"), 4 * one);
  ts::FontSetCharSpacing(3);
  EXPECT_EQ(ts::TextGetWidth("Mi\xE4\xDF"), 4 * (one + 3));
  EXPECT_EQ(ts::GetError(), ts::kNoError);
  ts::FontDestroy(font);
}

}  // namespace
