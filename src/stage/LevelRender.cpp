// LevelRender.cpp -- drawing a running stage: camera, ship, start animation,
// tube, objects and the HUD.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "geometry/SimMath.h"
#include "objects/Bolt.h"
#include "objects/Boss.h"
#include "objects/MediumEnemyManager.h"
#include "objects/ParticleManager.h"
#include "objects/PowerUp.h"
#include "objects/Ship.h"
#include "objects/SmallEnemyManager.h"
#include "render/Font.h"
#include "render/FrameSetup.h"
#include "render/draw/Draw.h"
#include "render/TubeTransform.h"
#include "render/VertexBufferObject.h"
#include "services/Arith.h"
#include "services/FatalError.h"
#include "services/Language.h"
#include "services/ValueLists.h"
#include "stage/InputTexts.h"
#include "stage/Level.h"
#include "stage/StageRules.h"

namespace {

constexpr double kDegrees = 180.0 / M_PI;

// Scores are shown as unsigned 32-bit numbers, zero-padded.
std::string Pad(int64_t value, std::size_t width) {
  return PadLeft(std::to_string(static_cast<uint32_t>(value)), '0', width);
}

// Life and the boss's share, zero-padded. A hit in the last frame can take
// either below 0: what is left is shown as none, never as "0-1".
std::string PadCount(int64_t value, std::size_t width) {
  return PadLeft(std::to_string(std::max<int64_t>(value, 0)), '0', width);
}


// A bar from red on the left to (0, g, 0) on the right.
void GradientBar(float width, float height, float green) {
  gfx::Begin(gfx::TPrimitive::Quads);
  gfx::Color(1, 0, 0, 1);
  gfx::Vertex(0, 0);
  gfx::Vertex(0, height);
  gfx::Color(0, green, 0);
  gfx::Vertex(width, height);
  gfx::Vertex(width, 0);
  gfx::End();
}

void Quad(float x0, float y0, float x1, float y1) {
  gfx::Begin(gfx::TPrimitive::Quads);
  gfx::Vertex(x0, y0);
  gfx::Vertex(x0, y1);
  gfx::Vertex(x1, y1);
  gfx::Vertex(x1, y0);
  gfx::End();
}

void LineLoop(int points, float (*x)(double), float (*y)(double), float (*z)(double)) {
  gfx::Begin(gfx::TPrimitive::LineLoop);
  for (int i = 0; i < points; ++i) {
    const double t = i * 2 * M_PI / points;
    gfx::Vertex(x(t), y(t), z(t));
  }
  gfx::End();
}

}  // namespace

void TLevel::Render() {
  RenderCamera();

  RenderShip();

  gfx::Enable(gfx::TCap::Blend);
  gfx::BlendFunc(gfx::TBlend::Alpha);
  gfx::LineWidth(1);
  RenderStart();

  Guarded("Level, Render: Fehler beim Zeichnen der Blitze", [&] {
    for (const auto& bolt : fBolts) {
      if (bolt) bolt->Render(fReduceFlash);
    }
  });

  if (ShipPos() > 0) {
    gfx::Color(fPlayer.ParticleColor.r, fPlayer.ParticleColor.g, fPlayer.ParticleColor.b, 1);
    fPlayer.ParticleManager->Render();
    fSmallEnemy.Manager->Render();
    fMediumEnemy.Manager->Render();
    fBoss->Render(BossFlash());
    for (const auto& powerUp : fPowerUp.List) {
      gfx::PushMatrix();
      ApplyTubeTransform(fSpline, powerUp->Pos, powerUp->Roll);
      DrawPowerUp(*powerUp);
      gfx::PopMatrix();
    }
  }

  RenderHud();
}

