// StagePlay.cpp -- driving a test stage.
#include "support/StagePlay.h"

#include <cstdlib>

#include "objects/Bolt.h"
#include "objects/Boss.h"
#include "objects/MediumEnemyManager.h"
#include "objects/ParticleManager.h"
#include "objects/SmallEnemyManager.h"
#include "render/Font.h"
#include "services/Random.h"
#include "services/Sound.h"
#include "support/StageFiles.h"

TSilentLevel::TSilentLevel(platform::TPlatform& platform)
    : TLevel(platform, CreateTextContext(), QuietRandom, NoSound) {}

bool DummyAudio() {
#ifdef _WIN32
  if (!std::getenv("SDL_AUDIODRIVER")) ::_putenv_s("SDL_AUDIODRIVER", "dummy");
#else
  ::setenv("SDL_AUDIODRIVER", "dummy", 0);
#endif
  return true;
}

TStagePlay::TStagePlay(int width, int height) : Window(width, height) {
  Input.Base = RV_BIN_DIR "/";
  Level = std::make_unique<TLevel>(Input, CreateTextContext(), Random, Sound);
  Random.Seed(20261207);
}

TStagePlay::~TStagePlay() { Level.reset(); }

void TStagePlay::Load(const std::map<std::string, std::string>& values) {
  StageFile = WriteStage(Dir, values);
  Level->LoadFromFile(StageFile);
}

std::map<std::string, std::string> TStagePlay::Empty(std::map<std::string, std::string> values) {
  // A list item counts only with its ';': "-" is a list without items.
  values.try_emplace("SmallEnemy/Count", "0");
  values.try_emplace("MediumEnemy/Position", "-");
  values.try_emplace("Level/PowerUpPos", "-");
  return values;
}

void TStagePlay::FlyTo(float pos) {
  Level->fTime = 5000;
  Level->fPos = pos;
  Level->fBolts.clear();
}

void TStagePlay::Press(int vk, float ms) {
  Input.SetKey(vk, true);
  Frame(ms);
  Input.SetKey(vk, false);
  Frame(ms);
}

uint64_t TStagePlay::ShotsFired() const {
  return Level->fPlayer.ParticleManager->Added() + Level->fSmallEnemy.Manager->fParticleManager.Added() +
         Level->fMediumEnemy.Manager->fParticleManager.Added() + Level->fBoss->fParticleManager.Added();
}
