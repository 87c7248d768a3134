// PictureMatch.cpp -- lit pixels and their neighbours.
#include "support/PictureMatch.h"

#include <algorithm>
#include <cstdio>

namespace {

int ColorClass(const uint8_t* p) {
  const int brightest = std::max({p[0], p[1], p[2]});
  if (brightest < 48) return 0;
  return (2 * p[0] >= brightest ? 1 : 0) | (2 * p[1] >= brightest ? 2 : 0) | (2 * p[2] >= brightest ? 4 : 0);
}

}  // namespace

TPictureMatch MatchPicture(const std::vector<uint8_t>& first, const std::vector<uint8_t>& second, int width,
                           int height) {
  auto at = [&](const std::vector<uint8_t>& rgba, int x, int y) {
    return ColorClass(&rgba[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 4]);
  };
  TPictureMatch match;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const int wanted = at(first, x, y);
      if (wanted == 0) continue;
      ++match.Lit;
      bool found = false;
      for (int dy = -1; dy <= 1 && !found; ++dy)
        for (int dx = -1; dx <= 1 && !found; ++dx) {
          const int nx = x + dx, ny = y + dy;
          found = nx >= 0 && ny >= 0 && nx < width && ny < height && at(second, nx, ny) == wanted;
        }
      if (found) ++match.Matched;
    }
  return match;
}

void WritePpm(const std::string& path, const std::vector<uint8_t>& rgba, int width, int height) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return;
  std::fprintf(file, "P6\n%d %d\n255\n", width, height);
  for (std::size_t i = 0; i + 3 < rgba.size(); i += 4) std::fwrite(&rgba[i], 1, 3, file);
  std::fclose(file);
}
