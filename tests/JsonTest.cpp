// JsonTest.cpp -- the JSON reader refuses what it cannot read one way only.
#include <gtest/gtest.h>

#include "services/Json.h"

namespace {

// A repeated key would make the document mean what the reader happens to
// keep (or, read into one string, both values joined): refused, at any depth.
TEST(Json, RepeatedKeyRefusesTheDocument) {
  EXPECT_FALSE(ParseJson(R"({"name":"EVE","name":"MALLORY"})"));
  EXPECT_FALSE(ParseJson(R"({"score":1,"x":0,"score":2})"));
  EXPECT_FALSE(ParseJson(R"({"run":{"id":"1","id":"2"}})"));
  EXPECT_FALSE(ParseJson(R"([{"a":[],"a":{}}])"));
  // The same key in different objects is no repetition.
  const auto fine = ParseJson(R"({"a":{"name":"EVE"},"b":{"name":"MALLORY"}})");
  ASSERT_TRUE(fine);
  EXPECT_EQ(fine->Find("b")->Text("name"), "MALLORY");
}

}  // namespace
