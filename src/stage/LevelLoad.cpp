// LevelLoad.cpp -- reading a stage file and starting the stage.
#include <algorithm>
#include <cmath>
#include <string>

#include "objects/Bolt.h"
#include "objects/Boss.h"
#include "objects/MediumEnemyManager.h"
#include "objects/Particle.h"
#include "objects/ParticleManager.h"
#include "objects/PowerUp.h"
#include "objects/Ship.h"
#include "objects/SmallEnemyManager.h"
#include "platform/Platform.h"
#include "services/DataError.h"
#include "services/FatalError.h"
#include "services/IniFile.h"
#include "services/Language.h"
#include "services/Paths.h"
#include "services/RC4Stream.h"
#include "services/ValueLists.h"
#include "stage/Level.h"

void TLevel::ResetObjects() {
  fPlayer.ParticleManager->Clear();
  fSmallEnemy.Manager->Clear();
  fMediumEnemy.Manager->Clear();
  fBoss->Clear();
  fMediumEnemy.Position.clear();
  while (!fPowerUp.List.empty()) fPowerUp.List.pop_back();
  fBolts.clear();
}

void TLevel::ForgetEarlierStage() {
  fFinish.HighScore.clear();
  // The swarm is placed from fPos while the stage loads, before the load
  // sets it: it starts where a fresh stage object starts.
  fPos = fRoll = fSpeed = fTime = 0;
  fScore = fLife = 0;
  fHits = {};
}

