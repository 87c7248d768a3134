// ValueListsTest.cpp -- value lists, strict numbers and padding.
#include <gtest/gtest.h>

#include "services/ValueLists.h"

namespace {

// Restores the decimal separator a test switched.
struct SeparatorGuard {
  ~SeparatorGuard() { SetDecimalSeparator(','); }
};

TEST(ValueLists, VectorsParseWithBlanksAndDecimalComma) {
  struct Case {
    const char* text;
    TVector3f expected;
  } cases[] = {
      {"1;2;3", {1, 2, 3}},
      {" 1 ; 2 ; 3 ", {1, 2, 3}},
      {"0,5;1;2", {0.5f, 1, 2}},
      {"-1,25;+2e2;,5", {-1.25f, 200, 0.5f}},
  };
  for (const Case& c : cases) {
    const TVector3f v = StrToVector3f(c.text);
    EXPECT_FLOAT_EQ(v.x, c.expected.x) << c.text;
    EXPECT_FLOAT_EQ(v.y, c.expected.y) << c.text;
    EXPECT_FLOAT_EQ(v.z, c.expected.z) << c.text;
  }
  const TVector4f colour = StrToVector4f("1;  1;  0;  1");
  EXPECT_EQ(colour.r, 1);
  EXPECT_EQ(colour.g, 1);
  EXPECT_EQ(colour.b, 0);
  EXPECT_EQ(colour.a, 1);
}

TEST(ValueLists, MalformedListsFailAndKeepWhatWasParsed) {
  for (const char* bad : {"1;2;3;", "1;2", "", "1;;3", "1;2;3\t", "a;b;c", "1.5;2;3"}) {
    EXPECT_THROW((void)StrToVector3f(bad), EConvertError) << bad;
  }
  // Components before the failing one keep their new values, later ones not.
  TVector3f v{9, 9, 9};
  EXPECT_THROW(StrToVector3f("1;x;3", v), EConvertError);
  EXPECT_EQ(v.x, 1);
  EXPECT_EQ(v.y, 9);
  EXPECT_EQ(v.z, 9);
}

TEST(ValueLists, DecimalPointSettingRejectsTheComma) {
  SeparatorGuard guard;
  SetDecimalSeparator('.');
  EXPECT_THROW((void)StrToVector3f("0,5;1;2"), EConvertError);
  EXPECT_FLOAT_EQ(StrToVector3f("0.5;1;2").x, 0.5f);
}

TEST(ValueLists, IndexPairsAreStrictIntegers) {
  const TIndexPair p = StrToIndexPair("3;7");
  EXPECT_EQ(p.first, 3);
  EXPECT_EQ(p.second, 7);
  EXPECT_EQ(StrToIndexPair(" 3; -7").second, -7);
  EXPECT_THROW((void)StrToIndexPair("3;7 "), EConvertError);
  EXPECT_THROW((void)StrToIndexPair("3;7;"), EConvertError);
  EXPECT_THROW((void)StrToIndexPair("3;1,5"), EConvertError);
}

TEST(ValueLists, IntegerConversionHandlesHexAndRange) {
  struct Case {
    const char* text;
    bool ok;
    int32_t value;
  } cases[] = {
      {"42", true, 42},       {"  -42", true, -42},         {"$1F", true, 31},
      {"0x1f", true, 31},     {"X10", true, 16},            {"$FFFFFFFF", true, -1},
      {"2147483647", true, 2147483647}, {"2147483648", false, 0}, {"-2147483648", true, INT32_MIN},
      {"99999999999", false, 0}, {"42 ", false, 0},         {"", false, 0},
      {"0x", false, 0},       {"4 2", false, 0},            {"$1FFFFFFFF", false, 0},
      {"-$80000000", true, INT32_MIN}, {"-$1", true, -1},    {"-$FFFFFFFF", true, 1},
  };
  for (const Case& c : cases) {
    int32_t value = 0;
    EXPECT_EQ(TryStrToInt(c.text, value), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(value, c.value) << c.text;
    }
  }
}

TEST(ValueLists, RealsOutOfRangeOrIncompleteFail) {
  float value = 0;
  EXPECT_FALSE(TryStrToFloat("1e40", value));  // beyond single precision
  EXPECT_FALSE(TryStrToFloat("1e", value));
  EXPECT_FALSE(TryStrToFloat("+", value));
  EXPECT_FALSE(TryStrToFloat("inf", value));
  EXPECT_FALSE(TryStrToFloat("nan", value));
  EXPECT_TRUE(TryStrToFloat(",", value));  // the separator alone is a number: 0
  EXPECT_EQ(value, 0.0f);
}

TEST(ValueLists, FloatToStrRoundTripsWithTheSeparator) {
  EXPECT_EQ(FloatToStr(0.4), "0,4");
  EXPECT_EQ(FloatToStr(1200), "1200");
  EXPECT_EQ(FloatToStr(0.015f), "0,015");
  EXPECT_EQ(FloatToStr(-2.5), "-2,5");
}

TEST(ValueLists, PadLeft) {
  EXPECT_EQ(PadLeft("123", '0', 10), "0000000123");
  EXPECT_EQ(PadLeft("12345", '0', 3), "12345");
  EXPECT_EQ(PadLeft("5", '0', 3), "005");
  EXPECT_EQ(PadLeft("", '0', 0), "");
}

}  // namespace
