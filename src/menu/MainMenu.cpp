// MainMenu.cpp -- creating the menu, its keys, page navigation and settings.
#include "menu/MainMenu.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include "objects/Ship.h"
#include "platform/Platform.h"
#include "platform/VirtualKeys.h"
#include "render/Font.h"
#include "render/VertexBufferObject.h"
#include "services/Arith.h"
#include "services/DataError.h"
#include "services/FatalError.h"
#include "services/IniFile.h"
#include "services/Paths.h"
#include "services/Random.h"
#include "services/Settings.h"
#include "services/Sound.h"
#include "stage/InputTexts.h"
#include "stage/Level.h"

namespace {

constexpr const char* kDefaultMusic = "sound\\music1.wav";
constexpr std::array<const char*, 3> kMusicFiles = {"sound\\music1.wav", "sound\\music2.mp3", "sound\\music3.mp3"};

}  // namespace

std::string ControlsItem(int index) { return std::string(kControlsPage) + "_" + std::to_string(index); }

int32_t NextVolumeStep(int32_t percent) {
  if (percent <= 0) return 100;
  for (int32_t step : {75, 50, 25, 0}) {
    if (step < percent) return step;
  }
  return 0;
}

TMainMenu::TMainMenu(platform::TPlatform& platform, TSound& sound, ts::TtsContextID textContext, int32_t width,
                     int32_t height)
    : fTextContext(textContext), fHeight(height), fWidth(width), fPlatform(platform), fSound(sound) {
  const TIniFile settings = ReadSettings(ProgramDir() + "settings.ini");
  fVSyncSetting = settings.ReadInteger("main", "vsync", 1) != 0;
  fMusicVolume = std::clamp(settings.ReadInteger("main", "musicvolume", 100), 0, 100);
  fEffectsVolume = std::clamp(settings.ReadInteger("main", "effectsvolume", 100), 0, 100);
  fClassic = settings.ReadInteger("main", "klassisch", 0) != 0;
  fReduceFlash = settings.ReadInteger("main", "wenigerblitze", 0) != 0;
  fDifficulty = ReadDifficultySetting(settings);
  // A first start speaks the system's language, and keeps it from then on.
  const std::optional<TLanguage> language = ReadLanguageSetting(settings);
  SetLanguage(language.value_or(SystemLanguage()));
  if (!language) WriteSetting("language", std::string(LanguageName(Language())));
  fControls = ReadControls(settings);
  fOnlineSettings = ReadOnlineSettings(settings);
  fSound.SetVolumeScales(fMusicVolume, fEffectsVolume);
  fMusic = fSound.Play(ProgramPath(ProgramDir(), settings.ReadString("main", "music", kDefaultMusic)), true, 50);

  fRandom.Seed(fPlatform.RandomSeed());

  SizeToHeight();

  Guarded("MainMen\xFC, Create: Fehler beim erstellen von 'Level'",
          [&] { Level = std::make_unique<TLevel>(fPlatform, fTextContext, fRandom, fSound); });
  Level->fClassic = fClassic;
  Level->fReduceFlash = fReduceFlash;
  Level->fControls = fControls;
  // R starts the stage as the menu does, with its own seed (a recording
  // from before stages were apart reloads it as it did then).
  Level->OnPlayAgain = [this] {
    const std::string path = Level->fFileName;
    if (fStagesApart) {
      StartStage(StageFileName(path));
    } else {
      Level->LoadFromFile(path);
    }
  };

  fInfoPowerUp.Scale = 2;
  fEnemyModel = std::make_unique<TShip>(fPlatform);
  fEnemyModel->LoadFromFile(ProgramDir() + "data\\SmallEnemy.ship");
  fEnemyModel->fScale = 0.02f;
  fPlayerModel = std::make_unique<TShip>(fPlatform);
  fPlayerModel->LoadFromFile(ProgramDir() + "data\\Player.ship");
  fPlayerModel->fScale = 0.02f;
  for (TMenuShip& ship : fShips) {
    ship.Orbit = static_cast<float>(fRandom.Rnd(360));
    ship.Roll = static_cast<float>(fRandom.Rnd(360));
    ship.OrbitSpeed = static_cast<float>(fRandom.Rnd(20));
    ship.RollSpeed = static_cast<float>(fRandom.Rnd(15) - 7);
    ship.Spin = static_cast<float>(fRandom.Rnd(360));
  }

  LoadPages();
  // The root may have fewer than four items.
  fLastRow = LastRowFor(fMenu.Items.size());

  Guarded("MainMen\xFC, Create: Fehler beim erstellen und schreiben von 'fTubeVBO'", [&] { BuildTorus(); });
}

