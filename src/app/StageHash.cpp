// StageHash.cpp -- deciphering a stage file in memory and hashing its rules.
#include "app/StageHash.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "services/Difficulty.h"
#include "services/IniFile.h"
#include "services/RC4Stream.h"
#include "services/Sha256.h"

namespace {

// The bytes of a stage file as a stream to decipher from.
class TBytesStream final : public TStream {
 public:
  explicit TBytesStream(std::string_view bytes) : fBytes(bytes) {}
  int64_t Read(void* buffer, int64_t count) override {
    const int64_t size = static_cast<int64_t>(fBytes.size());
    const int64_t n = std::clamp<int64_t>(std::min(count, size - fPosition), 0, size);
    std::memcpy(buffer, fBytes.data() + fPosition, static_cast<std::size_t>(n));
    fPosition += n;
    return n;
  }
  int64_t Write(const void*, int64_t) override { throw EStreamError("Stage-Bytes sind nur lesbar"); }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    const int64_t from = origin == TSeekOrigin::Beginning ? 0
                         : origin == TSeekOrigin::Current ? fPosition
                                                          : static_cast<int64_t>(fBytes.size());
    fPosition = std::clamp<int64_t>(from + offset, 0, static_cast<int64_t>(fBytes.size()));
    return fPosition;
  }
  int64_t GetSize() override { return static_cast<int64_t>(fBytes.size()); }

 private:
  std::string_view fBytes;
  int64_t fPosition = 0;
};

}  // namespace

std::string StageRulesText(std::string_view fileBytes) {
  TBytesStream bytes(fileBytes);
  TIniFile ini;
  LoadIniFromStream(ini, bytes, kLevelKey);
  for (const TDifficultyRules& rules : kDifficulties) ini.EraseSection(rules.HighscoreSection);
  ini.DeleteKey("Level", "Active");
  return ini.GetText();
}

uint64_t StageRulesHash(std::string_view fileBytes) {
  uint64_t hash = 0xcbf29ce484222325ULL;
  for (const char ch : StageRulesText(fileBytes)) {
    hash ^= static_cast<uint8_t>(ch);
    hash *= 0x100000001b3ULL;
  }
  return hash;
}

std::string StageSha256(std::string_view fileBytes) { return Sha256Hex(StageRulesText(fileBytes)); }

std::string StageHashText(uint64_t hash) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}
