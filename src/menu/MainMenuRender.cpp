// MainMenuRender.cpp -- the menu screen: the turning torus with its ships, the
// selection marker, the item list and the texts of the selected item.
#include <cmath>

#include "menu/MainMenu.h"
#include "objects/Ship.h"
#include "platform/Platform.h"
#include "render/Font.h"
#include "render/draw/Draw.h"
#include "render/VertexBufferObject.h"
#include "services/FatalError.h"
#include "services/Language.h"
#include "stage/InputTexts.h"
#include "stage/Level.h"
#include "render/FrameSetup.h"

namespace {

constexpr double kTwoPi = 2 * M_PI;

// A closed loop of 12 points, t = j * 2 pi / 12.
template <typename TPoint>
void LineLoop12(TPoint point) {
  gfx::Begin(gfx::TPrimitive::LineLoop);
  for (int j = 0; j < 12; ++j) {
    const TVector3f p = point(j * kTwoPi / 12);
    gfx::Vertex(p.x, p.y, p.z);
  }
  gfx::End();
}

}  // namespace

TVector3f TMainMenu::TorusColor(int i) {
  if (i < 15) return {i / 15.0f, 0, 1 - i / 15.0f};
  return {1 - (i - 15) / 15.0f, 0, (i - 15) / 15.0f};
}

TVector3f TMainMenu::MakeTorusVertex(double a, double b) {
  return {static_cast<float>(3 * std::sin(a) * std::cos(b) + 20 * std::cos(b)), static_cast<float>(3 * std::cos(a)),
          static_cast<float>(3 * std::sin(a) * std::sin(b) + 20 * std::sin(b))};
}

std::vector<std::array<float, 6>> TMainMenu::TorusVertices() {
  std::vector<std::array<float, 6>> vertices;
  vertices.reserve(kTorusVertexCount);
  auto add = [&](int station, double a, double b) {
    const TVector3f c = TorusColor(station);
    const TVector3f p = MakeTorusVertex(a, b);
    vertices.push_back({c.x, c.y, c.z, p.x, p.y, p.z});
  };
  // Cross-section rings, then lines along the ring, alternately backwards and
  // forwards, so that one line loop draws them all.
  for (int k = 1; k <= 29; ++k)
    for (int l = 0; l <= 16; ++l) add(k, l * kTwoPi / 16, k * kTwoPi / 30);
  add(0, 0, 0);
  for (int k = 1; k <= 15; ++k)
    for (int l = 0; l <= 30; ++l) {
      const int f = k % 2 == 1 ? 30 - l : l;
      add(f, k * kTwoPi / 16, f * kTwoPi / 30);
    }
  add(0, 0, 0);
  return vertices;
}

void TMainMenu::BuildTorus() {
  fTubeVBO = std::make_unique<TVertexBufferObject>();
  fTubeVBO->SetSize(kTorusVertexCount, gfx::TVertexFormat::C3F_V3F);
  for (const std::array<float, 6>& v : TorusVertices()) {
    const TVertexC3FV3F vertex{v[0], v[1], v[2], v[3], v[4], v[5]};
    fTubeVBO->Add(vertex);
  }
  fTubeVBO->Finish();
}

void TMainMenu::AnimateBackground(float elapsed) {
  auto wrap = [](float& angle, float limit) {
    if (angle > limit) angle -= limit;
  };
  for (TMenuShip& ship : fShips) {
    ship.Orbit += elapsed * ship.OrbitSpeed / 500;
    wrap(ship.Orbit, 360);
    ship.Roll += elapsed * ship.RollSpeed / 500;
    wrap(ship.Roll, 360);
    // A falling roll is the same picture a turn later; keep it small so it
    // never loses precision.
    if (ship.Roll < -360) ship.Roll += 360;
    ship.Spin += elapsed / 10;
    wrap(ship.Spin, 360);
  }
  fTorusAngle += elapsed / 100;
  wrap(fTorusAngle, 360);
  fMarkerPhase += elapsed / 10;
  wrap(fMarkerPhase, 1080);
}

void TMainMenu::Render() {
  if (Level->fActive) {
    Guarded("MainMen\xFC, Render: Fehler beim Rendern des Levels", [&] { Level->Render(); });
    return;
  }
  gfx::LineWidth(1);
  RenderBackground();
  RenderMarker();
  RenderInfoPowerUp();
  RenderOverlay();
}