TMainMenu::~TMainMenu() {
  fBigFont.reset();
  fSmallFont.reset();
  fMenu.Items.clear();
  fTubeVBO.reset();
  fLevelList.clear();
  Level.reset();
  fEnemyModel.reset();
  fPlayerModel.reset();
}

void TMainMenu::LoadPages() {
  Guarded("MainMen\xFC, Create: Fehler beim erstellen von 'fMenu'", [&] {
    std::string fileName = ProgramDir() + "data\\" + kEnglishMenuFile;
    if (Language() != TLanguage::English || !FileExists(fileName)) fileName = ProgramDir() + "data\\" + kGermanMenuFile;
    TMenu menu;
    menu.Load(fileName);
    CheckMenuRoot(menu, fileName);
    fMenu = std::move(menu);
  });
  ScanLevels();
  FillLevelPages();
}

void TMainMenu::SwitchLanguage() {
  const TLanguage language = Language() == TLanguage::English ? TLanguage::German : TLanguage::English;
  SetLanguage(language);
  WriteSetting("language", std::string(LanguageName(language)));
  // Same page, same row: both files hold the same tree. A stage file that
  // went bad since the start is named, not lost in an uncaught failure.
  Guarded("MainMen\xFC, Progress: Fehler beim Laden der Seiten", [&] { LoadPages(); });
}

void TMainMenu::SizeToHeight() {
  fUnitsPerPixel = static_cast<float>(2 * std::tan(M_PI / 8) * 40 / fHeight);
  fBigFont = std::make_unique<TglFont>(fTextContext, 0, RoundToInt32(fHeight / 15.0), ProgramDir() + "data\\lcd.ttf");
  fSmallFont = std::make_unique<TglFont>(fTextContext, 0, RoundToInt32(fHeight / 30.0), ProgramDir() + "data\\lcd.ttf");
}

void TMainMenu::Resize(int32_t width, int32_t height) {
  fWidth = width;
  if (height != fHeight) {
    fHeight = height;
    SizeToHeight();
  }
  if (Level) Level->Resize(height);
}

std::string TMainMenu::ProgramDir() const { return fPlatform.BasePath(); }

int32_t TMainMenu::LastRowFor(std::size_t itemCount) const {
  return itemCount > 3 ? 3 : static_cast<int32_t>(itemCount) - 1;
}

const TMenu& TMainMenu::CurrentPage() const {
  std::string path = fPath;
  (void)TakeIndex(path);  // the root's own "0"
  const TMenu* page = &fMenu;
  for (int32_t k = TakeIndex(path); k != -1; k = TakeIndex(path)) page = &page->Items.at(static_cast<std::size_t>(k));
  return *page;
}

bool TMainMenu::KeyPressed(int vk) {
  // The pad stands in for the four keys the menu knows: d-pad (or stick) up
  // and down, A for Enter and B for Escape.
  const platform::TGamepadState pad = fPlatform.Gamepad();
  bool padDown = false;
  if (vk == platform::kVkUp) padDown = platform::PadHoldsUp(pad);
  if (vk == platform::kVkDown) padDown = platform::PadHoldsDown(pad);
  if (vk == platform::kVkReturn) padDown = pad.Down(platform::kPadA);
  if (vk == platform::kVkEscape) padDown = pad.Down(platform::kPadB);
  if (vk == platform::kVkLeft) padDown = pad.Down(platform::kPadLeft);
  if (vk == platform::kVkRight) padDown = pad.Down(platform::kPadRight);
  return fKeyLatch.Pressed(vk, platform::IsKeyDown(fPlatform, vk) || padDown);
}

void TMainMenu::PlayMenuSound(const char* file) { fSound.Play(ProgramDir() + file, false, 100); }

