// Timedemo.cpp -- collecting frame times and reporting their figures.
#include "app/Timedemo.h"

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <stdexcept>

#include "platform/Cp1252.h"
#include "platform/FileNames.h"

void TTimedemo::FrameDone(TFrameKind kind, std::size_t frame) {
  const auto now = std::chrono::steady_clock::now();
  if (fLastFrame) {
    FrameTook(std::chrono::duration<double, std::milli>(now - *fLastFrame).count(), kind, frame);
  } else {
    fStartMs = std::chrono::duration<double, std::milli>(now - fStarted).count();
    fWas = kind;
  }
  fLastFrame = now;
}

void TTimedemo::FrameTook(double ms, TFrameKind kind, std::size_t frame) {
  const bool load = (kind != TFrameKind::Menu && fWas == TFrameKind::Menu) ||
                    (kind == TFrameKind::Play && fWas == TFrameKind::Finish);
  fMs.push_back(ms);
  fFrame.push_back(frame);
  fLoad.push_back(load);
  fPlay.push_back(kind == TFrameKind::Play && !load);
  fWas = kind;
}

THitches TTimedemo::Hitches() const {
  // Frames of play only: not the menu between stages, a stage's load, its
  // finish screen or its pause.
  std::vector<std::size_t> play;
  for (std::size_t i = 0; i < fMs.size(); ++i) {
    if (fPlay[i]) play.push_back(i);
  }
  // Each frame against the 60 around it, half before and half after; at
  // either end of the run the window shifts so as to stay 60 wide.
  constexpr std::size_t kAround = 60;
  THitches hitches;
  std::vector<double> around;
  for (std::size_t k = 0; k < play.size(); ++k) {
    const std::size_t end = std::min(play.size(), std::max(k, kAround / 2) + kAround / 2 + 1);
    const std::size_t begin = end > kAround + 1 ? end - (kAround + 1) : 0;
    around.clear();
    for (std::size_t j = begin; j < end; ++j) {
      if (j != k) around.push_back(fMs[play[j]]);
    }
    if (around.empty()) continue;
    std::sort(around.begin(), around.end());
    const std::size_t middle = around.size() / 2;
    const double median = around.size() % 2 ? around[middle] : (around[middle - 1] + around[middle]) / 2;
    const double ms = fMs[play[k]];
    if (ms <= 2 * median) continue;
    ++hitches.Count;
    if (ms > hitches.WorstMs) hitches = {hitches.Count, ms, median, fFrame[play[k]]};
  }
  return hitches;
}

void TTimedemo::OpenFrameTimes(const std::string& fileName) {
  fFrameTimesName = fileName;
  fFrameTimes.open(platform::FsPath(fileName), std::ios::trunc);
  if (!fFrameTimes) FrameTimesFailed();
}

void TTimedemo::WriteFrameTimes() {
  if (!fFrameTimes.is_open()) return;
  char line[64];
  for (std::size_t i = 0; i < fMs.size() && fFrameTimes; ++i) {
    std::snprintf(line, sizeof line, "%zu %.3f %d %d\n", fFrame[i], fMs[i], fLoad[i] ? 1 : 0, fPlay[i] ? 1 : 0);
    fFrameTimes << line;
  }
  fFrameTimes.close();
  if (fFrameTimes.fail()) FrameTimesFailed();
}

void TTimedemo::FrameTimesFailed() const {
  throw std::runtime_error("Die Bildzeiten k\xF6nnen nicht nach " + fFrameTimesName + " geschrieben werden");
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
  const THitches hitches = Hitches();
  std::snprintf(text, sizeof text,
                "timedemo: %zu frames, mean %.2f ms, p50 %.2f ms, p99 %.2f ms, max %.2f ms at frame %zu, "
                "%zu hitches, worst %.2f ms at frame %zu",
                fMs.size(), mean, p50, percentile(0.99), fMs[worst], fFrame[worst], hitches.Count, hitches.WorstMs,
                hitches.WorstFrame);
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
  std::snprintf(text, sizeof text,
                "timedemo: %zu Ruckler (Spielbilder \xFC" "ber dem Doppelten des Medians der 60 Spielbilder um sie), "
                "der l\xE4ngste %.2f ms bei Bild %zu, dort Median %.2f ms",
                hitches.Count, hitches.WorstMs, hitches.WorstFrame, hitches.WorstMedianMs);
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
