// MainMenu.h -- the main menu: page tree, stage list, background scene and
// the one stage object, which it runs while a stage is being played.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "menu/LevelListItem.h"
#include "menu/Menu.h"
#include "menu/OnlineBoard.h"
#include "objects/PowerUp.h"
#include "platform/Keyboard.h"
#include "render/textengine/TextEngine.h"
#include "services/Difficulty.h"
#include "services/Language.h"
#include "services/Random.h"
#include "services/Sound.h"
#include "services/Types.h"
#include "stage/Controls.h"

class TglFont;
class TOnlineBoard;
class TLevel;
class TShip;
class TVertexBufferObject;

namespace platform {
class TPlatform;
}

// One ship circling inside the background torus; angles in degrees.
struct TMenuShip {
  float Orbit = 0;       // round the torus's axis
  float Roll = 0;        // round the tube's centre line
  float OrbitSpeed = 0;  // in units of 2 degrees per second
  float RollSpeed = 0;   // in units of 2 degrees per second
  float Spin = 0;        // round the ship's own up axis
};

inline constexpr int kMenuShipCount = 51;
inline constexpr int kTorusVertexCount = 960;

// Page ids with a behaviour of their own.
inline constexpr const char* kStagePage = "0_0";
inline constexpr const char* kHighscorePage = "0_1";
inline constexpr const char* kVSyncItem = "0_3_0";
// The volume items of the settings page: Enter steps each through 100, 75,
// 50, 25 and 0 percent.
inline constexpr const char* kMusicVolumeItem = "0_3_2";
inline constexpr const char* kEffectsVolumeItem = "0_3_3";
// Switches the stage's feedback off and on (settings.ini main/klassisch).
inline constexpr const char* kClassicItem = "0_3_4";
// Enter steps the difficulty through Leicht, Normal and Schwer.
inline constexpr const char* kDifficultyItem = "0_3_5";
// Switches between full screen and a window, as Alt+Enter does.
inline constexpr const char* kWindowItem = "0_3_6";
// The player's controls: one item per action (in TAction order), then the
// mouse's sensitivity and direction, fire by toggle, and the defaults.
inline constexpr const char* kControlsPage = "0_3_7";
inline constexpr int kSensitivityIndex = 7;
inline constexpr int kInvertIndex = 8;
inline constexpr int kAutoFireIndex = 9;
inline constexpr int kDefaultsIndex = 10;
// The controls help's keyboard page: its text names the keys in force.
inline constexpr const char* kKeyboardHelpItem = "0_2_1_0";
// The id of item `index` of the controls page.
[[nodiscard]] std::string ControlsItem(int index);
// Enter switches the language between Deutsch and English
// (settings.ini main/language); the pages are read again at once.
inline constexpr const char* kLanguageItem = "0_3_8";
// Switches the calmer picture for photosensitive players off and on
// (settings.ini main/wenigerblitze).
inline constexpr const char* kReduceFlashItem = "0_3_9";
// Switches the online leaderboard off and on (settings.ini online/enabled).
inline constexpr const char* kOnlineItem = "0_3_10";

// The volume after `percent` on the settings page's cycle.
[[nodiscard]] int32_t NextVolumeStep(int32_t percent);
// The caption of items that lead back to the parent page.
inline constexpr const char* kBackCaption = "zur\xFC" "ck";
// The menu text file of each language, in data/.
inline constexpr const char* kGermanMenuFile = "ger.txt";
inline constexpr const char* kEnglishMenuFile = "eng.txt";

class TMainMenu {
 public:
  // Starts the music named in settings.ini, creates fonts, the stage object,
  // the background scene, reads data/ger.txt and lists the stage files of
  // data/. Needs a current GL context; plays through `sound`. Steps
  // with a message of their own end the program through FatalError; others
  // throw (the form reports them).
  TMainMenu(platform::TPlatform& platform, TSound& sound, ts::TtsContextID textContext, int32_t width,
            int32_t height);
  ~TMainMenu();
  TMainMenu(const TMainMenu&) = delete;
  TMainMenu& operator=(const TMainMenu&) = delete;

  // One frame of `elapsed` milliseconds: runs the stage while one is active,
  // otherwise animates the background and answers the keys.
  void Progress(float elapsed);
  // Draws the stage while one is active, otherwise the menu screen. Expects
  // the form's perspective projection and an identity modelview.
  void Render();
  // The window's client size changed: the layout, the fonts and the units
  // per pixel follow it, and so does the stage's HUD font.
  void Resize(int32_t width, int32_t height);

  // Multiplies the modelview by the background's view of the torus, turned
  // to fTorusAngle (tests project its points with it).
  void ApplyTorusCamera() const;

  // The window lost focus: a stage in flight pauses and waits for the player.
  void FocusLost();

  // Starts the stage in data/`fileName` (a plain NAME.level) on the
  // difficulty and controls in force: OnStageStarting is told first, then,
  // with fStagesApart, the random generator takes a fresh seed from the
  // platform and what an earlier stage left in the stage object is cleared,
  // so that the stage plays the same whatever ran before it.
  void StartStage(const std::string& fileName);
  // Called with the plain file name just before a stage starts.
  std::function<void(const std::string&)> OnStageStarting;
  // Every stage start reseeds (off only to replay recordings from before).
  bool fStagesApart = true;
  // The seed the last stage started from (0 without fStagesApart).
  uint32_t fStageSeed = 0;

  // Called when the player quits from the root page.
  std::function<void()> OnQuit;
  // Called by the settings page's window item: full screen <-> window.
  std::function<void()> OnToggleWindow;

