// LevelFeedback.cpp -- what the stage shows and plays on top of its own
// picture and sounds, so that the player sees what just happened: a hit on
// the ship, a power-up taken, a hit on the boss, life running low.
//
// Everything here only watches the game: it reads life, the boss's life
// and the power-ups after the frame's rules ran and keeps its own timers,
// which nothing but drawing and sound reads. With fClassic it still keeps
// them (so that the state is the same either way) but neither draws nor
// plays anything.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "objects/Boss.h"
#include "objects/PowerUp.h"
#include "render/draw/Draw.h"
#include "services/Language.h"
#include "services/Sound.h"
#include "stage/Level.h"
#include "stage/StageRules.h"

namespace {

// The red glow at the screen's edge fades out over this long after a hit.
constexpr float kHitFlashMs = 300;
constexpr float kHitFlashAlpha = 0.6f;
// Its depth, as a share of the window's shorter side.
constexpr float kHitFlashDepth = 0.09f;
// The ship blinks white for this long after a hit, white and its own
// colour taking turns every kHitBlinkPeriodMs.
constexpr float kHitBlinkMs = 480;
constexpr float kHitBlinkPeriodMs = 60;
// A hit on the boss flashes its model white this long.
constexpr float kBossFlashMs = 80;
// Under a heavy volley the boss is hit every frame: one tick at most this
// often, so that the ticks stay ticks and do not become a buzz.
constexpr float kBossTickGapMs = 70;
// What a power-up gave stays under the HUD's row this long, fading out over
// the last kNoteFadeMs.
constexpr float kNoteMs = 1800;
constexpr float kNoteFadeMs = 400;
// Below this much life the life bar blinks and the warning sounds.
constexpr int32_t kLowLife = 20;

// With fewer flashes (fReduceFlash): the glows of a hit rise in no less
// than kGlowRiseMs and fall in no less than kGlowFallMs, so a full swing
// takes 0.8 s and nothing swings fully more than 1.25 times a second; they
// show at a share of the full flash's strength.
constexpr float kGlowRiseMs = 200;
constexpr float kGlowFallMs = 600;
constexpr float kCalmEdgeShare = 0.6f;
constexpr float kCalmBossShare = 0.6f;
constexpr float kCalmShipShare = 0.7f;
// Blinking marks blink once a second, shown for the first kCalmBlinkOnMs.
constexpr float kCalmBlinkMs = 1000;
constexpr float kCalmBlinkOnMs = 600;

constexpr int kBossTickVolume = 60;
constexpr int kPowerUpVolume = 80;
constexpr int kLowLifeVolume = 80;

// Seconds in German notation: "5", "2,5".
std::string Seconds(int32_t ms) {
  char text[32];
  if (ms % 1000 == 0) {
    std::snprintf(text, sizeof text, "%d", ms / 1000);
  } else {
    std::snprintf(text, sizeof text, "%.1f", ms / 1000.0);
    for (char* c = text; *c; ++c) {
      if (*c == '.') *c = ',';
    }
  }
  return text;
}

}  // namespace

void TLevel::ProgressFeedback(float dt, int32_t hitsBefore, int32_t bossLifeBefore) {
  TFeedback& f = fFeedback;
  for (float* since : {&f.SinceHit, &f.SinceBossHit, &f.SinceBossTick, &f.SinceNote})
    *since = std::min(*since + dt, kFeedbackIdleMs);

  if (fHits.Total() != hitsBefore) f.SinceHit = 0;
  if (fBoss->fLife < bossLifeBefore) f.SinceBossHit = 0;
  auto follow = [dt](float& glow, bool on) {
    glow = on ? std::min(glow + dt / kGlowRiseMs, 1.0f) : std::max(glow - dt / kGlowFallMs, 0.0f);
  };
  follow(f.HitGlow, f.SinceHit < kHitFlashMs);
  follow(f.BossGlow, f.SinceBossHit < kBossFlashMs);
  if (f.NoteTaken) {
    f.NoteTaken = false;
    f.SinceNote = 0;
    if (!fClassic) Sound().Play(fSounds.PowerUp, false, kPowerUpVolume);
  }
  if (fBoss->fLife < bossLifeBefore) {
    if (f.SinceBossTick >= kBossTickGapMs) {
      f.SinceBossTick = 0;
      if (!fClassic) Sound().Play(fSounds.BossTick, false, kBossTickVolume);
    }
  }
  // Once on the way down; again only after life was back at the mark. Not
  // for the hit that ends the game: the game-over screen says enough.
  if (fLife >= kLowLife) {
    f.LowLifeWarned = false;
  } else if (!f.LowLifeWarned && fLife > 0) {
    f.LowLifeWarned = true;
    if (!fClassic) Sound().Play(fSounds.LowLife, false, kLowLifeVolume);
  }
}