void TLevel::LoadFromFile(const std::string& fileName) {
  ResetObjects();
  TIniFile ini;
  LoadIni(ini, fileName, kLevelKey);

  if (ini.ReadInteger("SplinePoints", "count", 0) == 0) return;
  T3DPoints points;
  Guarded("Level, LoadFromFile: Fehler beim erzeugen und laden von 'fSpline'", [&] {
    points = ReadControlPoints(ini, fileName);
    fSpline.SetPoints(*this, points);
  });

  const TStageSettings s = ReadStageSettings(ini, fileName, points);
  // The title shown as the stage starts, as the menu lists it.
  fTitle = ini.ReadString("Level", "Title", StageName(fileName));
  if (Language() == TLanguage::English) fTitle = ini.ReadString("Level", "TitleEn", fTitle);
  fTubeSize = s.Tube.fTubeSize;
  fCircles = s.Tube.fCircles;
  fPowerUp.Scale = s.PowerUpScale;
  fPointsPerCircle = s.PointsPerCircle;
  fEndLength = s.EndLength;
  fShootInterval = s.ShootInterval;
  fPathLength = s.PathLength;
  fTubeStartColor = s.TubeStartColor;
  fTubeEndColor = s.TubeEndColor;
  fCamera.Height = s.Camera.Height;
  fCamera.Dist = s.Camera.Dist;
  fCamera.EndAngle = s.Camera.EndAngle;
  fCamera.EndHeight = s.Camera.EndHeight;
  fPlayer.MinSpeed = s.Player.MinSpeed;
  fPlayer.MaxSpeed = s.Player.MaxSpeed;
  fPlayer.ParticleLifeTime = s.Player.ParticleLifeTime;
  fPlayer.ShipColor = s.Player.ShipColor;
  fPlayer.ParticleColor = s.Player.ParticleColor;
  fSmallEnemy.MinCreateDist = s.SmallEnemy.MinCreateDist;
  fSmallEnemy.MaxCreateDist = s.SmallEnemy.MaxCreateDist;
  fSmallEnemy.MinRollSpeed = s.SmallEnemy.MinRollSpeed;
  fSmallEnemy.MaxRollSpeed = s.SmallEnemy.MaxRollSpeed;
  fSmallEnemy.MinSpeed = s.SmallEnemy.MinSpeed;
  fSmallEnemy.MaxSpeed = s.SmallEnemy.MaxSpeed;
  fSmallEnemy.ExplodeSize = s.SmallEnemy.ExplodeSize;
  fSmallEnemy.ParticleSpeed = s.SmallEnemy.ParticleSpeed;
  fSmallEnemy.ExplodeTime = s.SmallEnemy.ExplodeTime;
  fSmallEnemy.ShootValue = s.SmallEnemy.ShootValue;
  fSmallEnemy.Color = s.SmallEnemy.Color;
  fSmallEnemy.ParticleColor = s.SmallEnemy.ParticleColor;
  fMediumEnemy.ExplodeSize = s.MediumEnemy.ExplodeSize;
  fMediumEnemy.RollSpeed = s.MediumEnemy.RollSpeed;
  fMediumEnemy.ParticleSpeed = s.MediumEnemy.ParticleSpeed;
  fMediumEnemy.ActionDist = s.MediumEnemy.ActionDist;
  fMediumEnemy.PlayerDist = s.MediumEnemy.PlayerDist;
  fMediumEnemy.ExplodeTime = s.MediumEnemy.ExplodeTime;
  fMediumEnemy.Life = s.MediumEnemy.Life;
  fMediumEnemy.ShootValue = s.MediumEnemy.ShootValue;
  fMediumEnemy.Color = s.MediumEnemy.Color;
  fMediumEnemy.ParticleColor = s.MediumEnemy.ParticleColor;
  fBoss->fRollSpeed = s.Boss.RollSpeed;
  fBoss->fLife = s.Boss.Life;
  fBoss->fMaxLife = s.Boss.Life;
  fBoss->fColor = s.Boss.Color;
  fBoss->fParticleColor = s.Boss.ParticleColor;

  fSmallEnemy.Manager->SetCount(s.SmallEnemy.Count);

  // Model paths as written in the stage file are taken relative to the
  // program's folder, so the game finds them wherever it is started from.
  const std::string dir = ProgramDir();
  auto load = [&](TParticle& model, const TStageSettings::TModelRef& ref) {
    model.LoadFromFile(ProgramPath(dir, ref.File));
    model.fScale = ref.Scale;
  };
  load(*fPlayer.Ship, s.Player.Ship);
  fPlayer.Ship->CalcExtents(*this);
  load(*fSmallEnemy.Ship, s.SmallEnemy.Ship);
  fSmallEnemy.Ship->CalcExtents(*this);
  load(*fMediumEnemy.Ship, s.MediumEnemy.Ship);
  fMediumEnemy.Ship->CalcExtents(*this);
  load(*fPlayer.Particle, s.Player.Particle);
  load(*fSmallEnemy.Particle, s.SmallEnemy.Particle);
  load(*fMediumEnemy.Particle, s.MediumEnemy.Particle);
  fBoss->fModel->fScale = s.Boss.Model.Scale;
  fBoss->LoadFromFile(ProgramPath(dir, s.Boss.Model.File));

  fMediumEnemy.Position = s.MediumEnemy.Position;
  fMediumEnemy.Manager->SetPositions(fMediumEnemy.Position);

  for (const TPowerUp& powerUp : s.PowerUps) fPowerUp.List.push_back(std::make_unique<TPowerUp>(powerUp));
  fPowerUp.Angle = s.PowerUpAngle;
  fPowerUp.Length = s.PowerUpLength;

  fPlayer.Radius = 0;
  for (const TVector3f& v : fPlayer.Ship->fVertices)
    fPlayer.Radius = std::max({fPlayer.Radius, std::fabs(v.x), std::fabs(v.z)});

  fLifeVisible = true;
  fFinish.NameEntry = false;
  fLifeBlinkTime = 0;
  fFeedback = TFeedback{};
  fScore = 0;
  fRoll = 0;
  fTime = 0;
  fPlayer.Weapon = 0;
  fPlayer.ShieldTime = 0;
  fPlayer.GraceTime = 0;
  fPlayer.ShieldVisible = false;
  fFinish.Time = 0;
  fEndPos = 0;
  fEndRoll = 0;
  fArenaHint = s.ArenaHint;
  fArenaHintText = ArenaHintText(fControls);
  fArenaTime = -1;
  fAutoFireOn = false;
  fLife = 100;
  fHits = {};
  fPos = -20.0f / static_cast<float>(fCircles);
  fFileName = fileName;
  fSpeed = fPlayer.MinSpeed;
  fShootTime = fShootInterval - 1;
  fFinish.State = TFinishState::Running;
  fKeyLatch.Clear();
  fPadLatch.Clear();
  fFinish.PadArmed = false;
  fFinish.Saved = false;
  fFinish.Qualifies = false;
  fFinish.RetryAfterName = false;
  fPaused = false;
  fProgressReported.fill(false);
  fPlayer.ShieldBlinkTime = 0;
  fFinish.CountTime = 0;
  fFinish.CursorTime = 0;
  fFinish.CursorVisible = false;
  fFinish.EntryIndex = 0;
  fFinish.Points = fFinish.LifeBonus = fFinish.TimeBonus = fFinish.Total = 0;

  BuildTube();
  BuildRings();
  BuildBolts();

  const platform::TScreenSize client = fPlatform.ClientSize();
  fPlatform.SetCursorPos(client.Width / 2, client.Height / 2);
  fActive = true;
}