void TLevel::RenderShip() {
  // The player's ship, with its shield dome.
  gfx::PushMatrix();
  ApplyTubeTransform(fSpline, ShipPos(), fRoll);
  const TVector4f ship = ShipColorNow();
  gfx::Color(ship.r, ship.g, ship.b, 1);
  gfx::LineWidth(2);
  fPlayer.Ship->Render();
  if (ShieldShown()) {
    gfx::Color(0, 0, 1, 1);
    DrawShield();
  }
  gfx::PopMatrix();
}

void TLevel::DrawShield() const {
  gfx::Translate(0, -0.05f * fTubeSize, 0);
  gfx::Rotate(fPlayer.ShieldTime / 10, 0, 1, 0);
  const float scale = fPlayer.Ship->fScale * fPlayer.Radius;
  gfx::Scale(scale, scale, scale);
  for (double b : {0.0, 30.0, 60.0}) {
    const double latitude = b / kDegrees;
    gfx::Begin(gfx::TPrimitive::LineLoop);
    for (int j = 0; j < 12; ++j) {
      const double a = j * 30.0 / kDegrees;
      gfx::Vertex(static_cast<float>(simmath::Cos(a) * simmath::Cos(latitude)), static_cast<float>(simmath::Sin(latitude)),
                 static_cast<float>(simmath::Sin(a) * simmath::Cos(latitude)));
    }
    gfx::End();
  }
  for (int k = 0; k < 6; ++k) {
    gfx::Begin(gfx::TPrimitive::LineStrip);
    for (int j = 0; j <= 6; ++j) {
      const double a = j * 30.0 / kDegrees;
      gfx::Vertex(static_cast<float>(simmath::Cos(a)), static_cast<float>(simmath::Sin(a)), 0);
    }
    gfx::End();
    gfx::Rotate(30, 0, 1, 0);
  }
}

TLevel::TCameraSteps TLevel::CameraSteps(double p) const {
  const bool endFlight = fEndPos != 0;
  const double v = std::max(p - 1, 0.0);
  const double f = simmath::Pow(v + 1, 50.0);
  double r = endFlight ? fRoll / 4.0 : fRoll;
  if (p > 1) r /= simmath::Pow(p, 50.0);
  const double k = endFlight ? v / (static_cast<double>(fEndLength) / fCircles) : 0.0;
  TSplineFrame frame;
  fSpline.GetFrame(1.0f / static_cast<float>(fCircles), static_cast<float>(p), frame);
  TCameraSteps steps;
  steps.Lift = static_cast<float>(fTubeSize * f - fTubeSize * fCamera.Height);
  steps.Roll = static_cast<float>(r);
  steps.Drop = static_cast<float>(-fTubeSize * (f - 1) - fCamera.EndHeight * k * fTubeSize);
  steps.Pitch = static_cast<float>(frame.Pitch * kDegrees + fCamera.EndAngle * k);
  steps.Yaw = static_cast<float>(frame.Yaw * kDegrees);
  steps.Position = frame.Position;
  return steps;
}

void TLevel::RenderCamera() {
  const double p = CameraPos();
  const TCameraSteps c = CameraSteps(p);
  gfx::Translate(0, c.Lift, 0);
  gfx::Rotate(c.Roll, 0, 0, 1);
  gfx::Translate(0, c.Drop, 0);
  gfx::Rotate(c.Pitch, 1, 0, 0);
  gfx::Rotate(c.Yaw, 0, 1, 0);
  gfx::Translate(-c.Position.x, -c.Position.y, -c.Position.z);
}

namespace {

gfx::TMatrix Rotation(float degrees, float x, float y, float z) {
  return gfx::RotationMatrix(degrees, x, y, z).value_or(gfx::TranslationMatrix(0, 0, 0));
}

}  // namespace

