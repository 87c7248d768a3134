// CellAtlas.h -- packs glyph images into 256 x 256 pages of 2 x 2-pixel cells.
//
// Pure bookkeeping, no GL: the OpenGL renderer keeps one texture per page.
#pragma once

#include <cstdint>
#include <vector>

#include "render/textengine/Char.h"

class TtsCellAtlas {
 public:
  static constexpr int kPageSize = 256;
  static constexpr int kCellSize = 2;
  static constexpr int kCells = kPageSize / kCellSize;

  struct TPageInfo {
    int Width = 0;
    int Height = 0;
    bool Own = false;      // made for one image larger than a page
    bool Retired = false;  // an own page whose image was released
  };

  // Room for a width x height image (both > 0): the first place, scanning the
  // pages in creation order and their cell rows from the top, where a free
  // span wide enough lies in every row the image covers. A new page when no
  // page has room. The place covers whole cells, so it may be one pixel wider
  // and higher than the image. An image larger than a page gets a page of its
  // own, exactly its size.
  TtsGlyphPlace Allocate(int width, int height);
  // Frees the cells of a place Allocate returned. Returns true when that
  // retired an own page (its texture can go).
  bool Release(const TtsGlyphPlace& place);

  [[nodiscard]] int PageCount() const { return static_cast<int>(fPages.size()); }
  [[nodiscard]] const TPageInfo& Page(int page) const { return fPages[static_cast<std::size_t>(page)].Info; }

 private:
  struct TSpan {
    int16_t Start;
    int16_t End;  // exclusive
  };
  using TRow = std::vector<TSpan>;
  struct TPage {
    TPageInfo Info;
    std::vector<TRow> Rows;  // free spans of every cell row, sorted
  };

  // First free column for a cells-wide, rows-high block starting at `row`,
  // or -1.
  static int FindColumn(const TPage& page, int row, int cells, int rows);
  static void Occupy(TRow& row, int start, int end);
  static void Free(TRow& row, int start, int end);

  std::vector<TPage> fPages;
};
