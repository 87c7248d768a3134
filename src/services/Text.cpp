// Text.cpp -- filling a translated text with its values.
#include "services/Text.h"

#include "services/Language.h"

std::string FillText(std::string_view german, std::initializer_list<std::string_view> values) {
  const std::string_view text = Tr(german);
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char next = i + 1 < text.size() ? text[i + 1] : '\0';
    if (text[i] == '%' && next >= '1' && next <= '9' && static_cast<std::size_t>(next - '1') < values.size()) {
      result += *(values.begin() + (next - '1'));
      ++i;
    } else {
      result += text[i];
    }
  }
  return result;
}