void TMainMenu::ApplyTorusCamera() const {
  gfx::Translate(-15, 10, -30);
  gfx::Rotate(50, 1, 0, 0);
  gfx::Rotate(-10, 0, 0, 1);
  gfx::Rotate(fTorusAngle, 0, 1, 0);
}

void TMainMenu::RenderBackground() {
  gfx::PushMatrix();
  ApplyTorusCamera();
  fTubeVBO->Draw(gfx::TPrimitive::LineLoop);
  gfx::Color(1, 1, 1);
  for (std::size_t i = 0; i < fShips.size(); ++i) {
    const TMenuShip& ship = fShips[i];
    gfx::PushMatrix();
    gfx::Rotate(ship.Orbit, 0, 1, 0);
    gfx::Translate(20, 0, 0);
    gfx::Rotate(ship.Roll, 0, 0, 1);
    gfx::Translate(0, -2.4f, 0);  // inside the tube, 2.4 from its centre line
    if (i == 0) {
      gfx::Color(1, 1, 0);
      fPlayerModel->Render();
      gfx::Color(1, 1, 1);
    } else {
      gfx::Rotate(ship.Spin, 0, 1, 0);
      fEnemyModel->Render();
    }
    gfx::PopMatrix();
  }
  gfx::PopMatrix();
}

void TMainMenu::RenderMarker() {
  const float sB = static_cast<float>(fBigFont->Size());
  gfx::PushMatrix();
  const float q = fMarkerPhase / 540;
  if (q < 1) {
    gfx::Color(q, 1, 0);
  } else {
    gfx::Color(2 - q, 1, 0);
  }
  // The point at depth 40 that lies on screen beside the selected row.
  const float rows = static_cast<float>(fLastRow) + 1.5f - static_cast<float>(fCursor) - fCursorMove;
  gfx::Translate(fUnitsPerPixel * (static_cast<float>(fWidth) / 2 - 0.75f * sB),
               fUnitsPerPixel * (rows * sB - static_cast<float>(fHeight) / 2), -40);
  gfx::Rotate(fMarkerPhase / 3, 1, 0, 0);
  LineLoop12([](double t) { return TVector3f{static_cast<float>(std::cos(t)), static_cast<float>(std::sin(t)), 0}; });
  gfx::Rotate(fMarkerPhase / 2, 0, 1, 0);
  LineLoop12([](double t) { return TVector3f{0, static_cast<float>(std::sin(t)), static_cast<float>(std::cos(t))}; });
  gfx::Rotate(fMarkerPhase, 0, 0, 1);
  LineLoop12([](double t) { return TVector3f{static_cast<float>(std::sin(t)), 0, static_cast<float>(std::cos(t))}; });
  gfx::PopMatrix();
}

void TMainMenu::RenderInfoPowerUp() {
  if (fItemId == "0_2_2") {
    fInfoPowerUp.Kind = kPowerUpLife;
  } else if (fItemId == "0_2_3") {
    fInfoPowerUp.Kind = kPowerUpWeapon;
  } else if (fItemId == "0_2_4") {
    fInfoPowerUp.Kind = kPowerUpShield;
  } else {
    return;
  }
  gfx::PushMatrix();
  gfx::Translate(fUnitsPerPixel * (100 - static_cast<float>(fWidth) / 2), 0, -40);
  gfx::Rotate(15, 1, 0, 0);
  TLevel::DrawPowerUp(fInfoPowerUp);
  gfx::PopMatrix();
  gfx::LineWidth(1);
}