TLevel::TShipOutside TLevel::ShipOutside(double p, const std::array<float, 16>& view, const TSafeArea& area) const {
  const TCameraSteps c = CameraSteps(p);
  gfx::TMatrix m = gfx::Multiply(view, gfx::TranslationMatrix(0, c.Lift, 0));
  m = gfx::Multiply(m, Rotation(c.Roll, 0, 0, 1));
  m = gfx::Multiply(m, gfx::TranslationMatrix(0, c.Drop, 0));
  m = gfx::Multiply(m, Rotation(c.Pitch, 1, 0, 0));
  m = gfx::Multiply(m, Rotation(c.Yaw, 0, 1, 0));
  m = gfx::Multiply(m, gfx::TranslationMatrix(-c.Position.x, -c.Position.y, -c.Position.z));
  m = gfx::Multiply(m, fSpline.TubeTransform(ShipPos(), fRoll));
  const float scale = fPlayer.Ship->fScale;
  m = gfx::Multiply(m, gfx::ScalingMatrix(scale, scale, scale));
  // The box round the ship's points in pixels; a point behind the camera
  // is far below.
  TShipOutside out;
  float left = area.Right, right = area.Left, top = area.Bottom, bottom = area.Top;
  for (const TVector3f& v : fPlayer.Ship->fVertices) {
    const float cw = m[3] * v.x + m[7] * v.y + m[11] * v.z + m[15];
    if (cw < 1e-4f) {
      out.Below = 1e9f;
      return out;
    }
    const float cx = (m[0] * v.x + m[4] * v.y + m[8] * v.z + m[12]) / cw;
    const float cy = (m[1] * v.x + m[5] * v.y + m[9] * v.z + m[13]) / cw;
    const float x = (cx + 1) / 2 * area.Width;
    const float y = (1 - cy) / 2 * area.Height;  // from the top
    left = std::min(left, x);
    right = std::max(right, x);
    top = std::min(top, y);
    bottom = std::max(bottom, y);
  }
  out.Aside = std::max(area.Left - left, 0.0f) + std::max(right - area.Right, 0.0f);
  out.Above = std::max(area.Top - top, 0.0f);
  out.Below = std::max(bottom - area.Bottom, 0.0f);
  return out;
}

double TLevel::CameraPos() const {
  if (fEndPos == 0) return fPos;
  if (fClassic || fPlayer.Ship->fVertices.empty()) return fEndPos;
  // In the arena the camera flies on by itself while the ship moves back
  // and forth: where the ship would leave the picture (or hide under the
  // HUD's bars), the camera moves along the path just as far as it takes,
  // back to lift the ship into the picture, forward to bring it down.
  const gfx::TRect viewport = gfx::GetViewport();
  if (viewport.Width <= 0 || viewport.Height <= 0) return fEndPos;
  const float w = static_cast<float>(viewport.Width), h = static_cast<float>(viewport.Height);
  const float s = fFont ? static_cast<float>(fFont->Size()) : h / 20;
  const float margin = 0.15f * s;
  const TSafeArea area{w, h, margin, w - margin, s + margin, h - 1.1f * s - margin};
  const gfx::TMatrix view = gfx::Multiply(gfx::GetMatrix(gfx::TMatrixStack::Projection),
                                          gfx::GetMatrix(gfx::TMatrixStack::ModelView));
  const double from = fEndPos;
  const TShipOutside there = ShipOutside(from, view, area);
  if (there.Total() == 0) return from;
  const double ring = 1.0 / fCircles;
  const double to = there.Above > there.Below ? ShipPos() - ring : ShipPos() - kCameraBackRings * ring;
  // The first of evenly spaced places toward `to` where the ship is in
  // view, refined between it and the one before; where none is, the place
  // where least of it is out.
  constexpr int kSteps = 64;
  double best = from, bestOutside = there.Total();
  double before = from;
  for (int i = 1; i <= kSteps; ++i) {
    const double at = from + (to - from) * i / kSteps;
    const float outside = ShipOutside(at, view, area).Total();
    if (outside == 0) {
      double out = before, in = at;
      for (int j = 0; j < 16; ++j) {
        const double mid = (out + in) / 2;
        (ShipOutside(mid, view, area).Total() == 0 ? in : out) = mid;
      }
      return in;
    }
    if (outside < bestOutside) {
      bestOutside = outside;
      best = at;
    }
    before = at;
  }
  return best;
}