void TMainMenu::FocusLost() {
  if (Level && Level->fActive) Level->Pause();
}

void TMainMenu::Progress(float elapsed) {
  if (Level->fActive) {
    Guarded("MaiMen\xFC, Progress: Fehler beim Abarbeiten des Levels", [&] { Level->Progress(elapsed); });
    return;
  }

  fInfoPowerUp.Spin(elapsed);
  if (fOnline) fOnline->NoteShown(elapsed);
  // A message about one item goes when another is selected.
  if (fItemId != fMessageItem) fControlsMessage.clear();
  if (fRefresh) {
    fRefresh = false;
    RefreshLevels();
  }
  AnimateBackground(elapsed);
  if (fWaitingFor) {
    // The keys are the new binding's, not the menu's.
    AdvanceRowMoves(elapsed);
    ProgressWaiting();
    return;
  }

  const int32_t n = static_cast<int32_t>(CurrentPage().Items.size());
  if (KeyPressed(platform::kVkDown)) {
    if (fCursorMove == 0 && fCursor < fLastRow) {
      fCursorMove = 0.00001f;
      PlayMenuSound("sound\\menu_change.wav");
    }
    if (fCursor == fLastRow && fScrollMove == 0 && fFirst < n - fLastRow - 1) {
      fScrollMove = 0.00001f;
      PlayMenuSound("sound\\menu_change.wav");
    }
  }
  if (KeyPressed(platform::kVkUp)) {
    if (fCursorMove == 0 && fCursor > 0) {
      fCursorMove = -0.00001f;
      PlayMenuSound("sound\\menu_change.wav");
    }
    if (fCursor == 0 && fScrollMove == 0 && fFirst > 0) {
      fScrollMove = -0.00001f;
      PlayMenuSound("sound\\menu_change.wav");
    }
  }
  AdvanceRowMoves(elapsed);
  // On the stage page Left and Right choose the difficulty the stages start
  // with, as the settings page's item does.
  const bool left = KeyPressed(platform::kVkLeft), right = KeyPressed(platform::kVkRight);
  if (fPath == kStagePage && (left || right)) {
    const std::size_t count = kDifficulties.size();
    const std::size_t now = static_cast<std::size_t>(fDifficulty);
    SetDifficulty(static_cast<TDifficulty>(right ? std::min(now + 1, count - 1) : now == 0 ? 0 : now - 1));
  }

  if (KeyPressed(platform::kVkEscape)) {
    if (fPath != "0") {
      GoBack();
    } else if (OnQuit) {
      OnQuit();
    }
  }
  if (KeyPressed(platform::kVkReturn)) Enter();
}

void TMainMenu::StartStage(const std::string& fileName) {
  Level->fDifficulty = fDifficulty;
  Level->fControls = fControls;
  if (OnStageStarting) OnStageStarting(fileName);
  if (fStagesApart) {
    fStageSeed = fPlatform.RandomSeed();
    fRandom.Seed(fStageSeed);
    Level->ForgetEarlierStage();
  }
  Guarded("MainMen\xFC, Progress: Fehler beim Laden des Levels", [&] { Level->LoadFromFile(StagePath(fileName)); });
}

void TMainMenu::AdvanceRowMoves(float elapsed) {
  // One row per 100 ms; the selection changes when the move completes.
  auto advance = [&](float& move, int32_t& row) {
    if (move > 0) move += elapsed / 100;
    if (move < 0) move -= elapsed / 100;
    if (move > 1 || move < -1) {
      row += move > 0 ? 1 : -1;
      move = 0;
      fSelected = fFirst + fCursor;
      fItemId = fPath + "_" + std::to_string(fSelected);
    }
  };
  advance(fCursorMove, fCursor);
  advance(fScrollMove, fFirst);
}