  // The page addressed by fPath.
  [[nodiscard]] const TMenu& CurrentPage() const;
  // The page or item with this id; null when the tree has none.
  [[nodiscard]] const TMenu* FindItem(const std::string& id) const;
  // The description of item `index` of the current page, with the names of
  // the keys in force put in for {fire}, {pad.fire} and the like.
  [[nodiscard]] std::string ItemDescription(std::size_t index) const;
  // What the side block shows for the selected item of the controls page
  // and the window item; empty for any other item.
  [[nodiscard]] std::string ControlsStateText() const;
  // One-shot key test against the menu's own latch.
  bool KeyPressed(int vk);
  void GoBack();
  // Makes `difficulty` the one in force and stores it.
  void SetDifficulty(TDifficulty difficulty);

  // The torus: colour of ring station i (blue at 0, red at 15, blue at 30)
  // and the point at cross-section angle a and ring angle b (radians).
  [[nodiscard]] static TVector3f TorusColor(int i);
  [[nodiscard]] static TVector3f MakeTorusVertex(double a, double b);
  // The torus's vertices as colour and position, in buffer order.
  [[nodiscard]] static std::vector<std::array<float, 6>> TorusVertices();

  // Whether vertical sync is on: the driver's interval where it can be read,
  // else the stored setting.
  [[nodiscard]] bool VSyncOn();

  std::unique_ptr<TShip> fEnemyModel, fPlayerModel;
  std::array<TMenuShip, kMenuShipCount> fShips{};
  platform::TKeyLatch fKeyLatch{256};
  bool fRefresh = false;
  ts::TtsContextID fTextContext;
  std::unique_ptr<TVertexBufferObject> fTubeVBO;
  float fTorusAngle = 0, fMarkerPhase = 0;
  float fUnitsPerPixel = 0;  // world units per pixel at depth 40
  float fCursorMove = 0, fScrollMove = 0;
  std::unique_ptr<TglFont> fBigFont, fSmallFont;
  int32_t fHeight, fWidth;
  int32_t fFirst = 0;    // first item in the four-row window
  int32_t fCursor = 0;   // selected row of the window
  int32_t fLastRow = 3;  // last row of the window
  int32_t fSelected = 0;
  std::vector<TLevelListItem> fLevelList;
  std::string fPath = "0";
  std::string fItemId = "0_0";
  TMenu fMenu;
  // The game's one random generator, for the background and the stage (it
  // outlives the stage).
  TRandom fRandom;
  std::unique_ptr<TLevel> Level;
  TPowerUp fInfoPowerUp;
  int fMusic = 0;
  bool fVSyncSetting = true;  // settings.ini main/vsync
  int32_t fMusicVolume = 100;    // percent, settings.ini main/musicvolume
  int32_t fEffectsVolume = 100;  // percent, settings.ini main/effectsvolume
  bool fClassic = false;         // settings.ini main/klassisch, handed to the stage
  bool fReduceFlash = false;     // settings.ini main/wenigerblitze, handed to the stage
  // settings.ini main/difficulty: every stage started from the menu is
  // played on it, and the highscore page lists its highscores.
  TDifficulty fDifficulty = TDifficulty::Normal;
  // settings.ini [controls]: handed to the stage, changed on the controls page.
  TControls fControls;
  // An action on the controls page waits for its new key or button; the
  // keys and buttons that were down then must first be let go.
  std::optional<TAction> fWaitingFor;
  std::array<bool, 256> fWaitKeys{};
  uint16_t fWaitPad = 0;
  // The last refusal or confirmation of the controls page, shown while the
  // item it concerns stays selected.
  std::string fControlsMessage;
  std::string fMessageItem;
  // settings.ini [online], as the settings page shows and changes it.
  TOnlineSettings fOnlineSettings;
  // The leaderboard's connection when the game started with it on (the run
  // must be recorded from the start); null otherwise. Owned by the session.
  TOnlineBoard* fOnline = nullptr;

 private:
  void Enter();
  void EnterControlsItem(int index);
  // One frame of waiting for a key or button for fWaitingFor.
  void ProgressWaiting();
  void BindKey(TAction action, int vk);
  void BindPad(TAction action, platform::TPadButton button);
  // Shows `text` beside the selected item until the selection changes.
  void ShowControlsMessage(const std::string& text);
  // The caption of the controls page's item of `action`.
  [[nodiscard]] std::string ActionCaption(TAction action) const;
  // Writes keys of settings.ini's [controls] and hands the controls to the
  // stage.
  void StoreControls(const std::vector<std::pair<std::string, std::string>>& values);
  void AnimateBackground(float elapsed);
  void AdvanceRowMoves(float elapsed);
  // Reads the page tree from the current language's menu text file (the
  // German one when there is no English file) and fills the stage pages.
  void LoadPages();
  // Enter on kLanguageItem: the other language, stored and shown at once.
  void SwitchLanguage();
  void ScanLevels();
  void FillLevelPages();
  void RefreshLevels();
  void BuildTorus();
  // The fonts and units per pixel for fHeight.
  void SizeToHeight();
  // Writes one key of section "main" of settings.ini, leaving the others as
  // they are. A failure is reported on stderr and the game goes on.
  void WriteSetting(const std::string& key, const std::string& value);
  void PlayMenuSound(const char* file);
  [[nodiscard]] std::string ProgramDir() const;
  [[nodiscard]] std::string StagePath(const std::string& fileName) const;
  [[nodiscard]] int32_t LastRowFor(std::size_t itemCount) const;

  void RenderBackground();
  void RenderMarker();
  void RenderInfoPowerUp();
  void RenderOverlay();
  // The stage's online list beside the local one, and the latest news of a
  // sent run along the bottom.
  void RenderOnline(float x, float top, float width);

  platform::TPlatform& fPlatform;
  TSound& fSound;
};