void TLevel::RenderStart() {
  const int32_t p = fPointsPerCircle;
  if (fTime <= 3000) {
    gfx::Color(fTubeStartColor.r, fTubeStartColor.g, fTubeStartColor.b, 1);
    TSplineFrame frame;
    fSpline.GetFrame(1.0f / static_cast<float>(fCircles), 0, frame);
    const double sx = std::min(fTime / 1500.0, 1.0);
    const double sy = std::max((fTime - 1500.0) / 1500.0, 0.0);
    std::vector<TVector3f> ring(static_cast<std::size_t>(p));
    for (int32_t i = 0; i < p; ++i) {
      const double a = i * 2 * M_PI / p - M_PI / 2;
      const double x0 = simmath::Cos(a) * fTubeSize * sx;
      const double y0 = simmath::Sin(a) * fTubeSize * sy;
      ring[static_cast<std::size_t>(i)] = {
          static_cast<float>(simmath::Cos(frame.Yaw) * x0 + simmath::Sin(frame.Yaw) * simmath::Sin(frame.Pitch) * y0 + frame.Position.x),
          static_cast<float>(simmath::Cos(frame.Pitch) * y0 + frame.Position.y),
          static_cast<float>(simmath::Sin(frame.Yaw) * x0 - simmath::Cos(frame.Yaw) * simmath::Sin(frame.Pitch) * y0 + frame.Position.z)};
    }
    // The gate's lightning follows the opening ring.
    Guarded("Level, Render: Fehler beim Update der Blitze", [&] {
      for (int32_t i = 0; i < p; ++i) {
        const TVector3f& point = ring[static_cast<std::size_t>(i)];
        const std::size_t radial = static_cast<std::size_t>(i) + 1;
        if (radial < fBolts.size() && fBolts[radial]) {
          fBolts[radial]->fControlPoints.at(0) = point;
          fBolts[radial]->Build();
        }
        if (!fBolts.empty() && fBolts[0]) {
          fBolts[0]->fControlPoints.at(static_cast<std::size_t>(i)) = point;
          if (i == 0) fBolts[0]->fControlPoints.at(static_cast<std::size_t>(p)) = point;
          fBolts[0]->Build();
        }
      }
    });
    gfx::Begin(gfx::TPrimitive::LineLoop);
    for (const TVector3f& point : ring) gfx::Vertex(point.x, point.y, point.z);
    gfx::End();
  }

  if (fTime > 3000 && fTime < 8000 && !fRings.empty()) {
    const double g = std::min((fTime - 3000) / 5000.0, 1.0);
    const int64_t n = RoundToInt32(g * static_cast<double>(fRings.size() - 1));
    // Rings more than 25 behind the front are fully opaque: one call draws
    // them, in the same order as the fading front below.
    const int64_t opaque = n - 25;
    int64_t first = 0;
    if (opaque >= 0) {
      const auto perRing = static_cast<int>(4 * p);
      const int count = 2 * p + static_cast<int>(opaque) * perRing;
      fIntroVBO->Draw(gfx::TPrimitive::Lines, 0, count);
      first = opaque + 1;
    }
    for (int64_t i = first; i <= n; ++i) {
      const TTubeRing& ring = fRings[static_cast<std::size_t>(i)];
      const float q = std::clamp(static_cast<float>(n - i) / 25.0f, 0.0f, 1.0f);
      gfx::Color(ring.Color.r, ring.Color.g, ring.Color.b, ring.Color.a * q);
      gfx::Begin(gfx::TPrimitive::LineLoop);
      for (const TVector3f& v : ring.Points) gfx::Vertex(v.x, v.y, v.z);
      gfx::End();
      if (i > 0) {
        const TTubeRing& previous = fRings[static_cast<std::size_t>(i - 1)];
        gfx::Begin(gfx::TPrimitive::Lines);
        for (std::size_t j = 0; j < ring.Points.size(); ++j) {
          gfx::Vertex(previous.Points[j].x, previous.Points[j].y, previous.Points[j].z);
          gfx::Vertex(ring.Points[j].x, ring.Points[j].y, ring.Points[j].z);
        }
        gfx::End();
      }
    }
  }

  if (fTime >= 8000) fTubeVBO->DrawVisible(gfx::TPrimitive::LineStrip);
}

