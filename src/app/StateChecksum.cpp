// StateChecksum.cpp -- FNV-1a over the bytes of the state that matters.
#include "app/StateChecksum.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "menu/MainMenu.h"
#include "objects/Boss.h"
#include "objects/MediumEnemyManager.h"
#include "objects/ParticleManager.h"
#include "objects/PowerUp.h"
#include "objects/SmallEnemyManager.h"
#include "stage/Level.h"

namespace {

class THash {
 public:
  template <typename T>
  void Add(const T& value) {
    unsigned char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    for (const unsigned char byte : bytes) Byte(byte);
  }
  // Counts go in as 64 bits on every system: size_t is 32 bits in the page.
  void Count(std::size_t count) { Add(static_cast<uint64_t>(count)); }
  void Add(const std::string& text) {
    Count(text.size());
    for (const char ch : text) Byte(static_cast<unsigned char>(ch));
  }
  void Shots(const TParticleManager& shots) {
    Count(shots.Items().size());
    for (const TParticleListItem& shot : shots.Items()) {
      Add(shot.fPos);
      Add(shot.fRoll);
      Add(shot.fAge);
    }
  }
  [[nodiscard]] uint32_t Value() const { return fValue; }

 private:
  void Byte(unsigned char byte) { fValue = (fValue ^ byte) * 16777619u; }
  uint32_t fValue = 2166136261u;
};

void AddStage(THash& h, const TLevel& level) {
  // The stage's name only: a replay runs from another folder.
  h.Add(StageFileName(level.fFileName));
  h.Add(level.fTime);
  h.Add(level.fPos);
  h.Add(level.fRoll);
  h.Add(level.fSpeed);
  h.Add(level.fLife);
  h.Add(level.fScore);
  h.Add(level.fPlayer.Weapon);
  h.Add(level.fPlayer.ShieldTime);
  for (const auto& enemy : level.fSmallEnemy.Manager->fSmallEnemy) {
    h.Add(enemy->fPos);
    h.Add(enemy->fRoll);
    h.Add(enemy->fDead);
  }
  for (const auto& enemy : level.fMediumEnemy.Manager->fMediumEnemys) {
    h.Add(enemy->fPos);
    h.Add(enemy->fRoll);
    h.Add(enemy->fLife);
  }
  h.Shots(*level.fPlayer.ParticleManager);
  h.Shots(level.fSmallEnemy.Manager->fParticleManager);
  h.Shots(level.fMediumEnemy.Manager->fParticleManager);
  h.Shots(level.fBoss->fParticleManager);
  h.Count(level.fPowerUp.List.size());
  h.Add(level.fBoss->fLife);
  h.Add(level.fBoss->fRoll);
  h.Add(level.fBoss->fClock);
  h.Add(static_cast<uint8_t>(level.fFinish.State));
  // Only while paused, so that recordings from before the pause keep their
  // checksums.
  if (level.fPaused) h.Add(uint8_t{1});
  // Likewise only off Normal, which every older recording was made on.
  if (level.fDifficulty != TDifficulty::Normal) {
    h.Add(static_cast<uint8_t>(level.fDifficulty));
    h.Add(level.fPlayer.GraceTime);
  }
  h.Add(level.fFinish.Total);
  h.Add(level.fFinish.NameEntry);
  for (const THighScoreItem& item : level.fFinish.HighScore) {
    h.Add(item.Name);
    h.Add(item.Score);
  }
}

}  // namespace

uint32_t StateChecksum(const TMainMenu& menu) {
  THash h;
  h.Add(menu.fPath);
  h.Add(menu.fSelected);
  h.Add(menu.fFirst);
  h.Add(menu.fCursor);
  if (menu.Level && menu.Level->fActive) AddStage(h, *menu.Level);
  return h.Value();
}

uint32_t StateChecksum(const TLevel& level) {
  THash h;
  AddStage(h, level);
  return h.Value();
}

