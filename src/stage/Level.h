// Level.h -- one running stage: the hub every game object of a stage reads
// and changes (position, roll, life, score, the player's ship and shots).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "objects/StageHub.h"
#include "platform/Keyboard.h"
#include "platform/Platform.h"
#include "services/Types.h"
#include "stage/Controls.h"
#include "stage/StageRules.h"
#include "stage/StageSettings.h"

class TBolt;
class TBoss;
class TIniFile;
class TglFont;
class TVertexBufferObject;
struct TPowerUp;

using TTextContextHandle = uint32_t;

struct TTubeRing {
  TVector4f Color;                // components 0..1
  std::vector<TVector3f> Points;  // fPointsPerCircle entries
};

// Text-engine alignments of HUD texts.
inline constexpr int32_t kAlignLeft = 0x311;
inline constexpr int32_t kAlignCentre = 0x312;
inline constexpr int32_t kAlignRight = 0x313;

// One HUD text and its block, in overlay pixels.
struct THudText {
  std::string Text;
  int32_t Alignment;
  float Left, Top, Width, Height;
};

// A feedback timer that has not started: long past anything it shows.
inline constexpr float kFeedbackIdleMs = 1e6f;

// The most entries read from a stage's highscore list (a save keeps ten).
inline constexpr int32_t kMaxHighscores = 1000;

struct THighScoreItem {
  std::string Name;
  int32_t Score = 0;
};

// A stage file's plain name, whatever folder it is named with
// ("Level01.level" of "data\Level01.level"), and the stage's name without
// the ending ("Level01").
[[nodiscard]] std::string StageFileName(std::string_view path);
[[nodiscard]] std::string StageName(std::string_view path);

// The stage's shared state (path, player, object settings, score and life)
// lives in TStageHub, where its objects see it.
class TLevel : public TStageHub {
 public:
  // Builds the empty stage: HUD font, path, tube buffer, models, managers
  // and boss, each step guarded with its fatal message. Needs a current GL
  // context.
  TLevel(platform::TPlatform& platform, TTextContextHandle textContext, TRandom& random, TSound& sound);
  ~TLevel() override;

