// Timedemo.cpp -- collecting frame times and reporting their figures.
#include "app/Timedemo.h"

#include <algorithm>
#include <cstdio>
#include <numeric>

#include "platform/Cp1252.h"

void TTimedemo::FrameDone(bool playing, std::size_t frame) {
  const auto now = std::chrono::steady_clock::now();
  if (fLastFrame) {
    fMs.push_back(std::chrono::duration<double, std::milli>(now - *fLastFrame).count());
    fFrame.push_back(frame);
    fLoad.push_back(playing && !fWasPlaying);
  } else {
    fStartMs = std::chrono::duration<double, std::milli>(now - fStarted).count();
  }
  fWasPlaying = playing;
  fLastFrame = now;
}

std::vector<std::string> TTimedemo::Lines() const {
  if (fMs.empty()) return {"timedemo: 0 frames"};
  std::vector<double> sorted = fMs;
  std::sort(sorted.begin(), sorted.end());
  auto percentile = [&](double p) {
    return sorted[std::min(sorted.size() - 1, static_cast<std::size_t>(p * static_cast<double>(sorted.size())))];
  };
  const double mean = std::accumulate(fMs.begin(), fMs.end(), 0.0) / static_cast<double>(fMs.size());
  const auto worst = static_cast<std::size_t>(std::max_element(fMs.begin(), fMs.end()) - fMs.begin());
  const double p50 = percentile(0.5);
  std::vector<std::string> lines;
  char text[320];
  std::snprintf(text, sizeof text, "timedemo: %zu frames, mean %.2f ms, p50 %.2f ms, p99 %.2f ms, max %.2f ms at frame %zu",
                fMs.size(), mean, p50, percentile(0.99), fMs[worst], fFrame[worst]);
  lines.emplace_back(text);
  // The details behind the figures: loads, and frames far above the median.
  double worstPlain = 0, worstLoad = 0;
  std::size_t worstPlainFrame = 0, slow = 0, loads = 0;
  for (std::size_t i = 0; i < fMs.size(); ++i) {
    if (fLoad[i]) {
      ++loads;
      worstLoad = std::max(worstLoad, fMs[i]);
      continue;
    }
    if (fMs[i] > 3 * p50) ++slow;
    if (fMs[i] > worstPlain) {
      worstPlain = fMs[i];
      worstPlainFrame = fFrame[i];
    }
  }
  std::snprintf(text, sizeof text,
                "timedemo: Start bis zum ersten Bild %.1f ms; %zu Ladebilder, l\xE4ngstes %.2f ms; ohne Ladebilder "
                "max %.2f ms bei Bild %zu, %zu Bilder \xFC" "ber dem Dreifachen des Medians",
                fStartMs, loads, worstLoad, worstPlain, worstPlainFrame, slow);
  lines.emplace_back(text);
  // The slowest frames of play, for hunting what breaks the figures.
  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < fMs.size(); ++i) {
    if (!fLoad[i]) order.push_back(i);
  }
  const std::size_t shown = std::min<std::size_t>(order.size(), 8);
  std::partial_sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(shown), order.end(),
                    [&](std::size_t a, std::size_t b) { return fMs[a] > fMs[b]; });
  std::string slowest = "timedemo: langsamste Bilder:";
  for (std::size_t k = 0; k < shown; ++k) {
    std::snprintf(text, sizeof text, " %zu (%.1f ms)", fFrame[order[k]], fMs[order[k]]);
    slowest += text;
  }
  lines.push_back(slowest);
  return lines;
}

void TTimedemo::Print() const {
  const std::vector<std::string> lines = Lines();
  std::printf("%s\n", lines[0].c_str());
  std::fflush(stdout);
  for (std::size_t i = 1; i < lines.size(); ++i)
    std::fprintf(stderr, "%s\n", platform::Cp1252ToUtf8(lines[i]).c_str());
}