void TMainMenu::Enter() {
  PlayMenuSound("sound\\menu_enter.wav");
  bool back = false;

  const TMenu* page = &CurrentPage();
  const auto selected = static_cast<std::size_t>(fSelected);
  const TMenu* item = selected < page->Items.size() ? &page->Items[selected] : nullptr;

  if (fPath == kStagePage && item && item->Caption != Tr(kBackCaption) && selected < fLevelList.size() &&
      fLevelList[selected].Active) {
    back = true;
    // The Escape press that ends the stage must not act in the menu too.
    fKeyLatch.Latch(platform::kVkEscape);
    fKeyLatch.Latch(fControls[TAction::Leave].Key);
    StartStage(fLevelList[selected].FileName);
    fRefresh = true;
  }

  if (fItemId == kVSyncItem) {
    const bool on = fPlatform.HasSwapControl() ? fPlatform.GetSwapInterval() != 1 : !fVSyncSetting;
    if (fPlatform.HasSwapControl()) fPlatform.SetSwapInterval(on ? 1 : 0);
    fVSyncSetting = on;
    WriteSetting("vsync", on ? "1" : "0");
  }

  if (fItemId == kMusicVolumeItem || fItemId == kEffectsVolumeItem) {
    const bool music = fItemId == kMusicVolumeItem;
    int32_t& volume = music ? fMusicVolume : fEffectsVolume;
    volume = NextVolumeStep(volume);
    fSound.SetVolumeScales(fMusicVolume, fEffectsVolume);
    WriteSetting(music ? "musicvolume" : "effectsvolume", std::to_string(volume));
  }

  if (fItemId == kClassicItem) {
    fClassic = !fClassic;
    Level->fClassic = fClassic;
    WriteSetting("klassisch", fClassic ? "1" : "0");
  }
  if (fItemId == kReduceFlashItem) {
    fReduceFlash = !fReduceFlash;
    Level->fReduceFlash = fReduceFlash;
    WriteSetting("wenigerblitze", fReduceFlash ? "1" : "0");
  }
  if (fItemId == kOnlineItem) {
    fOnlineSettings.Enabled = !fOnlineSettings.Enabled;
    // The address is written too, so that the player finds it to change.
    ::WriteSettings(ProgramDir() + "settings.ini", kOnlineSection,
                    {{"enabled", fOnlineSettings.Enabled ? "1" : "0"}, {"server", fOnlineSettings.Server}});
  }
  if (fItemId == kWindowItem && OnToggleWindow) OnToggleWindow();
  if (fPath == kControlsPage && item) EnterControlsItem(fSelected);
  if (fItemId == kDifficultyItem) SetDifficulty(NextDifficulty(fDifficulty));
  if (fItemId == kLanguageItem) {
    SwitchLanguage();
    page = &CurrentPage();
    item = selected < page->Items.size() ? &page->Items[selected] : nullptr;
  }

  for (std::size_t track = 0; track < kMusicFiles.size(); ++track) {
    if (fItemId != "0_3_1_" + std::to_string(track)) continue;
    fSound.Stop(fMusic);
    WriteSetting("music", kMusicFiles[track]);
    fMusic = fSound.Play(ProgramDir() + kMusicFiles[track], true, 50);
  }

  if (item && !item->Items.empty()) {
    fPath += "_" + std::to_string(fSelected);
    fLastRow = LastRowFor(item->Items.size());
    fFirst = fCursor = fSelected = 0;
    fCursorMove = fScrollMove = 0;
    fItemId = fPath + "_0";
  }

  if (back) GoBack();

  if (fPath == "0" && fSelected == 4 && OnQuit) OnQuit();

  page = &CurrentPage();
  if (static_cast<std::size_t>(fSelected) < page->Items.size() &&
      page->Items[static_cast<std::size_t>(fSelected)].Caption == Tr(kBackCaption))
    GoBack();
}

void TMainMenu::SetDifficulty(TDifficulty difficulty) {
  if (difficulty == fDifficulty) return;
  fDifficulty = difficulty;
  WriteSetting("difficulty", std::string(DifficultyRules(fDifficulty).Name));
  fRefresh = true;  // the highscore page shows this difficulty's lists
  PlayMenuSound("sound\\menu_change.wav");
}

void TMainMenu::GoBack() {
  const std::size_t separator = fPath.rfind('_');
  if (separator == std::string::npos) return;  // the root has no parent
  fPath.erase(separator);
  fFirst = fCursor = fSelected = 0;
  fCursorMove = fScrollMove = 0;
  fItemId = fPath + "_0";
  fLastRow = LastRowFor(CurrentPage().Items.size());
}

