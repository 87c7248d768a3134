// Level.cpp -- construction and destruction of the stage object.
#include "stage/Level.h"

#include "objects/Bolt.h"
#include "objects/Boss.h"
#include "objects/MediumEnemyManager.h"
#include "objects/Particle.h"
#include "objects/ParticleManager.h"
#include "objects/PowerUp.h"
#include "objects/Ship.h"
#include "objects/SmallEnemyManager.h"
#include "platform/Platform.h"
#include "render/Font.h"
#include "render/draw/Draw.h"
#include "render/VertexBufferObject.h"
#include "services/FatalError.h"
#include "services/Random.h"
#include "services/Sound.h"

std::string StageFileName(std::string_view path) {
  return std::string(path.substr(path.find_last_of("/\\") + 1));
}

std::string StageName(std::string_view path) {
  std::string name = StageFileName(path);
  if (name.ends_with(".level")) name.resize(name.size() - 6);
  return name;
}

TLevel::TLevel(platform::TPlatform& platform, TTextContextHandle textContext, TRandom& random, TSound& sound)
    : TStageHub(random, sound), fTextContext(textContext), fPlatform(platform) {
  Random().Seed(fPlatform.RandomSeed());
  const std::string folder = ProgramDir() + "sound\\";
  fSounds.Laser = folder + "laser.wav";
  fSounds.Hit0 = folder + "hit_0.wav";
  fSounds.Hit1 = folder + "hit_1.wav";
  fSounds.Hit2 = folder + "hit_2.wav";
  fSounds.BossExplode = folder + "boss_explode.mp3";
  fSounds.MenuChange = folder + "menu_change.wav";
  fSounds.MenuEnter = folder + "menu_enter.wav";
  fSounds.PowerUp = folder + "powerup.wav";
  fSounds.BossTick = folder + "boss_tick.wav";
  fSounds.LowLife = folder + "low_life.wav";
  // Decoded now, at start-up, so that no frame of play waits for a decoder
  // (the boss's explosion is a long compressed file).
  for (const std::string* path : {&fSounds.Laser, &fSounds.Hit0, &fSounds.Hit1, &fSounds.Hit2, &fSounds.BossExplode,
                                  &fSounds.MenuChange, &fSounds.MenuEnter, &fSounds.PowerUp, &fSounds.BossTick,
                                  &fSounds.LowLife})
    Sound().Preload(*path);
  Guarded("Level, Create: Fehler beim erstellen der Fonts", [&] {
    Resize(gfx::GetViewport().Height);
  });
  try {
    fTubeVBO = std::make_unique<TVertexBufferObject>();
    fIntroVBO = std::make_unique<TVertexBufferObject>();
  } catch (const VertexBufferException&) {
    FatalError("VertexBuffer werden nicht unterst\xFCtzt, das Programm wird beendet.");
  } catch (const std::exception&) {
    FatalError("Level, Create: Fehler beim erstellen von 'fTubeVBO'");
  }
  const std::string failed = "Level, Create: Fehler beim erstellen von ";
  Guarded(failed + "'fPlayer.Ship'", [&] { fPlayer.Ship = std::make_unique<TShip>(fPlatform); });
  Guarded(failed + "'fPlayer.Particle'", [&] { fPlayer.Particle = std::make_unique<TParticle>(fPlatform); });
  Guarded(failed + "'fPlayer.ParticleManager'",
          [&] { fPlayer.ParticleManager = std::make_unique<TParticleManager>(*this); });
  Guarded(failed + "'fSmallEnemy.Ship'", [&] { fSmallEnemy.Ship = std::make_unique<TShip>(fPlatform); });
  Guarded(failed + "'fSmallEnemy.Manager'", [&] { fSmallEnemy.Manager = std::make_unique<TSmallEnemyManager>(*this); });
  Guarded(failed + "'fSmallEnemy.Particle'", [&] { fSmallEnemy.Particle = std::make_unique<TParticle>(fPlatform); });
  Guarded(failed + "'fMediumEnemy.Ship'", [&] { fMediumEnemy.Ship = std::make_unique<TShip>(fPlatform); });
  Guarded(failed + "'fMediumEnemy.Manager'",
          [&] { fMediumEnemy.Manager = std::make_unique<TMediumEnemyManager>(*this); });
  Guarded(failed + "'fMediumEnemy.Particle'", [&] { fMediumEnemy.Particle = std::make_unique<TParticle>(fPlatform); });
  Guarded(failed + "'fBoss'", [&] { fBoss = std::make_unique<TBoss>(*this); });
}

void TLevel::Resize(int32_t viewportHeight) {
  const int32_t size = viewportHeight / 20;
  if (fFont && fFont->Size() == size) return;
  fFont = std::make_unique<TglFont>(fTextContext, 0, size, ProgramDir() + "data\\lcd.ttf");
  // Scores, names and the result table use these; none waits for a glyph.
  fFont->Prepare(" !\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`abcdefghijklmnopqrstuvwxyz{|}~");
}

TLevel::~TLevel() {
  // Shots and enemies only refer to the models: free them first.
  fFont.reset();
  fTubeVBO.reset();
  fIntroVBO.reset();
  fPowerUp.List.clear();
  fFinish.HighScore.clear();
  fPlayer.ParticleManager.reset();
  fPlayer.Ship.reset();
  fPlayer.Particle.reset();
  fSmallEnemy.Manager.reset();
  fSmallEnemy.Ship.reset();
  fSmallEnemy.Particle.reset();
  fMediumEnemy.Position.clear();
  fMediumEnemy.Manager.reset();
  fMediumEnemy.Ship.reset();
  fMediumEnemy.Particle.reset();
  fBoss.reset();
  fBolts.clear();
}
