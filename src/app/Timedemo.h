// Timedemo.h -- the frame times of a timedemo and the figures made of them.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

class TTimedemo {
 public:
  TTimedemo() : fStarted(std::chrono::steady_clock::now()) {}

  // A frame was drawn: `playing` while a stage runs (the first such frame of
  // each stage loaded it); `frame` is the recording's frame number.
  void FrameDone(bool playing, std::size_t frame);
  // The figures: one line on stdout, the details on stderr.
  void Print() const;
  // The same figures as text: the line for stdout, then the details.
  [[nodiscard]] std::vector<std::string> Lines() const;

 private:
  std::chrono::steady_clock::time_point fStarted;
  std::optional<std::chrono::steady_clock::time_point> fLastFrame;
  bool fWasPlaying = false;
  double fStartMs = 0;  // to the first frame
  std::vector<double> fMs;
  std::vector<std::size_t> fFrame;
  std::vector<bool> fLoad;
};