bool TMainMenu::VSyncOn() {
  if (fPlatform.HasSwapControl()) return fPlatform.GetSwapInterval() != 0;
  return fVSyncSetting;
}

void TMainMenu::WriteSetting(const std::string& key, const std::string& value) {
  ::WriteSetting(ProgramDir() + "settings.ini", key, value);
}

const TMenu* TMainMenu::FindItem(const std::string& id) const {
  std::string path = id;
  if (TakeIndex(path) != 0) return nullptr;
  const TMenu* page = &fMenu;
  for (int32_t k = TakeIndex(path); k != -1; k = TakeIndex(path)) {
    if (k < 0 || static_cast<std::size_t>(k) >= page->Items.size()) return nullptr;
    page = &page->Items[static_cast<std::size_t>(k)];
  }
  return page;
}

std::string TMainMenu::ItemDescription(std::size_t index) const {
  const TMenu& page = CurrentPage();
  if (index >= page.Items.size()) return {};
  std::string text = page.Items[index].Description;
  if (text.find('{') == std::string::npos) return text;
  for (int i = 0; i < kActionCount; ++i) {
    const auto action = static_cast<TAction>(i);
    const std::pair<std::string, std::string> names[] = {
        {"{" + ActionKeySetting(action) + "}", KeyShownName(fControls[action].Key)},
        {"{" + ActionPadSetting(action) + "}", PadButtonShownName(fControls[action].Pad)}};
    for (const auto& [token, name] : names) {
      for (std::size_t at = text.find(token); at != std::string::npos; at = text.find(token, at + name.size()))
        text.replace(at, token.size(), name);
    }
  }
  return text;
}

std::string TMainMenu::ActionCaption(TAction action) const {
  const TMenu* item = FindItem(ControlsItem(static_cast<int>(action)));
  return item ? item->Caption : ActionKeySetting(action);
}

void TMainMenu::ShowControlsMessage(const std::string& text) {
  fControlsMessage = text;
  fMessageItem = fItemId;
}

void TMainMenu::StoreControls(const std::vector<std::pair<std::string, std::string>>& values) {
  ::WriteSettings(ProgramDir() + "settings.ini", kControlsSection, values);
  Level->fControls = fControls;
}

void TMainMenu::EnterControlsItem(int index) {
  fControlsMessage.clear();
  if (index >= 0 && index < kActionCount) {
    // Whatever is down now (the Enter, the pad's A) must be let go first.
    fWaitingFor = static_cast<TAction>(index);
    for (int vk = 0; vk < 256; ++vk) fWaitKeys[static_cast<std::size_t>(vk)] = platform::IsKeyDown(fPlatform, vk);
    const platform::TGamepadState pad = fPlatform.Gamepad();
    fWaitPad = pad.Connected ? pad.Buttons : 0;
  } else if (index == kSensitivityIndex) {
    fControls.MouseSensitivity = NextMouseSensitivity(fControls.MouseSensitivity);
    StoreControls({{"mousesensitivity", SensitivityText(fControls.MouseSensitivity)}});
  } else if (index == kInvertIndex) {
    fControls.MouseInvert = !fControls.MouseInvert;
    StoreControls({{"mouseinvert", fControls.MouseInvert ? "1" : "0"}});
  } else if (index == kAutoFireIndex) {
    fControls.AutoFire = !fControls.AutoFire;
    StoreControls({{"autofire", fControls.AutoFire ? "1" : "0"}});
  } else if (index == kDefaultsIndex) {
    fControls = DefaultControls();
    StoreControls(ControlsSettings(fControls));
    ShowControlsMessage(std::string(Tr(kTextDefaultsRestored)));
  }
}