  // Reads the stage file and starts the stage (fActive), or does nothing
  // more than the reset for a file without control points. Malformed values
  // throw EConvertError, impossible ones EDataError; missing files are fatal.
  void LoadFromFile(const std::string& fileName);
  // Clears what a stage played before leaves behind and LoadFromFile keeps
  // or reads before it sets it (the last finish table, the place the swarm
  // is spawned from), so that the next stage's state depends on its
  // own start alone. Recordings from before per-stage runs replay without.
  void ForgetEarlierStage();
  // Reloads the highscore list from the stage file and inserts a new
  // unnamed entry for `score` after every entry at least as good. Returns
  // its index.
  int32_t LoadHighscores(int32_t score);
  // A run of `score` would get one of the ten places of the stage's list
  // as it is in the file now (nothing in the stage changes).
  [[nodiscard]] bool EarnsPlace(int32_t score) const;
  // Writes the first ten entries of the list back into the stage file and
  // unlocks the stage named in NextLevel, which must be a plain file name
  // beside this one (anything else is refused with a message on stderr;
  // the list is saved all the same). A failed save throws; a missing stage
  // file is fatal.
  void SaveHighscores();
  // One frame of play or of the finish screen, `elapsed` ms after the last.
  // Needs a loaded stage (fActive).
  void Progress(float elapsed);
  // Holds a stage in flight, as the P key does (the menu calls it when the
  // window loses focus): nothing moves and the sounds stand still until the
  // player resumes. The finish screen is never paused.
  void Pause();
  [[nodiscard]] bool Paused() const { return fPaused; }
  // A failing object update of a frame (0 the player's shots, 1 the small
  // and 2 the medium enemies, 3 the boss): a message box the first time in
  // this stage, so that a failure repeating every frame cannot bury the game
  // under boxes; stderr every time. Play goes on.
  void ReportProgressFailure(std::size_t which);
  // Sizes the HUD font to a viewport this high (a twentieth of it), as the
  // constructor does for the viewport it finds; the menu calls it when the
  // window's client size changes.
  void Resize(int32_t viewportHeight);
  // Draws one frame of the stage and its HUD.
  void Render();
  // Sets the modelview to the stage's camera, the first step of Render
  // (benchmarks draw single parts of the picture from it).
  void RenderCamera();
  // The path parameter the camera stands at this frame: fPos in flight,
  // fEndPos in the arena, unless the ship would leave the picture there
  // (then the camera follows it; not with fClassic). Needs the frame's
  // viewport and projection.
  [[nodiscard]] double CameraPos() const;
  // The player's ship and its shield at the current camera, the second step
  // of Render.
  void RenderShip();
  // The HUD's texts for a w x h viewport and font size s: score, life and,
  // beyond the tube, the boss, then the arena's hint while it shows; and the
  // result or highscore table.
  [[nodiscard]] std::vector<THudText> HudTexts(float w, float h, float s) const;
  void HudTexts(float w, float h, float s, std::vector<THudText>& texts) const;
  [[nodiscard]] std::vector<THudText> ResultTexts(float w, float h, float s) const;
  // The finish screen's keys that work now, one line each: Enter, R (not in
  // the name entry) and the key that leaves.
  [[nodiscard]] std::vector<std::string> FinishKeyLines() const;
  // The stage's title shows for its first kTitleMs (not with fClassic).
  static constexpr float kTitleMs = 2500;
  [[nodiscard]] bool TitleShown() const;
  // "Pause", how to go on and how to fire, centred; empty while the stage
  // runs.
  [[nodiscard]] std::vector<THudText> PauseTexts(float w, float h, float s) const;
  // How opaque the note of the last power-up is now (fFeedback.Note, under
  // the HUD's row): 0 when it is not shown, always 0 with fClassic.
  [[nodiscard]] float NoteAlpha() const;
  // How far the boss is drawn in its hit flash this frame (0 .. 1; with
  // fReduceFlash a soft swell that never reaches the full flash).
  [[nodiscard]] float BossFlash() const;
  // The ship's colour this frame: its own, or white while it blinks after a
  // hit (with fReduceFlash: blended toward white, swelling and ebbing).
  [[nodiscard]] TVector4f ShipColorNow() const;
  // The life bar and the shield dome are drawn this frame: they blink as
  // the stage's rules say, or with fReduceFlash once a second.
  [[nodiscard]] bool LifeBarShown() const;
  [[nodiscard]] bool ShieldShown() const;
  // One power-up in the current local frame, scaled (wrap in push/pop).
  static void DrawPowerUp(const TPowerUp& powerUp);

  // Colour bytes of the tube at path parameter t; beyond the end the opened
  // tube fades out over its end rings.
  [[nodiscard]] std::array<uint8_t, 4> RingColor(float t) const;
  // A point of the tube wall at t and `angle` radians, `k` radii from the
  // axis, with the same frame and opening as the objects on the wall.
  [[nodiscard]] TVector3f TubeVertex(float t, float angle, float k) const;
  // What TubeVertex computes once for all points at one t: the path's frame
  // and the opening there.
  struct TTubeSlice {
    TSplineFrame Frame;
    bool Beyond = false;   // t > 1: the tube opens into the floor
    double Narrowing = 1;  // the angle is divided by it beyond the end
    double Opening = 1;    // the radius grows by it beyond the end
    float CosPitch = 1, SinPitch = 0, CosYaw = 1, SinYaw = 0;
  };
  [[nodiscard]] TTubeSlice TubeSlice(float t) const;
  [[nodiscard]] TVector3f TubeVertex(const TTubeSlice& slice, float angle, float k) const;
  // The slices of rings 0 .. count - 1 (t = ring / fCircles).
  [[nodiscard]] std::vector<TTubeSlice> RingSlices(int32_t count) const;

  // The executable's folder, with a trailing separator.
  [[nodiscard]] std::string ProgramDir() const override { return fPlatform.BasePath(); }
  void PassStage() override;
  [[nodiscard]] platform::TPlatform& Platform() override { return fPlatform; }

  std::vector<std::unique_ptr<TBolt>> fBolts;  // 0: gate ring, 1..P: radial bolts
  TTextContextHandle fTextContext;
  std::unique_ptr<TVertexBufferObject> fTubeVBO;
  std::unique_ptr<TglFont> fFont;
  std::vector<TTubeRing> fRings;