std::vector<THudText> TLevel::HudTexts(float w, float h, float s) const {
  std::vector<THudText> texts;
  HudTexts(w, h, s, texts);
  return texts;
}

void TLevel::HudTexts(float w, float h, float s, std::vector<THudText>& texts) const {
  // Written into the texts' own storage: a frame of flight allocates nothing.
  const bool hint = !fClassic && fArenaHint && fArenaTime >= 0 && fTime - fArenaTime < kArenaHintMs &&
                    fFinish.State == TFinishState::Running;
  const bool title = TitleShown();
  texts.resize((fPos > 1 ? 3 : 2) + (hint ? 1 : 0) + (title ? 1 : 0));
  auto set = [](THudText& text, std::string_view prefix, const std::string& number, std::string_view suffix, int32_t alignment,
                float left, float top, float width, float height) {
    text.Text.assign(prefix).append(number).append(suffix);
    text.Alignment = alignment;
    text.Left = left;
    text.Top = top;
    text.Width = width;
    text.Height = height;
  };
  set(texts[0], "", Pad(fScore, 10), " Points", kAlignRight, 0, 0, w - s / 5, s);
  set(texts[1], "Life: ", PadCount(fLife, 3), "", kAlignLeft, s / 5, 0, w, s);
  if (fPos > 1) {
    const double b = static_cast<double>(fBoss->fLife) / fBoss->fMaxLife;
    set(texts[2], "Boss: ", PadCount(RoundToInt32(b * 100), 3), "", kAlignCentre, 0, h - 1.1f * s, w, s);
  }
  // The arena's moves, which nothing else on screen tells: backing away
  // outruns a boss's walls.
  if (hint) set(texts[texts.size() - (title ? 2 : 1)], fArenaHintText.c_str(), "", "", kAlignCentre, 0, 1.2f * s, w, s);
  // The stage's name over the opening gate.
  if (title) set(texts.back(), fTitle.c_str(), "", "", kAlignCentre, 0, 0.3f * h, w, s);
}

bool TLevel::TitleShown() const {
  return !fClassic && !fTitle.empty() && fTime < kTitleMs && fFinish.State == TFinishState::Running;
}

std::vector<THudText> TLevel::PauseTexts(float w, float h, float s) const {
  if (!fPaused) return {};
  const TBinding& pause = fControls[TAction::Pause];
  const TBinding& fire = fControls[TAction::Fire];
  return {{std::string(Tr("Pause")), kAlignCentre, 0, h / 2 - 1.5f * s, w, s},
          {FillText(kTextPauseHelp, {KeyShownName(pause.Key), PadButtonShownName(pause.Pad),
                                     KeyShownName(fControls[TAction::Leave].Key)}),
           kAlignCentre, 0, h / 2, w, s},
          {FillText(kTextPauseFire, {KeyShownName(fire.Key), PadButtonShownName(fire.Pad)}), kAlignCentre, 0,
           h / 2 + 1.2f * s, w, s}};
}