void TMainMenu::ProgressWaiting() {
  const TAction action = *fWaitingFor;
  std::array<bool, 256> keys{};
  for (int vk = 0; vk < 256; ++vk) keys[static_cast<std::size_t>(vk)] = platform::IsKeyDown(fPlatform, vk);
  const platform::TGamepadState pad = fPlatform.Gamepad();
  const uint16_t buttons = pad.Connected ? pad.Buttons : 0;
  auto pressed = [&](int vk) { return keys[static_cast<std::size_t>(vk)] && !fWaitKeys[static_cast<std::size_t>(vk)]; };

  bool done = true;
  if (pressed(platform::kVkEscape)) {
    fControlsMessage.clear();
  } else if (pressed(platform::kVkReturn)) {
    ShowControlsMessage(std::string(Tr(kTextEnterReserved)));
  } else {
    const std::vector<int>& bindable = BindableKeys();
    const auto key = std::find_if(bindable.begin(), bindable.end(), pressed);
    const auto newButtons = static_cast<uint16_t>(buttons & ~fWaitPad);
    if (key != bindable.end()) {
      BindKey(action, *key);
    } else if (newButtons != 0) {
      // The lowest of the buttons that went down together.
      BindPad(action, static_cast<platform::TPadButton>(newButtons & (~newButtons + 1)));
    } else {
      done = false;
    }
  }
  fWaitKeys = keys;
  fWaitPad = buttons;
  if (!done) return;
  fWaitingFor.reset();
  // The key or button that ended the wait does nothing more in the menu.
  for (const int vk : {platform::kVkUp, platform::kVkDown, platform::kVkReturn, platform::kVkEscape})
    fKeyLatch.Latch(vk);
  PlayMenuSound("sound\\menu_change.wav");
}

void TMainMenu::BindKey(TAction action, int vk) {
  if (const std::optional<TAction> holder = KeyHolder(fControls, vk, action)) {
    ShowControlsMessage(FillText(kTextKeyTaken, {KeyShownName(vk), ActionCaption(*holder)}));
    return;
  }
  fControls[action].Key = vk;
  StoreControls({{ActionKeySetting(action), KeyFileName(vk)}});
}

void TMainMenu::BindPad(TAction action, platform::TPadButton button) {
  if (const std::optional<TAction> holder = PadHolder(fControls, button, action)) {
    ShowControlsMessage(FillText(kTextPadTaken, {PadButtonShownName(button), ActionCaption(*holder)}));
    return;
  }
  fControls[action].Pad = button;
  StoreControls({{ActionPadSetting(action), PadButtonFileName(button)}});
}

std::string TMainMenu::ControlsStateText() const {
  if (fItemId == kWindowItem) return std::string(Tr(fPlatform.WindowMode().FullScreen ? kTextFullScreen : kTextWindow));
  if (fItemId == kOnlineItem) {
    std::string text = std::string(Tr(fOnlineSettings.Enabled ? "zur Zeit eingeschaltet" : "zur Zeit ausgeschaltet")) +
                       "\r\n" + std::string(Tr("Server: ")) + fOnlineSettings.Server;
    if (const std::string problem = OnlineServerProblem(fOnlineSettings.Server); !problem.empty()) text += "\r\n" + problem;
    if (fOnlineSettings.Enabled && !fOnline) text += "\r\n" + std::string(Tr("Eingeschaltet: gilt ab dem n\xE4" "chsten Start des Spiels."));
    return text;
  }
  if (fPath != kControlsPage) return {};
  if (fWaitingFor && static_cast<int>(*fWaitingFor) == fSelected) return std::string(Tr(kTextWaiting));
  if (!fControlsMessage.empty() && fMessageItem == fItemId) return fControlsMessage;
  if (fSelected >= 0 && fSelected < kActionCount) {
    const TBinding& binding = fControls[static_cast<TAction>(fSelected)];
    return FillText(kTextBinding, {KeyShownName(binding.Key), PadButtonShownName(binding.Pad)});
  }
  if (fSelected == kSensitivityIndex) {
    std::string factor = SensitivityText(fControls.MouseSensitivity);
    if (Language() == TLanguage::German) std::replace(factor.begin(), factor.end(), '.', ',');
    return FillText(kTextSensitivity, {factor});
  }
  if (fSelected == kInvertIndex) return std::string(Tr(fControls.MouseInvert ? kTextOn : kTextOff));
  if (fSelected == kAutoFireIndex) return std::string(Tr(fControls.AutoFire ? kTextOn : kTextOff));
  return {};
}
