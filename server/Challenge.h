// Challenge.h -- the server's challenges: a fresh seed and a nonce per
// attempt, signed with the key every server of one database shares, and the
// checks a verified run's challenge must pass before it goes on the board.
//
// A token is "v1.<stage hash>.<difficulty>.<seed>.<nonce>.<issued>.<mac>":
// the stage's SHA-256 (64 lower-case hex), Leicht/Normal/Schwer, the seed
// (decimal u32), 16 random bytes (32 lower-case hex), the issue time (unix
// milliseconds, decimal) and HMAC-SHA-256 (64 lower-case hex) over
// everything before the last dot. The game reads only the seed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Protocol.h"

// A challenge's signed fields.
struct TChallenge {
  std::string StageHash;
  std::string Difficulty;
  uint32_t Seed = 0;
  std::string Nonce;  // 32 lower-case hex digits
  int64_t IssuedMs = 0;
};

// How long a challenge may wait before its stage starts, and the slack on
// either side of the wall-clock check.
inline constexpr int64_t kDefaultStartWindowMs = 45000;
inline constexpr int64_t kUploadSlackMs = 15000;  // from the name entry to the submission
inline constexpr int64_t kClockAheadMs = 5000;    // the recording's clock may run this much ahead of the wall

// HMAC-SHA-256 of message under key, 64 lower-case hex digits (libcrypto).
[[nodiscard]] std::string HmacSha256Hex(std::string_view key, std::string_view message);

// Bytes from the kernel's cryptographic source (getrandom); throws
// std::runtime_error when it fails.
[[nodiscard]] std::string SecureRandomBytes(std::size_t count);
[[nodiscard]] std::string HexOf(std::string_view bytes);

// The token of a challenge, signed with key.
[[nodiscard]] std::string SignChallenge(const TChallenge& challenge, std::string_view key);
// The challenge a token carries when key signed exactly this text and every
// field is well-formed; nullopt for anything else. The signature is
// compared in constant time.
[[nodiscard]] std::optional<TChallenge> OpenChallenge(std::string_view token, std::string_view key);

// A refusal the client can tell by its code; Reason is shown to the
// player.
struct TRefusal {
  const char* Code;
  const char* Reason;
};
namespace refusal {
inline constexpr TRefusal kNoChallenge{"no_challenge",
                                       "Nicht f\u00fcr die Bestenliste: ohne Herausforderung gespielt."};
inline constexpr TRefusal kForeign{"challenge_foreign",
                                   "Die Herausforderung stammt nicht von diesem Server oder wurde ver\u00e4ndert."};
inline constexpr TRefusal kOtherStage{"challenge_other_stage", "Die Herausforderung gilt f\u00fcr eine andere Strecke."};
inline constexpr TRefusal kOtherDifficulty{"challenge_other_difficulty",
                                           "Die Herausforderung gilt f\u00fcr eine andere Schwierigkeit."};
inline constexpr TRefusal kOtherSeed{"challenge_other_seed",
                                     "Der Lauf fliegt nicht den Startwert seiner Herausforderung."};
inline constexpr TRefusal kFuture{"challenge_future", "Die Herausforderung ist in der Zukunft ausgestellt."};
inline constexpr TRefusal kExpired{"challenge_expired",
                                   "Die Herausforderung ist abgelaufen: seit ihrer Ausgabe verging viel mehr Zeit, "
                                   "als der Lauf dauerte."};
inline constexpr TRefusal kSlowClock{"clock_slow",
                                     "Die Uhr der Aufzeichnung geht nach: der Lauf dauerte l\u00e4nger, als seit der "
                                     "Herausforderung vergangen ist."};
inline constexpr TRefusal kUsed{"challenge_used", "Herausforderung schon benutzt."};
}  // namespace refusal

// The code of a run's refusal when its reason is one of the fixed ones
// above or the duplicate's; empty otherwise (the verifier's own words).
[[nodiscard]] std::string RefusalCode(std::string_view reason);

// What a run's challenge allows: its nonce (to be marked used with the
// entry; empty when challenges are off) or a refusal.
struct TChallengeVerdict {
  const TRefusal* Refusal = nullptr;
  std::string Nonce;
};

// The challenges of one server: issued and checked with one key.
class TChallenges {
 public:
  // required false: a private board that takes runs without challenges
  // (those sent with one are not checked either). startWindowMs: how long
  // after its issue a challenge may start a stage.
  TChallenges(std::string key, bool required, int64_t startWindowMs = kDefaultStartWindowMs);

  struct TIssued {
    std::string Token;
    uint32_t Seed = 0;
    int64_t ExpiresSeconds = 0;  // unix seconds: no stage starts with it after this
  };
  // A new challenge with a fresh seed and nonce, issued at nowMs.
  [[nodiscard]] TIssued Issue(std::string_view stageHash, std::string_view difficulty, int64_t nowMs) const;

  // Checks a verified run's challenge against the run and the time it was
  // submitted (unix ms): signed here, same stage, difficulty and seed, not
  // issued in the future, and with T = submittedMs - issue time,
  // clockms <= T + kClockAheadMs and T <= clockms + start window +
  // kUploadSlackMs. The nonce's single use is the store's to check.
  [[nodiscard]] TChallengeVerdict Judge(const TVerifiedRun& run, int64_t submittedMs) const;

  [[nodiscard]] bool Required() const { return fRequired; }
  [[nodiscard]] int64_t StartWindowMs() const { return fStartWindowMs; }

 private:
  std::string fKey;
  bool fRequired;
  int64_t fStartWindowMs;
};

// The time now, unix milliseconds.
[[nodiscard]] int64_t UnixMillis();