  struct {
    std::vector<std::unique_ptr<TPowerUp>> List;
    float Scale = 0;
    float Angle = 0;   // degrees: half width for pick-up
    float Length = 0;  // path parameter: half length for pick-up
  } fPowerUp;

  struct {
    std::vector<THighScoreItem> HighScore;  // best first
    bool NameEntry = false;
    bool CursorVisible = false;
    float Time = 0, CursorTime = 0, CountTime = 0;  // ms
    int32_t EntryIndex = 0;
    int32_t Points = 0, LifeBonus = 0, TimeBonus = 0, Total = 0;
    TFinishState State = TFinishState::Running;
    // The pad's A fires in flight and confirms here: it counts only once it
    // was let go after the flight ended.
    bool PadArmed = false;
    // The list was saved (and the next stage unlocked) by the name entry.
    bool Saved = false;
    // The run's total gets a place in the list (read as the finish screen
    // opens): R and Y do not throw it away.
    bool Qualifies = false;
    // R or Y was pressed on a run with a place: the name entry came first,
    // and the stage starts again once the name is saved.
    bool RetryAfterName = false;
  } fFinish;
  // Called once the player confirmed the name entry with a name, right
  // after the list was saved; the finish table and the stage's score, life
  // and time are still those of the run.
  std::function<void()> OnNameConfirmed;
  // Starts the stage again for R (the menu's start: a fresh seed, and the
  // session's run and challenge); unset: the stage reloads itself.
  std::function<void()> OnPlayAgain;

  // What the picture and the sounds add to tell the player what just
  // happened: a hit, a power-up taken, a hit on the boss, life running low.
  // Only drawing and sounds read it; it is no part of the game's state (no
  // checksum, no random draw, no rule looks at it), so a run plays the same
  // with it and without. Times in ms since the event.
  struct TFeedback {
    float SinceHit = kFeedbackIdleMs;
    float SinceBossHit = kFeedbackIdleMs;
    float SinceBossTick = kFeedbackIdleMs;
    float SinceNote = kFeedbackIdleMs;
    std::string Note;               // what the last power-up gave
    TVector4f NoteColor{1, 1, 1, 1};
    bool NoteTaken = false;         // a power-up was taken in this frame
    bool LowLifeWarned = false;     // the warning sounded; again once life is back to 20
    // For fReduceFlash, 0 .. 1: how strongly the red edge (and the ship's
    // white) and the boss's flash show. They follow the hits at a bounded
    // speed, so hits in quick succession make one glow, not many flashes.
    float HitGlow = 0;
    float BossGlow = 0;
  } fFeedback;
  // settings.ini main/klassisch: the picture and the sounds of the game
  // alone, without any of fFeedback.
  bool fClassic = false;
  // settings.ini main/wenigerblitze: nothing in the picture flashes more
  // than three times a second (the gate's lightning glows steadily, blinking
  // marks blink slowly, bright flashes are soft). Drawing only, like
  // fFeedback: the game plays the same either way.
  bool fReduceFlash = false;
  // The player's keys, buttons and mouse (settings.ini [controls]); the menu
  // sets them before it starts a stage.
  TControls fControls = DefaultControls();
  // With fControls.AutoFire: fire is switched on (reset at load).
  bool fAutoFireOn = false;

  std::unique_ptr<TBoss> fBoss;
  bool fActive = false;
  bool fPaused = false;
  bool fLifeVisible = false;
  platform::TKeyLatch fKeyLatch{257};
  // The latch entry past the key codes: the fire key, button and mouse
  // button together, for switching fire with fControls.AutoFire.
  static constexpr int kFireLatch = 256;
  platform::TKeyLatch fPadLatch{platform::kPadButtonCount};  // by button bit
  platform::TGamepadState fPad;  // as this frame found it
  float fEndPos = 0;
  float fEndRoll = 0;  // degrees
  // A hint on screen for a stage that asks for it: the arena's moves as the
  // ship arrives (never with fClassic).
  bool fArenaHint = false;
  // The stage started without the server's challenge while the online
  // board was on: the finish screen says the run is not for the board.
  // Drawing only, set by the session before the stage loads.
  bool fNotForBoard = false;
  std::string fArenaHintText;  // naming the keys in force at load
  float fArenaTime = -1;  // stage time (ms) at which the ship reached the arena; -1 before
  float fShootTime = 0;
  float fShootInterval = 0;
  float fLifeBlinkTime = 0;
  int32_t fPointsPerCircle = 0;
  std::string fFileName;
  std::string fTitle;  // the stage's title in the player's language
  TVector4f fTubeStartColor;
  TVector4f fTubeEndColor;

