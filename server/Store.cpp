// Store.cpp -- choosing the store a --db value names, and what both stores
// share.
#include "Store.h"

#include <openssl/evp.h>

#include "PgStore.h"
#include "SqliteStore.h"

std::unique_ptr<TRunStore> OpenStore(const std::string& where) {
  if (where.rfind("postgresql://", 0) == 0 || where.rfind("postgres://", 0) == 0) {
    return std::make_unique<TPgStore>(where);
  }
  return std::make_unique<TSqliteStore>(where);
}

std::string Sha256Hex(std::string_view bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr) != 1) {
    throw EStoreError("SHA-256 failed");
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 15];
  }
  return hex;
}

const char* StatusName(TRunStatus status) {
  switch (status) {
    case TRunStatus::Queued: return "queued";
    case TRunStatus::Verified: return "verified";
    case TRunStatus::Refused: return "refused";
  }
  return "queued";
}

std::optional<TRunStatus> StatusFromName(std::string_view name) {
  if (name == "queued") return TRunStatus::Queued;
  if (name == "verified") return TRunStatus::Verified;
  if (name == "refused") return TRunStatus::Refused;
  return std::nullopt;
}
