// LevelRender.cpp -- drawing a running stage: camera, ship, start animation,
// tube, objects and the HUD.
#include <algorithm>
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
#include "render/GL.h"
#include "render/TubeTransform.h"
#include "render/VertexBufferObject.h"
#include "services/Arith.h"
#include "services/FatalError.h"
#include "services/ValueLists.h"
#include "stage/Level.h"
#include "stage/StageRules.h"

namespace {

constexpr double kDegrees = 180.0 / M_PI;

// Scores are shown as unsigned 32-bit numbers, zero-padded.
std::string Pad(int64_t value, std::size_t width) {
  return PadLeft(std::to_string(static_cast<uint32_t>(value)), '0', width);
}

// Other counts keep their sign: the zeros go in front of the decimal text,
// so a life of -5 reads "0-5".
std::string PadSigned(int64_t value, std::size_t width) { return PadLeft(std::to_string(value), '0', width); }


// A bar from red on the left to (0, g, 0) on the right.
void GradientBar(float width, float height, float green) {
  glBegin(GL_QUADS);
  glColor4f(1, 0, 0, 1);
  glVertex2f(0, 0);
  glVertex2f(0, height);
  glColor3f(0, green, 0);
  glVertex2f(width, height);
  glVertex2f(width, 0);
  glEnd();
}

void Quad(float x0, float y0, float x1, float y1) {
  glBegin(GL_QUADS);
  glVertex2f(x0, y0);
  glVertex2f(x0, y1);
  glVertex2f(x1, y1);
  glVertex2f(x1, y0);
  glEnd();
}

void LineLoop(int points, float (*x)(double), float (*y)(double), float (*z)(double)) {
  glBegin(GL_LINE_LOOP);
  for (int i = 0; i < points; ++i) {
    const double t = i * 2 * M_PI / points;
    glVertex3f(x(t), y(t), z(t));
  }
  glEnd();
}

}  // namespace

void TLevel::Render() {
  RenderCamera();

  // The player's ship, with its shield dome.
  glPushMatrix();
  ApplyTubeTransform(fSpline, ShipPos(), fRoll);
  glColor4f(fPlayer.ShipColor.r, fPlayer.ShipColor.g, fPlayer.ShipColor.b, 1);
  glLineWidth(2);
  fPlayer.Ship->Render();
  if (fPlayer.ShieldVisible) {
    glColor4f(0, 0, 1, 1);
    DrawShield();
  }
  glPopMatrix();

  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glLineWidth(1);
  RenderStart();

  Guarded("Level, Render: Fehler beim Zeichnen der Blitze", [&] {
    for (const auto& bolt : fBolts) {
      if (bolt) bolt->Render();
    }
  });

  if (ShipPos() > 0) {
    glColor4f(fPlayer.ParticleColor.r, fPlayer.ParticleColor.g, fPlayer.ParticleColor.b, 1);
    fPlayer.ParticleManager->Render();
    fSmallEnemy.Manager->Render();
    fMediumEnemy.Manager->Render();
    fBoss->Render();
    for (const auto& powerUp : fPowerUp.List) {
      glPushMatrix();
      ApplyTubeTransform(fSpline, powerUp->Pos, powerUp->Roll);
      DrawPowerUp(*powerUp);
      glPopMatrix();
    }
  }

  RenderHud();
}

void TLevel::DrawShield() const {
  glTranslatef(0, -0.05f * fTubeSize, 0);
  glRotatef(fPlayer.ShieldTime / 10, 0, 1, 0);
  const float scale = fPlayer.Ship->fScale * fPlayer.Radius;
  glScalef(scale, scale, scale);
  for (double b : {0.0, 30.0, 60.0}) {
    const double latitude = b / kDegrees;
    glBegin(GL_LINE_LOOP);
    for (int j = 0; j < 12; ++j) {
      const double a = j * 30.0 / kDegrees;
      glVertex3f(static_cast<float>(simmath::Cos(a) * simmath::Cos(latitude)), static_cast<float>(simmath::Sin(latitude)),
                 static_cast<float>(simmath::Sin(a) * simmath::Cos(latitude)));
    }
    glEnd();
  }
  for (int k = 0; k < 6; ++k) {
    glBegin(GL_LINE_STRIP);
    for (int j = 0; j <= 6; ++j) {
      const double a = j * 30.0 / kDegrees;
      glVertex3f(static_cast<float>(simmath::Cos(a)), static_cast<float>(simmath::Sin(a)), 0);
    }
    glEnd();
    glRotatef(30, 0, 1, 0);
  }
}

