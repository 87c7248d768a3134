// Json.cpp -- a strict recursive reader of JSON documents.
#include "services/Json.h"

#include <cstdlib>

#include "platform/Utf8.h"

namespace {

constexpr int kMaxDepth = 64;

class TJsonReader {
 public:
  explicit TJsonReader(std::string_view text) : fText(text) {}

  bool Document(TJsonValue& value) {
    if (!Value(value, 0)) return false;
    SkipBlanks();
    return fAt == fText.size();
  }

 private:
  void SkipBlanks() {
    while (fAt < fText.size() && (fText[fAt] == ' ' || fText[fAt] == '\t' || fText[fAt] == '\r' || fText[fAt] == '\n')) ++fAt;
  }
  bool Literal(std::string_view word) {
    if (fText.substr(fAt, word.size()) != word) return false;
    fAt += word.size();
    return true;
  }

  bool Value(TJsonValue& value, int depth) {
    if (depth > kMaxDepth) return false;
    SkipBlanks();
    if (fAt >= fText.size()) return false;
    const char c = fText[fAt];
    if (c == '{') return Object(value, depth);
    if (c == '[') return Array(value, depth);
    if (c == '"') {
      value.Kind = TJsonValue::TKind::String;
      return String(value.String);
    }
    if (Literal("true") || Literal("false")) {
      value.Kind = TJsonValue::TKind::Bool;
      value.Bool = fText[fAt - 1] == 'e' && fText[fAt - 2] == 'u';
      return true;
    }
    if (Literal("null")) return true;
    return Number(value);
  }

  bool Object(TJsonValue& value, int depth) {
    value.Kind = TJsonValue::TKind::Object;
    ++fAt;
    SkipBlanks();
    if (fAt < fText.size() && fText[fAt] == '}') return ++fAt, true;
    for (;;) {
      SkipBlanks();
      std::string key;
      if (fAt >= fText.size() || fText[fAt] != '"' || !String(key)) return false;
      SkipBlanks();
      if (fAt >= fText.size() || fText[fAt++] != ':') return false;
      // A repeated key refuses the document: which of two answers counts
      // is no guess to make.
      const auto [member, added] = value.Object.try_emplace(std::move(key));
      if (!added || !Value(member->second, depth + 1)) return false;
      SkipBlanks();
      if (fAt >= fText.size()) return false;
      const char next = fText[fAt++];
      if (next == '}') return true;
      if (next != ',') return false;
    }
  }

  bool Array(TJsonValue& value, int depth) {
    value.Kind = TJsonValue::TKind::Array;
    ++fAt;
    SkipBlanks();
    if (fAt < fText.size() && fText[fAt] == ']') return ++fAt, true;
    for (;;) {
      value.Array.emplace_back();
      if (!Value(value.Array.back(), depth + 1)) return false;
      SkipBlanks();
      if (fAt >= fText.size()) return false;
      const char next = fText[fAt++];
      if (next == ']') return true;
      if (next != ',') return false;
    }
  }

  bool Hex4(unsigned& code) {
    if (fAt + 4 > fText.size()) return false;
    code = 0;
    for (int i = 0; i < 4; ++i) {
      const char h = fText[fAt++];
      code <<= 4;
      if (h >= '0' && h <= '9') code |= static_cast<unsigned>(h - '0');
      else if (h >= 'a' && h <= 'f') code |= static_cast<unsigned>(h - 'a' + 10);
      else if (h >= 'A' && h <= 'F') code |= static_cast<unsigned>(h - 'A' + 10);
      else return false;
    }
    return true;
  }

  bool String(std::string& out) {
    ++fAt;  // the opening quote
    while (fAt < fText.size()) {
      const char c = fText[fAt++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (fAt >= fText.size()) return false;
      const char e = fText[fAt++];
      switch (e) {
        case '"': case '\\': case '/': out += e; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          unsigned code;
          if (!Hex4(code)) return false;
          if (code >= 0xD800 && code < 0xDC00) {
            unsigned low;
            if (!Literal("\\u") || !Hex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
          } else if (code >= 0xDC00 && code < 0xE000) {
            return false;
          }
          platform::AppendUtf8(out, code);
          break;
        }
        default: return false;
      }
    }
    return false;
  }

  bool Number(TJsonValue& value) {
    const std::size_t begin = fAt;
    if (fAt < fText.size() && fText[fAt] == '-') ++fAt;
    auto digits = [&] {
      const std::size_t from = fAt;
      while (fAt < fText.size() && fText[fAt] >= '0' && fText[fAt] <= '9') ++fAt;
      return fAt > from;
    };
    if (!digits()) return false;
    if (fAt < fText.size() && fText[fAt] == '.') {
      ++fAt;
      if (!digits()) return false;
    }
    if (fAt < fText.size() && (fText[fAt] == 'e' || fText[fAt] == 'E')) {
      ++fAt;
      if (fAt < fText.size() && (fText[fAt] == '+' || fText[fAt] == '-')) ++fAt;
      if (!digits()) return false;
    }
    // strtod reads the C locale's decimal point, which the game never changes.
    value.Kind = TJsonValue::TKind::Number;
    value.Number = std::strtod(std::string(fText.substr(begin, fAt - begin)).c_str(), nullptr);
    return true;
  }

  std::string_view fText;
  std::size_t fAt = 0;
};

}  // namespace

const TJsonValue* TJsonValue::Find(std::string_view key) const {
  if (Kind != TKind::Object) return nullptr;
  const auto found = Object.find(std::string(key));
  return found == Object.end() ? nullptr : &found->second;
}

std::string TJsonValue::Text(std::string_view key, std::string_view def) const {
  const TJsonValue* member = Find(key);
  if (member && member->Kind == TKind::String) return member->String;
  return std::string(def);
}

double TJsonValue::NumberOr(std::string_view key, double def) const {
  const TJsonValue* member = Find(key);
  return member && member->Kind == TKind::Number ? member->Number : def;
}

std::optional<TJsonValue> ParseJson(std::string_view text) {
  TJsonValue value;
  if (!TJsonReader(text).Document(value)) return std::nullopt;
  return value;
}