std::vector<THudText> TLevel::ResultTexts(float w, float h, float s) const {
  std::vector<THudText> texts;
  if (fFinish.State == TFinishState::Running) return texts;
  const float t = fFinish.Time;
  if (!fFinish.NameEntry) {
    // Labels left, values counting up right-aligned in the same block.
    auto row = [&](const char* label, float y, int32_t value, float counted) {
      texts.push_back({std::string(Tr(label)), kAlignLeft, w / 4, y, w / 2, s});
      texts.push_back({Pad(RoundToInt32(static_cast<double>(value) * counted), 10), kAlignRight, w / 4, y, w / 2, s});
    };
    if (t > kFinishTitleMs) {
      texts.push_back({fFinish.State == TFinishState::GameOver ? "GAME OVER" : "STAGE PASSED", kAlignCentre, 0,
                       0.2f * h, w, s});
      texts.push_back({"___________", kAlignCentre, 0, 0.2f * h, w, s});
      if (fDifficulty != TDifficulty::Normal)
        texts.push_back({std::string(Tr(Rules().Name)), kAlignCentre, 0, 0.25f * h, w, s});
    }
    if (t > kCountPoints.Begin) row("Punkte", 0.3f * h, fFinish.Points, kCountPoints.Progress(t));
    if (t > kCountLifeBonus.Begin) row("Lebensbonus", 0.35f * h, fFinish.LifeBonus, kCountLifeBonus.Progress(t));
    if (t > kCountTimeBonus.Begin) row("Zeitbonus", 0.4f * h, fFinish.TimeBonus, kCountTimeBonus.Progress(t));
    if (t > kFinishRule.Begin) {
      const float grow = kFinishRule.Progress(t);
      texts.push_back({std::string(static_cast<std::size_t>(RoundToInt32(24 * grow) + 1), '_'), kAlignLeft, w / 4,
                       0.45f * h, w / 2, s});
    }
    if (t > kCountTotal.Begin) row("Gesamtpunkte", 0.55f * h, fFinish.Total, kCountTotal.Progress(t));
    if (t > kFinishTitleMs) {
      float y = 0.65f * h;
      for (std::string& line : FinishKeyLines()) {
        texts.push_back({std::move(line), kAlignCentre, 0, y, w, s});
        y += 0.05f * h;
      }
      if (fNotForBoard) texts.push_back({std::string(Tr(kTextNotForBoard)), kAlignCentre, 0, y + 0.05f * h, w, s});
    }
    return texts;
  }
  texts.push_back({fDifficulty == TDifficulty::Normal ? std::string("HIGHSCORE")
                                                      : "HIGHSCORE " + std::string(Tr(Rules().Name)),
                   kAlignCentre, 0, 0.2f * h, w, s});
  const std::size_t shown = std::min<std::size_t>(fFinish.HighScore.size(), 10);
  for (std::size_t i = 0; i < shown; ++i) {
    const THighScoreItem& item = fFinish.HighScore[i];
    std::string name = item.Name;
    if (fFinish.CursorVisible && static_cast<int32_t>(i) == fFinish.EntryIndex) name += "_";
    const float y = (0.3f + 0.05f * static_cast<float>(i)) * h;
    texts.push_back({name, kAlignLeft, w / 4, y, w / 2, s});
    texts.push_back({Pad(item.Score, 10), kAlignRight, w / 4, y, w / 2, s});
  }
  float y = 0.82f * h;
  for (std::string& line : FinishKeyLines()) {
    texts.push_back({std::move(line), kAlignCentre, 0, y, w, s});
    y += 0.05f * h;
  }
  if (fNotForBoard) texts.push_back({std::string(Tr(kTextNotForBoard)), kAlignCentre, 0, y, w, s});
  return texts;
}

