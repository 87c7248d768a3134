// Utf8Test.cpp -- the one UTF-8 reader: strict for what the server checks,
// lenient for what the game shows, and the writer both read back.
#include <gtest/gtest.h>

#include <string>

#include "platform/Cp1252.h"
#include "platform/Utf8.h"

namespace {

using platform::DecodeUtf8;
using platform::TUtf8Mode;

TEST(Utf8, StrictRefusesStrayFormsLenientShowsThemAndWritingReadsBack) {
  // Overlong, surrogate, beyond U+10FFFF: refused strictly, read leniently.
  for (const std::string odd : {"\xC1\x81", "\xE0\x81\x81", "\xED\xA0\x80", "\xF4\x90\x80\x80"}) {
    EXPECT_EQ(DecodeUtf8(odd, TUtf8Mode::Strict).Length, 0u) << odd;
    EXPECT_EQ(DecodeUtf8(odd, TUtf8Mode::Lenient).Length, odd.size()) << odd;
    EXPECT_FALSE(platform::IsStrictUtf8("a" + odd)) << odd;
  }
  EXPECT_EQ(DecodeUtf8("\xC1\x81", TUtf8Mode::Lenient).Code, U'A');
  // Cut, broken and stray bytes are no character in either mode.
  for (const std::string broken : {"\xE2\x82", "\xC3(", "\x80", "\xF8\x88\x80\x80\x80", ""}) {
    EXPECT_EQ(DecodeUtf8(broken, TUtf8Mode::Lenient).Length, 0u) << broken;
  }
  for (const char32_t code : {U'\0', U'A', U'\u00E4', U'\u07FF', U'\u20AC', U'\uFFFF', U'\U0001F600', U'\U0010FFFF'}) {
    std::string bytes;
    platform::AppendUtf8(bytes, code);
    const platform::TUtf8Char read = DecodeUtf8(bytes, TUtf8Mode::Strict);
    EXPECT_EQ(read.Code, code);
    EXPECT_EQ(read.Length, bytes.size());
  }
  // Into the game's code page: each byte of a broken sequence and each
  // character the code page lacks becomes '?'.
  EXPECT_EQ(platform::Utf8ToCp1252("J\xC3\x9CRGEN \xE2\x82\xAC"), "J\xDCRGEN \x80");
  EXPECT_EQ(platform::Utf8ToCp1252("a\xE2\x82"), "a??");
  EXPECT_EQ(platform::Utf8ToCp1252("\xC3(\xF0\x9F\x98\x80"), "?(?");
  EXPECT_EQ(platform::Cp1252ToUtf8(platform::Utf8ToCp1252("\xC3\xA4\xE2\x80\x9E")), "\xC3\xA4\xE2\x80\x9E");
}

}  // namespace
