// Timedemo.h -- the frame times of a timedemo and the figures made of them.
#pragma once

#include <chrono>
#include <cstddef>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

// What a frame showed. A stage that stands still (its finish screen, its
// pause) is not play: its view costs what it costs, steadily, and a step
// into it is not a stutter.
enum class TFrameKind { Menu, Play, Finish, Pause };

// Frames of play that take more than twice the median of the 60 frames of
// play around them: the stutter a player feels, as against a run of costly
// views, which raises the median with it.
struct THitches {
  std::size_t Count = 0;
  double WorstMs = 0;         // the longest of them
  double WorstMedianMs = 0;   // the median around it
  std::size_t WorstFrame = 0;
};

class TTimedemo {
 public:
  TTimedemo() : fStarted(std::chrono::steady_clock::now()) {}

  // A frame was drawn: the first stage frame after the menu, and the first
  // frame of play after a finish screen (played again), loaded the stage;
  // `frame` is the recording's frame number.
  void FrameDone(TFrameKind kind, std::size_t frame);
  // The same with the frame's time given, `ms` since the frame before.
  void FrameTook(double ms, TFrameKind kind, std::size_t frame);
  [[nodiscard]] THitches Hitches() const;
  // The figures: one line on stdout, the details on stderr.
  void Print() const;
  // The same figures as text: the line for stdout, then the details.
  [[nodiscard]] std::vector<std::string> Lines() const;

  // Opens the file that WriteFrameTimes fills at the end, so that a name
  // that cannot be written fails before the run. Both throw
  // std::runtime_error naming the file.
  void OpenFrameTimes(const std::string& fileName);
  // One line per frame: its number, its milliseconds, 1 for a stage's load
  // (else 0) and 1 for a frame of play (else 0: the menu, a load, a finish
  // screen, a pause). Nothing without OpenFrameTimes.
  void WriteFrameTimes();

 private:
  std::chrono::steady_clock::time_point fStarted;
  std::optional<std::chrono::steady_clock::time_point> fLastFrame;
  TFrameKind fWas = TFrameKind::Menu;
  double fStartMs = 0;  // to the first frame
  std::vector<double> fMs;
  std::vector<std::size_t> fFrame;
  std::vector<bool> fLoad, fPlay;
  [[noreturn]] void FrameTimesFailed() const;

  std::string fFrameTimesName;
  std::ofstream fFrameTimes;
};