void TLevel::RenderCamera() {
  const bool endFlight = fEndPos != 0;
  const double p = endFlight ? fEndPos : fPos;
  const double v = std::max(p - 1, 0.0);
  const double f = simmath::Pow(v + 1, 50.0);
  double r = endFlight ? fRoll / 4.0 : fRoll;
  if (p > 1) r /= simmath::Pow(p, 50.0);
  const double k = endFlight ? v / (static_cast<double>(fEndLength) / fCircles) : 0.0;
  TSplineFrame frame;
  fSpline.GetFrame(1.0f / static_cast<float>(fCircles), static_cast<float>(p), frame);
  glTranslatef(0, static_cast<float>(fTubeSize * f - fTubeSize * fCamera.Height), 0);
  glRotatef(static_cast<float>(r), 0, 0, 1);
  glTranslatef(0, static_cast<float>(-fTubeSize * (f - 1) - fCamera.EndHeight * k * fTubeSize), 0);
  glRotatef(static_cast<float>(frame.Pitch * kDegrees + fCamera.EndAngle * k), 1, 0, 0);
  glRotatef(static_cast<float>(frame.Yaw * kDegrees), 0, 1, 0);
  glTranslatef(-frame.Position.x, -frame.Position.y, -frame.Position.z);
}

void TLevel::RenderStart() {
  const int32_t p = fPointsPerCircle;
  if (fTime <= 3000) {
    glColor4f(fTubeStartColor.r, fTubeStartColor.g, fTubeStartColor.b, 1);
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
    glBegin(GL_LINE_LOOP);
    for (const TVector3f& point : ring) glVertex3f(point.x, point.y, point.z);
    glEnd();
  }

  if (fTime > 3000 && fTime < 8000 && !fRings.empty()) {
    const double g = std::min((fTime - 3000) / 5000.0, 1.0);
    const int64_t n = RoundToInt32(g * static_cast<double>(fRings.size() - 1));
    // Rings more than 25 behind the front are fully opaque: one call draws
    // them, in the same order as the fading front below.
    const int64_t opaque = n - 25;
    int64_t first = 0;
    if (opaque >= 0) {
      const auto perRing = static_cast<GLsizei>(4 * p);
      const GLsizei count = 2 * p + static_cast<GLsizei>(opaque) * perRing;
      glEnableClientState(GL_VERTEX_ARRAY);
      glEnableClientState(GL_COLOR_ARRAY);
      glVertexPointer(3, GL_FLOAT, 0, fIntroPoints.data());
      glColorPointer(4, GL_FLOAT, 0, fIntroColors.data());
      glDrawArrays(GL_LINES, 0, count);
      glDisableClientState(GL_COLOR_ARRAY);
      glDisableClientState(GL_VERTEX_ARRAY);
      first = opaque + 1;
    }
    for (int64_t i = first; i <= n; ++i) {
      const TTubeRing& ring = fRings[static_cast<std::size_t>(i)];
      const float q = std::clamp(static_cast<float>(n - i) / 25.0f, 0.0f, 1.0f);
      glColor4f(ring.Color.r, ring.Color.g, ring.Color.b, ring.Color.a * q);
      glBegin(GL_LINE_LOOP);
      for (const TVector3f& v : ring.Points) glVertex3f(v.x, v.y, v.z);
      glEnd();
      if (i > 0) {
        const TTubeRing& previous = fRings[static_cast<std::size_t>(i - 1)];
        glBegin(GL_LINES);
        for (std::size_t j = 0; j < ring.Points.size(); ++j) {
          glVertex3f(previous.Points[j].x, previous.Points[j].y, previous.Points[j].z);
          glVertex3f(ring.Points[j].x, ring.Points[j].y, ring.Points[j].z);
        }
        glEnd();
      }
    }
  }

  if (fTime >= 8000) fTubeVBO->Draw(GL_LINE_STRIP);
}

