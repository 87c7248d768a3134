// ValueLists.cpp -- strict number conversion and value lists.
#include "services/ValueLists.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "services/CharConv.h"
#include "services/Text.h"

namespace {

char gDecimalSeparator = ',';

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

// Splits off the text before the next ';'. A missing separator leaves the
// element empty, which fails its conversion.
std::string_view NextElement(std::string_view& rest) {
  const std::size_t pos = rest.find(';');
  if (pos == std::string_view::npos) {
    const std::string_view element{};
    rest = rest.substr(rest.size());
    return element;
  }
  const std::string_view element = rest.substr(0, pos);
  rest.remove_prefix(pos + 1);
  return element;
}

}  // namespace

char DecimalSeparator() { return gDecimalSeparator; }
void SetDecimalSeparator(char separator) { gDecimalSeparator = separator; }

bool TryStrToFloat(std::string_view text, float& value) {
  text = TrimBlanks(text, TBlanks::Spaces);
  std::string c;  // the number rewritten as from_chars reads it
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) c += text[i++];
  bool mantissa = false;
  while (i < text.size() && IsDigit(text[i])) {
    c += text[i++];
    mantissa = true;
  }
  if (i < text.size() && text[i] == gDecimalSeparator) {
    c += '.';
    ++i;
    mantissa = true;
    while (i < text.size() && IsDigit(text[i])) c += text[i++];
  }
  if (!mantissa) return false;
  if (c == "." || c == "+." || c == "-.") c.insert(c.size() - 1, "0");
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    c += 'e';
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) c += text[i++];
    bool exponent = false;
    while (i < text.size() && IsDigit(text[i])) {
      c += text[i++];
      exponent = true;
    }
    if (!exponent) return false;
  }
  if (i != text.size()) return false;
  // from_chars rounds correctly and alike on every system (strtod of some C
  // libraries does not); it takes no leading '+'.
  double parsed = 0;
  const char* first = c.data() + (c[0] == '+' ? 1 : 0);
  if (!conv::ReadDouble(first, c.data() + c.size(), parsed)) return false;
  if (!std::isfinite(parsed) || std::fabs(parsed) > std::numeric_limits<float>::max()) return false;
  value = static_cast<float>(parsed);
  return true;
}

bool TryStrToInt(std::string_view text, int32_t& value) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int base = 10;
  if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i == text.size()) return false;
  int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const int digit = base == 16 ? HexValue(text[i]) : (IsDigit(text[i]) ? text[i] - '0' : -1);
    if (digit < 0) return false;
    magnitude = magnitude * base + digit;
    if (magnitude > (int64_t{1} << 32)) return false;
  }
  if (base == 16) {
    // Hex spells the bit pattern: $FFFFFFFF is -1.
    if (magnitude > 0xFFFFFFFFLL) return false;
    // Negated as bits too: -$80000000 is $80000000, with no signed overflow.
    const uint32_t bits = static_cast<uint32_t>(magnitude);
    value = static_cast<int32_t>(negative ? 0u - bits : bits);
    return true;
  }
  const int64_t signedValue = negative ? -magnitude : magnitude;
  if (signedValue < std::numeric_limits<int32_t>::min() || signedValue > std::numeric_limits<int32_t>::max())
    return false;
  value = static_cast<int32_t>(signedValue);
  return true;
}

float StrToFloat(std::string_view text) {
  float value = 0;
  if (!TryStrToFloat(text, value)) throw EConvertError(Quoted(text) + " ist kein g\xFCltiger Gleitkommawert");
  return value;
}

int32_t StrToInt(std::string_view text) {
  int32_t value = 0;
  if (!TryStrToInt(text, value)) throw EConvertError(Quoted(text) + " ist kein g\xFCltiger Integerwert");
  return value;
}

std::string FloatToStr(double value) {
  // Shortest text that reads back to the same value; singles as singles.
  const bool single = static_cast<double>(static_cast<float>(value)) == value;
  std::string result;
  for (int precision = 1; precision <= 17; ++precision) {
    result = conv::WriteDouble(value, precision);
    double back = 0;
    conv::ReadDouble(result.data(), result.data() + result.size(), back);
    const bool exact = single ? static_cast<float>(back) == static_cast<float>(value) : back == value;
    // Plain notation for everyday magnitudes: "1200", not "1,2e+03".
    const bool plain = result.find('e') == std::string::npos || std::fabs(value) >= 1e15 || std::fabs(value) < 1e-4;
    if (exact && plain) break;
  }
  for (char& c : result) {
    if (c == '.') c = gDecimalSeparator;
  }
  return result;
}

void StrToVector3f(std::string_view text, TVector3f& out) {
  std::string_view rest = text;
  out.x = StrToFloat(NextElement(rest));
  out.y = StrToFloat(NextElement(rest));
  out.z = StrToFloat(rest);
}

void StrToVector4f(std::string_view text, TVector4f& out) {
  std::string_view rest = text;
  out.r = StrToFloat(NextElement(rest));
  out.g = StrToFloat(NextElement(rest));
  out.b = StrToFloat(NextElement(rest));
  out.a = StrToFloat(rest);
}

void StrToIndexPair(std::string_view text, TIndexPair& out) {
  std::string_view rest = text;
  out.first = StrToInt(NextElement(rest));
  out.second = StrToInt(rest);
}

TVector3f StrToVector3f(std::string_view text) {
  TVector3f v;
  StrToVector3f(text, v);
  return v;
}

TVector4f StrToVector4f(std::string_view text) {
  TVector4f v;
  StrToVector4f(text, v);
  return v;
}

TIndexPair StrToIndexPair(std::string_view text) {
  TIndexPair p;
  StrToIndexPair(text, p);
  return p;
}

std::vector<std::string_view> TerminatedItems(std::string_view text) {
  std::vector<std::string_view> items;
  for (std::size_t pos = text.find(';'); pos != std::string_view::npos; pos = text.find(';')) {
    items.push_back(text.substr(0, pos));
    text.remove_prefix(pos + 1);
  }
  return items;
}

std::string PadLeft(std::string text, char fill, std::size_t width) {
  if (text.size() < width) text.insert(0, width - text.size(), fill);
  return text;
}