 private:
  void ResetObjects();
  // The stage file's highscore list of the difficulty in force.
  [[nodiscard]] std::vector<THighScoreItem> ReadHighscoreList() const;
  // rollDelta: degrees from keys and mouse; mouseRise: pixels the mouse
  // moved up since the last frame.
  void ProgressControls(float elapsed, float rollDelta, int mouseRise);
  void ProgressEndZone(float elapsed, int mouseRise);
  void FireVolley();
  void ProgressObjects(float elapsed);
  void ProgressPowerUps(float elapsed);
  // The feedback of a frame of flight, after everything moved: the hits
  // the ship took, what the frame did to the boss's life, a power-up noted,
  // life running low; and their sounds.
  void ProgressFeedback(float elapsed, int32_t hitsBefore, int32_t bossLifeBefore);
  // A power-up was taken; the stage already applied it. Its note and sound
  // start with the frame's feedback.
  void NotePowerUp(const TPowerUp& powerUp, int32_t lifeBefore, int32_t weaponBefore);
  // The finish screen's frame; true when the player asks to play again.
  bool ProgressFinish(float elapsed);
  void ProgressPadNameEntry(std::string* name);
  // P, the Pause key or the pad's Start, pressed since the last frame.
  bool PausePressed();
  void SetPaused(bool paused);
  // Pausing is possible: in flight, and not in a replay from before it.
  [[nodiscard]] bool CanPause() const { return fFinish.State == TFinishState::Running; }
  // Escape or a retry left a won stage: the next stage is unlocked all the
  // same.
  void KeepUnlock();
  // Sets Active in the stage named by `stage`'s NextLevel and saves that
  // file. `leaving` (Escape from a won stage): a stage already unlocked is
  // not written again and a missing one is only named on stderr, where the
  // highscore save treats it as fatal.
  void UnlockNextStage(const TIniFile& stage, bool leaving);
  // Speed and end-zone moves: the keys and buttons bound to them, or the stick.
  bool HoldsUp();
  bool HoldsDown();
  // The fire key, the left mouse button or the fire button is down.
  bool FireHeld();
  // A pad button pressed since the last frame that saw it up.
  bool PadPressed(platform::TPadButton button);

  // The camera's moves at path parameter p, in the order they are made:
  // lift, roll about the view axis, drop, pitch, yaw, then to the path.
  struct TCameraSteps {
    float Lift = 0, Roll = 0, Drop = 0, Pitch = 0, Yaw = 0;
    TVector3f Position;
  };
  [[nodiscard]] TCameraSteps CameraSteps(double p) const;
  // The picture's part the ship must stay in, in pixels from the top left.
  struct TSafeArea {
    float Width, Height;
    float Left, Right, Top, Bottom;
  };
  // How far (pixels) the ship's points reach out of `area` with the camera
  // at p, to the sides, above and below; `view` is projection times
  // modelview before the camera.
  struct TShipOutside {
    float Aside = 0, Above = 0, Below = 0;
    [[nodiscard]] float Total() const { return Aside + Above + Below; }
  };
  [[nodiscard]] TShipOutside ShipOutside(double p, const std::array<float, 16>& view, const TSafeArea& area) const;
  // How far behind the ship (rings) the arena's camera may go to keep it
  // in view.
  static constexpr double kCameraBackRings = 40;

  void BuildTube();
  void BuildRings();
  void BuildBolts();
  void DrawShield() const;
  // The red glow at the screen's edge after a hit, in overlay pixels.
  void RenderHitFlash(float w, float h) const;
  void RenderStart();
  void RenderHud();

  platform::TPlatform& fPlatform;
  std::array<bool, 4> fProgressReported{};  // per object update, this stage
  // The rings of the growing tube as line pairs, ring by ring (its loop,
  // then the lines from the ring before), with their colours: the intro
  // draws the fully opaque part of the tube from these in one call.
  std::unique_ptr<TVertexBufferObject> fIntroVBO;  // the intro's rings, for the opaque part
  std::vector<THudText> fHudTexts;  // the HUD's texts, kept from frame to frame
};