void TLevel::NotePowerUp(const TPowerUp& powerUp, int32_t lifeBefore, int32_t weaponBefore) {
  TFeedback& f = fFeedback;
  f.NoteTaken = true;
  switch (powerUp.Kind) {
    case kPowerUpLife: {
      const int32_t gained = fLife - lifeBefore;
      f.Note = gained == 0 ? std::string(Tr("Leben voll"))
                          : (gained > 0 ? "+" : "") + std::to_string(gained) + std::string(Tr(" Leben"));
      f.NoteColor = {1, 0.35f, 0.35f, 1};
      break;
    }
    case kPowerUpWeapon:
      // Levels count from 1 for the player: the first volley is level 1.
      f.Note = fPlayer.Weapon == weaponBefore && weaponBefore == kMaxWeapon
                   ? std::string(Tr("Waffe voll"))
                   : std::string(Tr("Waffe Stufe ")) + std::to_string(fPlayer.Weapon + 1);
      f.NoteColor = {0.35f, 1, 0.35f, 1};
      break;
    default:
      f.Note = std::string(Tr("Schild ")) + Seconds(powerUp.Value) + " s";
      f.NoteColor = {0.45f, 0.65f, 1, 1};
      break;
  }
}

float TLevel::NoteAlpha() const {
  const float t = fFeedback.SinceNote;
  if (fClassic || t >= kNoteMs || fFinish.State != TFinishState::Running) return 0;
  return std::min(1.0f, (kNoteMs - t) / kNoteFadeMs);
}

float TLevel::BossFlash() const {
  if (fClassic) return 0;
  if (fReduceFlash) return kCalmBossShare * fFeedback.BossGlow;
  return fFeedback.SinceBossHit < kBossFlashMs ? 1 : 0;
}

TVector4f TLevel::ShipColorNow() const {
  const TVector4f own{fPlayer.ShipColor.r, fPlayer.ShipColor.g, fPlayer.ShipColor.b, 1};
  if (fClassic) return own;
  if (fReduceFlash) {
    const float k = kCalmShipShare * fFeedback.HitGlow;
    return {own.r + (1 - own.r) * k, own.g + (1 - own.g) * k, own.b + (1 - own.b) * k, 1};
  }
  const float t = fFeedback.SinceHit;
  const bool white = t < kHitBlinkMs && static_cast<int>(t / kHitBlinkPeriodMs) % 2 == 0;
  return white ? TVector4f{1, 1, 1, 1} : own;
}

bool TLevel::LifeBarShown() const {
  if (!fReduceFlash) return fLifeVisible;
  return fLife >= kLowLife || std::fmod(fTime, kCalmBlinkMs) < kCalmBlinkOnMs;
}

bool TLevel::ShieldShown() const {
  if (!fReduceFlash) return fPlayer.ShieldVisible;
  const float t = fPlayer.ShieldTime;
  // Counted down from the shield's last two seconds, as its blinking is.
  return t > 0 && (t >= 2000 || std::fmod(t, kCalmBlinkMs) >= kCalmBlinkMs - kCalmBlinkOnMs);
}

void TLevel::RenderHitFlash(float w, float h) const {
  const float t = fFeedback.SinceHit;
  if (fClassic) return;
  if (!fReduceFlash && t >= kHitFlashMs) return;
  const float a = fReduceFlash ? kHitFlashAlpha * kCalmEdgeShare * fFeedback.HitGlow : kHitFlashAlpha * (1 - t / kHitFlashMs);
  if (!(a > 0)) return;
  const float d = kHitFlashDepth * std::min(w, h);
  // Four bands, each from opaque red at the edge to clear inside, meeting
  // at the corners' diagonals. Wound as the overlay's front faces.
  auto corner = [](float x, float y, float alpha) {
    gfx::Color(1, 0, 0, alpha);
    gfx::Vertex(x, y);
  };
  gfx::Enable(gfx::TCap::Blend);
  gfx::BlendFunc(gfx::TBlend::Alpha);
  gfx::Begin(gfx::TPrimitive::Quads);
  corner(0, 0, a), corner(d, d, 0), corner(w - d, d, 0), corner(w, 0, a);              // top
  corner(d, h - d, 0), corner(0, h, a), corner(w, h, a), corner(w - d, h - d, 0);      // bottom
  corner(0, 0, a), corner(0, h, a), corner(d, h - d, 0), corner(d, d, 0);              // left
  corner(w - d, d, 0), corner(w - d, h - d, 0), corner(w, h, a), corner(w, 0, a);      // right
  gfx::End();
}