std::vector<std::string> TLevel::FinishKeyLines() const {
  // With a controller at hand its buttons are named beside the keys.
  auto keys = [&](const std::string& key, platform::TPadButton button) {
    return fPad.Connected && button != 0 ? key + "/" + PadButtonShownName(button) : key;
  };
  const std::string enter = keys("Enter", platform::kPadA);
  const std::string again = keys("R", platform::kPadY);
  const TBinding& leaveBinding = fControls[TAction::Leave];
  const std::string leave = keys(KeyShownName(leaveBinding.Key), leaveBinding.Pad);
  const bool place = fFinish.Qualifies && !fFinish.Saved;
  if (!fFinish.NameEntry) {
    const char* enterText = fFinish.Time < kFinishCountedMs ? kTextFinishSkip : place ? kTextFinishName : kTextFinishList;
    return {FillText(enterText, {enter}), FillText(place ? kTextFinishNameThenAgain : kTextFinishAgain, {again}),
            FillText(place ? kTextFinishLeaveUnnamed : kTextFinishLeave, {leave})};
  }
  const bool inList = fFinish.EntryIndex >= 0 && fFinish.EntryIndex < 10;
  const char* enterText = !inList ? kTextFinishBack : fFinish.RetryAfterName ? kTextFinishSaveThenAgain : kTextFinishSave;
  return {FillText(enterText, {enter}), FillText(inList ? kTextFinishLeaveUnnamed : kTextFinishLeave, {leave})};
}

void TLevel::RenderHud() {
  const gfx::TRect viewport = gfx::GetViewport();
  const float w = static_cast<float>(viewport.Width);
  const float h = static_cast<float>(viewport.Height);
  const float s = static_cast<float>(fFont->Size());
  auto print = [&](const std::vector<THudText>& texts) {
    for (const THudText& text : texts) fFont->Print(text.Text, text.Alignment, text.Left, text.Top, text.Width, text.Height);
  };
  render::BeginOverlay(w, h);
  RenderHitFlash(w, h);

  // Bars and the progress track first; no text overlaps them but the one
  // written over its own bar.
  if (LifeBarShown()) {
    const float l = static_cast<float>(fLife) / 100;
    gfx::PushMatrix();
    gfx::Translate(0.2f * s, 0.1f * s, 0);
    GradientBar(w / 4 * l, 0.8f * s, l);
    gfx::PopMatrix();
  }
  if (fPos > 1) {
    const double b = static_cast<double>(fBoss->fLife) / fBoss->fMaxLife;
    gfx::PushMatrix();
    gfx::Translate(w / 4, h - s, 0);
    GradientBar(static_cast<float>(w / 2 * b), 0.8f * s, static_cast<float>(b));
    gfx::PopMatrix();
  }
  if (fPos >= 0 && fPos <= 1) {
    const float track = h - 2 * s - 5;
    gfx::PushMatrix();
    gfx::Translate(w - 20, 1.5f * s, 0);
    gfx::Color(1, 1, 1, 0.75f);
    gfx::Enable(gfx::TCap::Blend);
    Quad(0, 0, 10, h - 2 * s);
    gfx::PushMatrix();
    gfx::Translate(0, (1 - fPos) * track, 0);
    gfx::Color(0, 0, 1, 1);
    Quad(1, 0, 9, 5);
    gfx::PopMatrix();
    for (const auto& powerUp : fPowerUp.List) {
      gfx::PushMatrix();
      gfx::Translate(0, (1 - powerUp->Pos) * track, 0);
      if (powerUp->Kind == kPowerUpShield) {
        gfx::Translate(0, -2, 0);
        gfx::Color(0, 0, 1, 1);
      } else if (powerUp->Kind == kPowerUpLife) {
        gfx::Translate(0, 2, 0);
        gfx::Color(1, 0, 0, 1);
      } else {
        gfx::Color(0, 1, 0, 1);
      }
      Quad(1, 0, 9, 2);
      gfx::PopMatrix();
    }
    gfx::Disable(gfx::TCap::Blend);
    gfx::PopMatrix();
  }
  HudTexts(w, h, s, fHudTexts);
  print(fHudTexts);
  if (const float alpha = NoteAlpha(); alpha > 0) {
    const TVector4f& c = fFeedback.NoteColor;
    fFont->SetColor(c.r, c.g, c.b, alpha);
    fFont->Print(fFeedback.Note, kAlignCentre, 0, 1.2f * s, w, s);
    fFont->SetColor(1, 1, 1, 1);
  }

  if (fFinish.State != TFinishState::Running) {
    gfx::Enable(gfx::TCap::Blend);
    const float a = std::min(fFinish.Time / 1000.0f, 1.0f);
    gfx::Color(0, 0, 0, 0.9f * a);
    Quad(0, 0, w, h);
    print(ResultTexts(w, h, s));
  }
  if (fPaused) {
    // The frame stays, dimmed under the words.
    gfx::Enable(gfx::TCap::Blend);
    gfx::Color(0, 0, 0, 0.5f);
    Quad(0, 0, w, h);
    print(PauseTexts(w, h, s));
  }

  render::EndOverlay();
  gfx::Disable(gfx::TCap::Blend);
}

