// ValueLists.h -- number and value-list parsing for the game's data files,
// and the zero padding used by the HUD.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "services/Types.h"

// A value that does not convert. Carried to the caller's guarded step.
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The decimal separator of real numbers in data files. A comma unless a test
// switches it; the game never changes it.
char DecimalSeparator();
void SetDecimalSeparator(char separator);

// Strict conversions. Reals: blanks, sign, digits, the decimal separator,
// exponent; integers: blanks before, sign, decimal or "$"/"x"/"0x" hex, nothing
// after, 32 bits. Both throw EConvertError.
[[nodiscard]] float StrToFloat(std::string_view text);
[[nodiscard]] int32_t StrToInt(std::string_view text);
// The same, returning false instead of throwing.
[[nodiscard]] bool TryStrToFloat(std::string_view text, float& value);
[[nodiscard]] bool TryStrToInt(std::string_view text, int32_t& value);
// A real as the data files write it (shortest form, the decimal separator).
[[nodiscard]] std::string FloatToStr(double value);

// "x;y;z", "r;g;b;a", "first;second". No trailing separator. On failure the
// components already converted keep their new values and EConvertError is
// thrown, so callers pass the variable to fill.
void StrToVector3f(std::string_view text, TVector3f& out);
void StrToVector4f(std::string_view text, TVector4f& out);
void StrToIndexPair(std::string_view text, TIndexPair& out);
[[nodiscard]] TVector3f StrToVector3f(std::string_view text);
[[nodiscard]] TVector4f StrToVector4f(std::string_view text);
[[nodiscard]] TIndexPair StrToIndexPair(std::string_view text);

// The items of a list whose items each end with ";": "0,1;0,2;0,3;" holds
// three, "0,1;0,2" one (text after the last ";" is ignored).
[[nodiscard]] std::vector<std::string_view> TerminatedItems(std::string_view text);

// Puts `fill` in front of `text` until it is `width` long.
[[nodiscard]] std::string PadLeft(std::string text, char fill, std::size_t width);
