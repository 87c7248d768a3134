// Sha256.h -- SHA-256 (FIPS 180-4), for the identities the online
// leaderboard files runs under: a stage's rules and a play.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

class TSha256 {
 public:
  TSha256();
  void Add(std::string_view bytes);
  // The digest of everything added; the object is spent afterwards.
  [[nodiscard]] std::array<uint8_t, 32> Finish();
  // The digest as 64 lower-case hex digits.
  [[nodiscard]] std::string FinishHex();

 private:
  void Block(const uint8_t* block);

  std::array<uint32_t, 8> fState;
  std::array<uint8_t, 64> fBuffer{};
  std::size_t fFill = 0;
  uint64_t fLength = 0;  // bytes added
};

// SHA-256 of `bytes` as 64 lower-case hex digits.
[[nodiscard]] std::string Sha256Hex(std::string_view bytes);
