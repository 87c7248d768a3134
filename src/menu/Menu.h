// Menu.h -- the menu's page tree: every node is an item with a caption and a
// description, and may open a page of items of its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TIniFile;

// Upper bound of "count" in the menu text file; more is a data error.
inline constexpr int32_t kMaxMenuItems = 1000;

class TMenu {
 public:
  std::string Caption;
  std::string Description;  // line breaks as CR LF
  std::vector<TMenu> Items;  // the page this item opens; empty for a plain item

  // Fills the receiver as the root page "0" from the menu text file
  // (Windows-1252 INI). A missing file gives a root without items; a
  // negative or absurd count throws EDataError naming the file and section.
  void Load(const std::string& fileName);
};

// The program fills the root's first two pages (stages and highscores):
// they must exist and have no items of their own. Throws EDataError naming
// `fileName` otherwise.
void CheckMenuRoot(const TMenu& root, const std::string& fileName);

// Reads caption, description and item count of page `id` from `text` and
// loads its items, depth first. Missing keys give "item_" + id, "desc_" + id
// and 0. `fileName` only names the file in error messages.
void LoadMenuPage(TMenu& page, const TIniFile& text, const std::string& fileName, const std::string& id);

// Every "[r]" (either case of r) becomes CR LF.
[[nodiscard]] std::string ExpandLineBreaks(std::string text);

// Removes the leading index from a page id and returns it: "0_12_3" gives 0
// and leaves "12_3"; "3" gives 3 and leaves ""; "" gives -1. A part that is
// not a number throws EConvertError.
[[nodiscard]] int32_t TakeIndex(std::string& path);
