// CellAtlas.cpp -- first-fit cell packing with per-row free spans.
#include "render/textengine/CellAtlas.h"

#include <algorithm>

namespace {

// Spans free in both a and b.
void Intersect(const std::vector<int16_t>& a, const auto& b, std::vector<int16_t>& out) {
  out.clear();
  std::size_t i = 0;
  std::size_t j = 0;
  while (i + 1 < a.size() && j < b.size()) {
    const int16_t start = std::max(a[i], b[j].Start);
    const int16_t end = std::min(a[i + 1], b[j].End);
    if (start < end) {
      out.push_back(start);
      out.push_back(end);
    }
    if (a[i + 1] < b[j].End) i += 2;
    else ++j;
  }
}

}  // namespace

TtsGlyphPlace TtsCellAtlas::Allocate(int width, int height) {
  TtsGlyphPlace place;
  if (width <= 0 || height <= 0) return place;
  if (width > kPageSize || height > kPageSize) {
    TPage page;
    page.Info = {width, height, true, false};
    fPages.push_back(std::move(page));
    place.Page = PageCount() - 1;
    place.Width = width;
    place.Height = height;
    return place;
  }

  const int cells = (width + kCellSize - 1) / kCellSize;
  const int rows = (height + kCellSize - 1) / kCellSize;
  for (std::size_t p = 0;; ++p) {
    if (p == fPages.size()) {
      TPage page;
      page.Info = {kPageSize, kPageSize, false, false};
      page.Rows.assign(kCells, TRow{TSpan{0, kCells}});
      fPages.push_back(std::move(page));
    }
    TPage& page = fPages[p];
    if (page.Info.Own) continue;
    for (int row = 0; row + rows <= kCells; ++row) {
      const int column = FindColumn(page, row, cells, rows);
      if (column < 0) continue;
      for (int r = row; r < row + rows; ++r) Occupy(page.Rows[static_cast<std::size_t>(r)], column, column + cells);
      place.Page = static_cast<int>(p);
      place.X = column * kCellSize;
      place.Y = row * kCellSize;
      place.Width = cells * kCellSize;
      place.Height = rows * kCellSize;
      return place;
    }
  }
}

int TtsCellAtlas::FindColumn(const TPage& page, int row, int cells, int rows) {
  // Flat [start, end) pairs of the spans free in every row so far.
  thread_local std::vector<int16_t> common;
  thread_local std::vector<int16_t> next;
  common.clear();
  for (const TSpan& span : page.Rows[static_cast<std::size_t>(row)]) {
    if (span.End - span.Start >= cells) {
      common.push_back(span.Start);
      common.push_back(span.End);
    }
  }
  for (int r = row + 1; r < row + rows && !common.empty(); ++r) {
    Intersect(common, page.Rows[static_cast<std::size_t>(r)], next);
    common.clear();
    for (std::size_t i = 0; i + 1 < next.size(); i += 2) {
      if (next[i + 1] - next[i] >= cells) {
        common.push_back(next[i]);
        common.push_back(next[i + 1]);
      }
    }
  }
  return common.empty() ? -1 : common.front();
}

void TtsCellAtlas::Occupy(TRow& row, int start, int end) {
  for (std::size_t i = 0; i < row.size(); ++i) {
    TSpan& span = row[i];
    if (span.Start > start || span.End < end) continue;
    const TSpan after{static_cast<int16_t>(end), span.End};
    span.End = static_cast<int16_t>(start);
    if (after.Start < after.End) row.insert(row.begin() + static_cast<std::ptrdiff_t>(i) + 1, after);
    if (row[i].Start == row[i].End) row.erase(row.begin() + static_cast<std::ptrdiff_t>(i));
    return;
  }
}

void TtsCellAtlas::Free(TRow& row, int start, int end) {
  auto at = std::lower_bound(row.begin(), row.end(), start, [](const TSpan& s, int value) { return s.Start < value; });
  at = row.insert(at, TSpan{static_cast<int16_t>(start), static_cast<int16_t>(end)});
  // Merge with the neighbours it touches.
  if (at + 1 != row.end() && at->End == (at + 1)->Start) {
    at->End = (at + 1)->End;
    row.erase(at + 1);
  }
  if (at != row.begin() && (at - 1)->End == at->Start) {
    (at - 1)->End = at->End;
    row.erase(at);
  }
}

bool TtsCellAtlas::Release(const TtsGlyphPlace& place) {
  if (place.Page < 0 || place.Page >= PageCount()) return false;
  TPage& page = fPages[static_cast<std::size_t>(place.Page)];
  if (page.Info.Own) {
    page.Info.Retired = true;
    return true;
  }
  const int column = place.X / kCellSize;
  const int cells = place.Width / kCellSize;
  for (int r = place.Y / kCellSize; r < (place.Y + place.Height) / kCellSize; ++r)
    Free(page.Rows[static_cast<std::size_t>(r)], column, column + cells);
  return false;
}