void TMainMenu::RenderOverlay() {
  const float sB = static_cast<float>(fBigFont->Size());
  const float sS = static_cast<float>(fSmallFont->Size());
  const float w = static_cast<float>(fWidth);
  const float h = static_cast<float>(fHeight);

  render::BeginOverlay(w, h);

  const TMenu& page = CurrentPage();
  const int32_t n = static_cast<int32_t>(page.Items.size());
  const bool stagePage = fPath == kStagePage;
  const bool highscorePage = fPath == kHighscorePage;
  const auto stages = static_cast<int32_t>(fLevelList.size());

  gfx::Color(1, 1, 1);
  if (fFirst < n - fLastRow - 1) {  // more items below the window
    gfx::PushMatrix();
    gfx::Translate(w - 1.5f * sB, h - sB, 0);
    gfx::Begin(gfx::TPrimitive::Triangles);
    gfx::Vertex(0, 0);
    gfx::Vertex(-40, 0);
    gfx::Vertex(-20, 20);
    gfx::End();
    gfx::PopMatrix();
  }
  if (fFirst > 0) {  // more items above
    gfx::PushMatrix();
    gfx::Translate(w - 1.5f * sB, h - 5 * sB, 0);
    gfx::Begin(gfx::TPrimitive::Triangles);
    gfx::Vertex(0, 0);
    gfx::Vertex(-20, -20);
    gfx::Vertex(-40, 0);
    gfx::End();
    gfx::PopMatrix();
  }

  // The four rows above the bottom row; rows sliding out are clipped.
  gfx::PushMatrix();
  gfx::Enable(gfx::TCap::ScissorTest);
  gfx::Scissor({0, static_cast<int>(sB), fWidth, static_cast<int>(4 * sB)});
  gfx::Translate(0, -(static_cast<float>(fFirst) + fScrollMove) * sB, 0);
  for (int32_t k = n - 1; k >= 0; --k) {
    const bool locked = stagePage && k < stages && !fLevelList[static_cast<std::size_t>(k)].Active;
    if (locked) {
      fBigFont->SetColor(0.5f, 0.5f, 0.5f, 1);
    } else {
      fBigFont->SetColor(1, 1, 1, 1);
    }
    fBigFont->Print(page.Items[static_cast<std::size_t>(k)].Caption, ts::kAlignRight, -1.5f * sB,
                    h - static_cast<float>(fLastRow + 2 - k) * sB, w, sB);
  }
  gfx::Disable(gfx::TCap::ScissorTest);
  gfx::PopMatrix();

  gfx::PushMatrix();
  gfx::Translate(10, 10, 0);
  if (fSelected >= 0 && fSelected < n)
    fSmallFont->Print(ItemDescription(static_cast<std::size_t>(fSelected)), ts::kAlignLeft, 0, 0, 0.4f * w, 0.5f * h);
  if (const std::string state = ControlsStateText(); !state.empty())
    fSmallFont->Print(state, ts::kAlignLeft, 0, 0.4f * h, 0.4f * w, 0.2f * h);
  if (stagePage && fSelected < stages) {
    fSmallFont->Print(std::string(Tr(fLevelList[static_cast<std::size_t>(fSelected)].Active
                                         ? "Das Level ist freigeschaltet und kann gespielt werden."
                                         : "Das Level ist gesperrt und muss erst noch freigeschaltet werden.")),
                      ts::kAlignLeft, 0, 0.4f * h, 0.4f * w, 0.2f * h);
  }
  // The difficulty the stages start with, and the keys that change it.
  if (stagePage)
    fSmallFont->Print(FillText(kTextStageDifficulty, {Tr(DifficultyRules(fDifficulty).Name)}), ts::kAlignLeft, 0,
                      0.4f * h + 3 * sS, 0.4f * w, 2 * sS);
  if (fItemId == kVSyncItem)
    fSmallFont->Print(std::string(Tr(VSyncOn() ? "zur Zeit aktiviert" : "zur Zeit deaktiviert")), ts::kAlignLeft, 0, 0.4f * h,
                      0.4f * w, 0.2f * h);
  if (fItemId == kClassicItem || fItemId == kReduceFlashItem) {
    const bool on = fItemId == kClassicItem ? fClassic : fReduceFlash;
    fSmallFont->Print(std::string(Tr(on ? "zur Zeit eingeschaltet" : "zur Zeit ausgeschaltet")), ts::kAlignLeft, 0,
                      0.4f * h, 0.4f * w, 0.2f * h);
  }
  if (fItemId == kDifficultyItem)
    fSmallFont->Print(std::string(Tr("zur Zeit ")) + std::string(Tr(DifficultyRules(fDifficulty).Name)), ts::kAlignLeft, 0, 0.4f * h,
                      0.4f * w, 0.2f * h);
  if (fItemId == kMusicVolumeItem || fItemId == kEffectsVolumeItem)
    fSmallFont->Print(std::string(Tr("zur Zeit ")) + std::to_string(fItemId == kMusicVolumeItem ? fMusicVolume : fEffectsVolume) + " %",
                      ts::kAlignLeft, 0, 0.4f * h, 0.4f * w, 0.2f * h);
  if (fItemId == kLanguageItem)
    fSmallFont->Print(std::string(Tr("zur Zeit ")) + std::string(LanguageName(Language())), ts::kAlignLeft, 0,
                      0.4f * h, 0.4f * w, 0.2f * h);
  if (highscorePage && fSelected < stages) {
    const TLevelListItem& level = fLevelList[static_cast<std::size_t>(fSelected)];
    // The lists of Leicht and Schwer are their own: under the ten places.
    if (fDifficulty != TDifficulty::Normal)
      fSmallFont->Print(std::string(Tr("Schwierigkeit: ")) + std::string(Tr(DifficultyRules(fDifficulty).Name)), ts::kAlignLeft, 0,
                        0.4f * h, 0.4f * w, 0.2f * h);
    gfx::Translate(sS, 1.5f * sS, 0);
    if (level.HighScores.empty())
      fSmallFont->Print(std::string(Tr("Es sind noch keine Highscors f\xFCr diesen Level vorhanden.")), ts::kAlignLeft, 0, 0, 0.4f * w,
                        0.5f * h);
    for (std::size_t j = 0; j < level.HighScores.size(); ++j) {
      const float top = static_cast<float>(j) * sS;
      fSmallFont->Print(std::to_string(j + 1) + ".", ts::kAlignLeft, 0, top, 0.4f * w, sS);
      fSmallFont->Print(level.HighScores[j].Name, ts::kAlignLeft, sS, top, 0.4f * w, sS);
      fSmallFont->Print(std::to_string(level.HighScores[j].Score), ts::kAlignRight, sS, top, 0.4f * w, sS);
    }
  }
  gfx::PopMatrix();

  if (fOnline && fOnlineSettings.Enabled) {
    if (highscorePage && fSelected < stages) RenderOnline(0.5f * w, 10 + 1.5f * sS, 0.35f * w);
    // Along the bottom row, below the items.
    fSmallFont->SetColor(1, 1, 1, 1);
    std::string line = fOnline->Note();
    // Without news: the runs that still wait to be sent, if any.
    if (const std::size_t waiting = fOnline->Waiting(); line.empty() && waiting > 0)
      line = waiting == 1 ? std::string(Tr("Online-Bestenliste: 1 Lauf wartet auf das Senden"))
                          : FillText("Online-Bestenliste: %1 L\xE4" "ufe warten auf das Senden", {std::to_string(waiting)});
    if (!line.empty()) fSmallFont->Print(line, ts::kAlignLeft, 10, h - 0.5f * (sB + sS), w - 20, sS);
  }

  render::EndOverlay();
}