std::vector<THudText> TLevel::HudTexts(float w, float h, float s) const {
  std::vector<THudText> texts;
  texts.push_back({Pad(fScore, 10) + " Points", kAlignRight, 0, 0, w - s / 5, s});
  texts.push_back({"Life: " + PadSigned(fLife, 3), kAlignLeft, s / 5, 0, w, s});
  if (fPos > 1) {
    const double b = static_cast<double>(fBoss->fLife) / fBoss->fMaxLife;
    texts.push_back({"Boss: " + PadSigned(RoundToInt32(b * 100), 3), kAlignCentre, 0, h - 1.1f * s, w, s});
  }
  return texts;
}

std::vector<THudText> TLevel::PauseTexts(float w, float h, float s) const {
  if (!fPaused) return {};
  return {{"Pause", kAlignCentre, 0, h / 2 - 1.5f * s, w, s},
          {"P oder Start: weiter, Esc: Level verlassen", kAlignCentre, 0, h / 2, w, s}};
}

std::vector<THudText> TLevel::ResultTexts(float w, float h, float s) const {
  std::vector<THudText> texts;
  if (fFinish.State == TFinishState::Running) return texts;
  const float t = fFinish.Time;
  if (!fFinish.NameEntry) {
    // Labels left, values counting up right-aligned in the same block.
    auto row = [&](const char* label, float y, int32_t value, float counted) {
      texts.push_back({label, kAlignLeft, w / 4, y, w / 2, s});
      texts.push_back({Pad(RoundToInt32(static_cast<double>(value) * counted), 10), kAlignRight, w / 4, y, w / 2, s});
    };
    if (t > kFinishTitleMs) {
      texts.push_back({fFinish.State == TFinishState::GameOver ? "GAME OVER" : "STAGE PASSED", kAlignCentre, 0,
                       0.2f * h, w, s});
      texts.push_back({"___________", kAlignCentre, 0, 0.2f * h, w, s});
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
    return texts;
  }
  texts.push_back({"HIGHSCORE", kAlignCentre, 0, 0.2f * h, w, s});
  const std::size_t shown = std::min<std::size_t>(fFinish.HighScore.size(), 10);
  for (std::size_t i = 0; i < shown; ++i) {
    const THighScoreItem& item = fFinish.HighScore[i];
    std::string name = item.Name;
    if (fFinish.CursorVisible && static_cast<int32_t>(i) == fFinish.EntryIndex) name += "_";
    const float y = (0.3f + 0.05f * static_cast<float>(i)) * h;
    texts.push_back({name, kAlignLeft, w / 4, y, w / 2, s});
    texts.push_back({Pad(item.Score, 10), kAlignRight, w / 4, y, w / 2, s});
  }
  return texts;
}

void TLevel::RenderHud() {
  GLint viewport[4] = {0, 0, 0, 0};
  glGetIntegerv(GL_VIEWPORT, viewport);
  const float w = static_cast<float>(viewport[2]);
  const float h = static_cast<float>(viewport[3]);
  const float s = static_cast<float>(fFont->Size());
  auto print = [&](const std::vector<THudText>& texts) {
    for (const THudText& text : texts) fFont->Print(text.Text, text.Alignment, text.Left, text.Top, text.Width, text.Height);
  };
  render::BeginOverlay(w, h);

  // Bars and the progress track first; no text overlaps them but the one
  // written over its own bar.
  if (fLifeVisible) {
    const float l = static_cast<float>(fLife) / 100;
    glPushMatrix();
    glTranslatef(0.2f * s, 0.1f * s, 0);
    GradientBar(w / 4 * l, 0.8f * s, l);
    glPopMatrix();
  }
  if (fPos > 1) {
    const double b = static_cast<double>(fBoss->fLife) / fBoss->fMaxLife;
    glPushMatrix();
    glTranslatef(w / 4, h - s, 0);
    GradientBar(static_cast<float>(w / 2 * b), 0.8f * s, static_cast<float>(b));
    glPopMatrix();
  }
  if (fPos >= 0 && fPos <= 1) {
    const float track = h - 2 * s - 5;
    glPushMatrix();
    glTranslatef(w - 20, 1.5f * s, 0);
    glColor4f(1, 1, 1, 0.75f);
    glEnable(GL_BLEND);
    Quad(0, 0, 10, h - 2 * s);
    glPushMatrix();
    glTranslatef(0, (1 - fPos) * track, 0);
    glColor4f(0, 0, 1, 1);
    Quad(1, 0, 9, 5);
    glPopMatrix();
    for (const auto& powerUp : fPowerUp.List) {
      glPushMatrix();
      glTranslatef(0, (1 - powerUp->Pos) * track, 0);
      if (powerUp->Kind == kPowerUpShield) {
        glTranslatef(0, -2, 0);
        glColor4f(0, 0, 1, 1);
      } else if (powerUp->Kind == kPowerUpLife) {
        glTranslatef(0, 2, 0);
        glColor4f(1, 0, 0, 1);
      } else {
        glColor4f(0, 1, 0, 1);
      }
      Quad(1, 0, 9, 2);
      glPopMatrix();
    }
    glDisable(GL_BLEND);
    glPopMatrix();
  }
  print(HudTexts(w, h, s));

  if (fFinish.State != TFinishState::Running) {
    glEnable(GL_BLEND);
    const float a = std::min(fFinish.Time / 1000.0f, 1.0f);
    glColor4f(0, 0, 0, 0.9f * a);
    Quad(0, 0, w, h);
    print(ResultTexts(w, h, s));
  }
  if (fPaused) {
    // The frame stays, dimmed under the words.
    glEnable(GL_BLEND);
    glColor4f(0, 0, 0, 0.5f);
    Quad(0, 0, w, h);
    print(PauseTexts(w, h, s));
  }

  render::EndOverlay();
  glDisable(GL_BLEND);
}

void TLevel::DrawPowerUp(const TPowerUp& powerUp) {
  glScalef(powerUp.Scale, powerUp.Scale, powerUp.Scale);
  glPushMatrix();
  glLineWidth(5);
  switch (powerUp.Kind) {
    case kPowerUpShield:
      glColor4f(0, 0, 1, 1);
      glBegin(GL_LINE_LOOP);
      for (int i = 0; i < 10; ++i) {
        const double t = i * 2 * M_PI / 10;
        glVertex3f(static_cast<float>(0.7 * simmath::Cos(t)), static_cast<float>(0.7 * simmath::Sin(t)), 0);
      }
      glEnd();
      break;
    case kPowerUpLife: {
      static constexpr float kHeart[][2] = {{0, -0.7f},   {-0.6f, 0.2f}, {-0.6f, 0.4f}, {-0.4f, 0.6f}, {-0.2f, 0.6f},
                                            {0, 0.4f},    {0.2f, 0.6f},  {0.4f, 0.6f},  {0.6f, 0.4f},  {0.6f, 0.2f}};
      glColor4f(1, 0, 0, 1);
      glBegin(GL_LINE_LOOP);
      for (const auto& v : kHeart) glVertex3f(v[0], v[1], 0);
      glEnd();
      break;
    }
    case kPowerUpWeapon: {
      static constexpr float kU[][2] = {{-0.7f, 0.5f}, {-0.7f, -0.3f}, {-0.5f, -0.5f},
                                        {-0.3f, -0.5f}, {-0.1f, -0.3f}, {-0.1f, 0.5f}};
      static constexpr float kP[][2] = {{0.1f, -0.5f}, {0.1f, 0.5f}, {0.3f, 0.5f}, {0.5f, 0.3f},
                                        {0.5f, 0.1f},  {0.3f, -0.1f}, {0.1f, -0.1f}};
      glColor4f(0, 1, 0, 1);
      glTranslatef(0.15f, 0, 0);
      glBegin(GL_LINE_STRIP);
      for (const auto& v : kU) glVertex3f(v[0], v[1], 0);
      glEnd();
      glBegin(GL_LINE_STRIP);
      for (const auto& v : kP) glVertex3f(v[0], v[1], 0);
      glEnd();
      break;
    }
    default:
      break;
  }
  glPopMatrix();
  glPushMatrix();
  glRotatef(powerUp.Angle, 0, 1, 0);
  glLineWidth(1);
  glColor4f(1, 1, 1, 1);
  LineLoop(
      12, [](double t) { return static_cast<float>(simmath::Cos(t)); }, [](double t) { return static_cast<float>(simmath::Sin(t)); },
      [](double) { return 0.0f; });
  LineLoop(
      12, [](double t) { return static_cast<float>(simmath::Cos(t)); }, [](double) { return 0.0f; },
      [](double t) { return static_cast<float>(simmath::Sin(t)); });
  LineLoop(
      12, [](double) { return 0.0f; }, [](double t) { return static_cast<float>(simmath::Cos(t)); },
      [](double t) { return static_cast<float>(simmath::Sin(t)); });
  glPopMatrix();
}
