// BossFile.h -- a boss file's attack script (fire points, time lists and
// loops), read and checked without touching the graphics (the boss loader
// and the boss fuzzer share it). The boss's shape is an ordinary model in
// the same file (ModelFile.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TIniFile;

// Largest fire-point, loop and time-list counts a boss file may ask for.
inline constexpr int32_t kMaxBossCount = 10000;

// One fire point as the file writes it.
struct TBossFirePointData {
  int32_t X = 0, Z = 0;  // place on the model, model units
  float Speed = 0, RollSpeed = 0, Accel = 0, RollAccel = 0;  // toward the player
  int32_t LifeTime = 0;  // ms
  float Scale = 0;       // shot scale; 0 stands for the default
  std::string Particle;  // shot model as written
  std::vector<int32_t> Times;  // ms
};

struct TBossLoopData {
  int32_t JumpTo = 0, At = 0, Repeats = 0;
};

struct TBossFileData {
  int32_t MaxTime = 0;  // ms
  std::vector<TBossFirePointData> FirePoints;
  std::vector<TBossLoopData> Loops;
};

// [FirePoints] and [Loops]. A malformed or missing value throws
// EConvertError; an absurd count throws EDataError naming the file.
[[nodiscard]] TBossFileData ReadBossFile(const TIniFile& ini, const std::string& fileName);

// The roll offset of a fire point x model units to the side, for a boss at
// `scale` in a tube of radius `tubeSize`: the angle its chord subtends,
// truncated toward zero. A point outside the tube throws EDataError.
[[nodiscard]] float FirePointAngle(int32_t x, double scale, double tubeSize, const std::string& fileName,
                                   std::size_t index);
