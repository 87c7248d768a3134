// Menu.cpp -- reading the page tree from the menu text file.
#include "menu/Menu.h"

#include "services/DataError.h"
#include "services/IniFile.h"
#include "services/ValueLists.h"

void TMenu::Load(const std::string& fileName) {
  TIniFile text;
  text.LoadFromFile(fileName);
  LoadMenuPage(*this, text, fileName, "0");
}

void LoadMenuPage(TMenu& page, const TIniFile& text, const std::string& fileName, const std::string& id) {
  const std::string section = "menu_" + id;
  page.Caption = text.ReadString(section, "name", "item_" + id);
  page.Description = ExpandLineBreaks(text.ReadString(section, "desc", "desc_" + id));
  const int32_t count = ReadCount(text, "Men\xFC" "datei " + fileName, section.c_str(), "count", kMaxMenuItems);
  page.Items.clear();
  page.Items.resize(static_cast<std::size_t>(count));
  for (int32_t i = 0; i < count; ++i)
    LoadMenuPage(page.Items[static_cast<std::size_t>(i)], text, fileName, id + "_" + std::to_string(i));
}

std::string ExpandLineBreaks(std::string text) {
  // A replacement never forms a new marker, so one pass from left to right
  // finds them all.
  std::size_t i = 0;
  while (i + 3 <= text.size()) {
    if (text[i] == '[' && (text[i + 1] == 'r' || text[i + 1] == 'R') && text[i + 2] == ']') {
      text.replace(i, 3, "\r\n");
      i += 2;
    } else {
      ++i;
    }
  }
  return text;
}

int32_t TakeIndex(std::string& path) {
  if (path.empty()) return -1;
  const std::size_t separator = path.find('_');
  if (separator == std::string::npos) {
    const int32_t index = StrToInt(path);
    path.clear();
    return index;
  }
  const int32_t index = StrToInt(std::string_view(path).substr(0, separator));
  path.erase(0, separator + 1);
  return index;
}