void TMainMenu::RenderOnline(float x, float top, float width) {
  const float sS = static_cast<float>(fSmallFont->Size());
  const std::string& fileName = fLevelList[static_cast<std::size_t>(fSelected)].FileName;
  const TOnlineBoardView& board = fOnline->Board(StageName(fileName), std::string(DifficultyRules(fDifficulty).Name));
  fSmallFont->SetColor(1, 1, 1, 1);
  fSmallFont->Print(std::string(Tr("Online-Bestenliste")), ts::kAlignLeft, x, top - 1.5f * sS, width, sS);
  std::string line;
  if (board.State == TOnlineBoardView::TState::Loading) line = Tr("wird geladen ...");
  if (board.State == TOnlineBoardView::TState::Failed) line = std::string(Tr("nicht abrufbar: ")) + board.Error;
  if (board.State == TOnlineBoardView::TState::Ready && board.Entries.empty()) line = Tr("Noch keine Eintr\xE4ge.");
  if (!line.empty()) fSmallFont->Print(line, ts::kAlignLeft, x, top, width, 4 * sS);
  for (std::size_t j = 0; j < board.Entries.size(); ++j) {
    const TOnlineEntry& entry = board.Entries[j];
    const float row = top + static_cast<float>(j) * sS;
    fSmallFont->Print(std::to_string(entry.Rank) + ".", ts::kAlignLeft, x, row, width, sS);
    fSmallFont->Print(entry.Name, ts::kAlignLeft, x + 1.5f * sS, row, width, sS);
    fSmallFont->Print(std::to_string(entry.Score), ts::kAlignRight, x, row, width, sS);
  }
}
