// Json.h -- reading the small JSON answers of the leaderboard server.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct TJsonValue {
  enum class TKind { Null, Bool, Number, String, Array, Object } Kind = TKind::Null;
  bool Bool = false;
  double Number = 0;
  std::string String;  // UTF-8 as sent
  std::vector<TJsonValue> Array;
  std::map<std::string, TJsonValue> Object;

  // The member `key` of an object; null for anything else or a missing key.
  [[nodiscard]] const TJsonValue* Find(std::string_view key) const;
  // The member's string (UTF-8 as sent), `def` when missing or of another
  // kind: a number is not written out as text.
  [[nodiscard]] std::string Text(std::string_view key, std::string_view def = {}) const;
  [[nodiscard]] double NumberOr(std::string_view key, double def) const;
};

// Parses one JSON document; nothing for text that is not JSON, nests
// deeper than 64 levels or repeats a key within an object.
[[nodiscard]] std::optional<TJsonValue> ParseJson(std::string_view text);
