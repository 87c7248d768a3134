// Challenge.cpp -- signing, opening and judging challenges.
#include "Challenge.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <sys/random.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "Store.h"

namespace {

// Splits token at its dots; exactly `count` fields or nothing.
std::optional<std::vector<std::string_view>> Fields(std::string_view token, std::size_t count) {
  std::vector<std::string_view> fields;
  while (fields.size() + 1 < count) {
    const std::size_t dot = token.find('.');
    if (dot == std::string_view::npos) return std::nullopt;
    fields.push_back(token.substr(0, dot));
    token.remove_prefix(dot + 1);
  }
  if (token.find('.') != std::string_view::npos) return std::nullopt;
  fields.push_back(token);
  return fields;
}

bool IsLowerHex(std::string_view text, std::size_t length) {
  if (text.size() != length) return false;
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

// A decimal as it is written: digits, no leading zero (but "0").
template <typename T>
std::optional<T> Canonical(std::string_view text) {
  if (text.empty() || text.size() > 19 || (text.size() > 1 && text[0] == '0')) return std::nullopt;
  T value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

std::string HexOf(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (unsigned char b : bytes) {
    hex += kHex[b >> 4];
    hex += kHex[b & 15];
  }
  return hex;
}

std::string HmacSha256Hex(std::string_view key, std::string_view message) {
  unsigned char mac[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (!HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()), reinterpret_cast<const unsigned char*>(message.data()),
            message.size(), mac, &length)) {
    throw std::runtime_error("HMAC-SHA-256 failed");
  }
  return HexOf(std::string_view(reinterpret_cast<const char*>(mac), length));
}

std::string SecureRandomBytes(std::size_t count) {
  std::string bytes(count, '\0');
  std::size_t filled = 0;
  while (filled < count) {
    const ssize_t got = getrandom(bytes.data() + filled, count - filled, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error(std::string("Zufallszahlen des Systems fehlen: ") + std::strerror(errno));
    }
    filled += static_cast<std::size_t>(got);
  }
  return bytes;
}

std::string SignChallenge(const TChallenge& challenge, std::string_view key) {
  const std::string body = "v1." + challenge.StageHash + "." + challenge.Difficulty + "." +
                           std::to_string(challenge.Seed) + "." + challenge.Nonce + "." +
                           std::to_string(challenge.IssuedMs);
  return body + "." + HmacSha256Hex(key, body);
}

std::optional<TChallenge> OpenChallenge(std::string_view token, std::string_view key) {
  if (token.size() > 512) return std::nullopt;
  const std::size_t lastDot = token.rfind('.');
  if (lastDot == std::string_view::npos) return std::nullopt;
  const std::string_view mac = token.substr(lastDot + 1);
  if (mac.size() != 64) return std::nullopt;
  const std::string expected = HmacSha256Hex(key, token.substr(0, lastDot));
  if (CRYPTO_memcmp(expected.data(), mac.data(), expected.size()) != 0) return std::nullopt;

  // Signed by this key: the fields are ours, but are read as strictly as
  // anything else.
  const auto fields = Fields(token.substr(0, lastDot), 6);
  if (!fields) return std::nullopt;
  const auto& f = *fields;
  const auto seed = Canonical<uint32_t>(f[3]);
  const auto issued = Canonical<int64_t>(f[5]);
  if (f[0] != "v1" || !IsStageHash(f[1]) || !IsDifficulty(f[2]) || !seed || !IsLowerHex(f[4], 32) || !issued) {
    return std::nullopt;
  }
  return TChallenge{std::string(f[1]), std::string(f[2]), *seed, std::string(f[4]), *issued};
}

std::string RefusalCode(std::string_view reason) {
  using namespace refusal;
  for (const TRefusal* known : {&kNoChallenge, &kForeign, &kOtherStage, &kOtherDifficulty, &kOtherSeed, &kFuture,
                                &kExpired, &kSlowClock, &kUsed}) {
    if (reason == known->Reason) return known->Code;
  }
  if (reason == kDuplicateRunReason) return "already_listed";
  return {};
}

TChallenges::TChallenges(std::string key, bool required, int64_t startWindowMs)
    : fKey(std::move(key)), fRequired(required), fStartWindowMs(startWindowMs) {}

TChallenges::TIssued TChallenges::Issue(std::string_view stageHash, std::string_view difficulty, int64_t nowMs) const {
  const std::string random = SecureRandomBytes(4 + 16);
  TChallenge challenge;
  challenge.StageHash = stageHash;
  challenge.Difficulty = difficulty;
  std::memcpy(&challenge.Seed, random.data(), 4);
  challenge.Nonce = HexOf(std::string_view(random).substr(4));
  challenge.IssuedMs = nowMs;
  return {SignChallenge(challenge, fKey), challenge.Seed, (nowMs + fStartWindowMs) / 1000};
}

TChallengeVerdict TChallenges::Judge(const TVerifiedRun& run, int64_t submittedMs) const {
  using namespace refusal;
  if (!fRequired) return {};
  if (run.Challenge.empty()) return {&kNoChallenge, {}};
  const auto challenge = OpenChallenge(run.Challenge, fKey);
  if (!challenge) return {&kForeign, {}};
  if (challenge->StageHash != run.StageHash) return {&kOtherStage, {}};
  if (challenge->Difficulty != run.Difficulty) return {&kOtherDifficulty, {}};
  if (challenge->Seed != run.Seed) return {&kOtherSeed, {}};
  if (challenge->IssuedMs > submittedMs) return {&kFuture, {}};
  const int64_t wall = submittedMs - challenge->IssuedMs;
  if (run.ClockMs > wall + kClockAheadMs) return {&kSlowClock, {}};
  if (wall > run.ClockMs + fStartWindowMs + kUploadSlackMs) return {&kExpired, {}};
  return {nullptr, challenge->Nonce};
}

int64_t UnixMillis() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}
