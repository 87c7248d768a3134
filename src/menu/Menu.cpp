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

void CheckMenuRoot(const TMenu& root, const std::string& fileName) {
  // Without the stage and highscore pages there is nothing to attach the
  // stages to.
  if (root.Items.size() < 2)
    throw EDataError("Men\xFC" "datei " + fileName + ": es fehlen die Eintr\xE4ge menu_0_0 und menu_0_1 (count in [menu_0] ist " +
                     std::to_string(root.Items.size()) + ", n\xF6tig sind mindestens 2)");
  for (int page : {0, 1}) {
    if (!root.Items[static_cast<std::size_t>(page)].Items.empty())
      throw EDataError("Men\xFC" "datei " + fileName + ": [menu_0_" + std::to_string(page) +
                       "] muss count=0 haben, das Programm f\xFCllt die Seite selbst");
  }
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