void TLevel::DrawPowerUp(const TPowerUp& powerUp) {
  gfx::Scale(powerUp.Scale, powerUp.Scale, powerUp.Scale);
  gfx::PushMatrix();
  gfx::LineWidth(5);
  const std::array<float, 3> colour = PowerUpColour(powerUp.Kind);
  gfx::Color(colour[0], colour[1], colour[2], 1);
  switch (powerUp.Kind) {
    case kPowerUpShield:
      gfx::Begin(gfx::TPrimitive::LineLoop);
      for (int i = 0; i < 10; ++i) {
        const double t = i * 2 * M_PI / 10;
        gfx::Vertex(static_cast<float>(0.7 * simmath::Cos(t)), static_cast<float>(0.7 * simmath::Sin(t)), 0);
      }
      gfx::End();
      break;
    case kPowerUpLife: {
      static constexpr float kHeart[][2] = {{0, -0.7f},   {-0.6f, 0.2f}, {-0.6f, 0.4f}, {-0.4f, 0.6f}, {-0.2f, 0.6f},
                                            {0, 0.4f},    {0.2f, 0.6f},  {0.4f, 0.6f},  {0.6f, 0.4f},  {0.6f, 0.2f}};
      gfx::Begin(gfx::TPrimitive::LineLoop);
      for (const auto& v : kHeart) gfx::Vertex(v[0], v[1], 0);
      gfx::End();
      break;
    }
    case kPowerUpWeapon: {
      static constexpr float kU[][2] = {{-0.7f, 0.5f}, {-0.7f, -0.3f}, {-0.5f, -0.5f},
                                        {-0.3f, -0.5f}, {-0.1f, -0.3f}, {-0.1f, 0.5f}};
      static constexpr float kP[][2] = {{0.1f, -0.5f}, {0.1f, 0.5f}, {0.3f, 0.5f}, {0.5f, 0.3f},
                                        {0.5f, 0.1f},  {0.3f, -0.1f}, {0.1f, -0.1f}};
      gfx::Translate(0.15f, 0, 0);
      gfx::Begin(gfx::TPrimitive::LineStrip);
      for (const auto& v : kU) gfx::Vertex(v[0], v[1], 0);
      gfx::End();
      gfx::Begin(gfx::TPrimitive::LineStrip);
      for (const auto& v : kP) gfx::Vertex(v[0], v[1], 0);
      gfx::End();
      break;
    }
    default:
      break;
  }
  gfx::PopMatrix();
  gfx::PushMatrix();
  gfx::Rotate(powerUp.Angle, 0, 1, 0);
  gfx::LineWidth(1);
  gfx::Color(1, 1, 1, 1);
  LineLoop(
      12, [](double t) { return static_cast<float>(simmath::Cos(t)); }, [](double t) { return static_cast<float>(simmath::Sin(t)); },
      [](double) { return 0.0f; });
  LineLoop(
      12, [](double t) { return static_cast<float>(simmath::Cos(t)); }, [](double) { return 0.0f; },
      [](double t) { return static_cast<float>(simmath::Sin(t)); });
  LineLoop(
      12, [](double) { return 0.0f; }, [](double t) { return static_cast<float>(simmath::Cos(t)); },
      [](double t) { return static_cast<float>(simmath::Sin(t)); });
  gfx::PopMatrix();
}
