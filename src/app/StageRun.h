// StageRun.h -- a stage's run within a session: recorded apart from the
// session from the stage's start to its name entry, the identity of the
// play, and the checks of a run's clock and challenge (the report itself is
// VerifyReport's).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Recording.h"
#include "services/Sha256.h"

class TLevel;
class TMainMenu;
namespace platform {
class TRecordingPlatform;
}

// The longest frame a stage in flight may take in a run the board accepts:
// the autopilot's longest fixed step, and far beyond any frame the game
// draws. A longer one is a stalled machine or an edited clock.
inline constexpr float kMaxFlightFrameMs = 1000;

// The seed a server's challenge gives the stage: its fourth dot-separated
// field, a decimal 32-bit number ("v1.<stage>.<difficulty>.<seed>.<nonce>.
// <issued>.<mac>"); nullopt for anything else.
[[nodiscard]] std::optional<uint32_t> SeedOfChallenge(std::string_view challenge);

// A name as the board compares and shows it: spaces at either end dropped,
// inner runs of spaces made one.
[[nodiscard]] std::string NormalizedName(std::string_view name);

// Where the recording's clock fails: a reading earlier than the one before
// it ("clock runs backwards at frame N"); nullopt for a sane clock.
[[nodiscard]] std::optional<std::string> ClockRefusal(const platform::TRecording& recording);

// A replay's stages: a recording from before per-stage runs replays without
// reseeding; a stage's run starts its stage at once, before any frame.
void StartReplayedStage(TMainMenu& menu, const platform::TRecording& recording, class TStageRuns& stages);

// The identity of a play: SHA-256 over the stage's SHA-256 (hex), the
// difficulty's name and the stage seed (decimal), each ended by a line
// feed, then the stage's StateChecksum after each frame of flight (4 bytes,
// little-endian), from the first frame after the stage's start to the last
// one before the finish screen. Names typed afterwards and looks do not
// enter it.
class TPlayHash {
 public:
  void Begin(std::string_view stageHash, std::string_view difficulty, uint32_t seed);
  void Add(uint32_t checksum);
  [[nodiscard]] std::string Hex() const;
  [[nodiscard]] bool Begun() const { return fBegun; }

 private:
  TSha256 fHash;
  bool fBegun = false;
};

// The session's stage runs: the recorder's run of each stage started from
// the menu (with the challenge the online board has for it), and the play's
// identity of the stage in flight.
class TStageRuns {
 public:
  // `recorder` may be null (nothing is recorded then).
  explicit TStageRuns(platform::TRecordingPlatform* recorder) : fRecorder(recorder) {}

  // Follows the menu's stage starts.
  void Attach(TMainMenu& menu);
  // The stage was started before any frame (a stage's run replayed): its
  // first frame counts for the play.
  void StartedBeforeFrames() { fSkipFrame = false; }
  // A replayed stage's run: the challenge its recording carries.
  void SetReplayedChallenge(std::string challenge) { fChallenge = std::move(challenge); }
  // After each frame of the session, with the stage as the frame left it.
  // `checksumDue`: the session's second is full, the stage run gets the
  // stage's checksum too.
  void FrameDone(const TLevel& level, bool checksumDue);
  // The name entry was confirmed in this frame: the stage's run ends with
  // it (FrameDone, with the state the frame ended in) and becomes the last
  // run.
  void NameConfirmed() { fNamePending = true; }
  // The stage was left without a name: its run so far becomes the last run.
  void StageLeft();

  // --verify's check of the frame just played: a frame of flight longer
  // than kMaxFlightFrameMs (or negative) after one of flight gives the
  // fixed refusal; nullopt otherwise.
  [[nodiscard]] std::optional<std::string> FrameTimeRefusal(const TLevel& level, float elapsedMs, std::size_t frame);

  // The last stage's run that ended (null before any).
  [[nodiscard]] const platform::TRecording* LastRun() const { return fLastRun ? &*fLastRun : nullptr; }
  [[nodiscard]] bool LastRunNamed() const { return fLastNamed; }
  // The play identity of the stage last started, its seed and stage hash.
  [[nodiscard]] std::string PlayHex() const { return fPlay.Hex(); }
  [[nodiscard]] uint32_t Seed() const { return fSeed; }
  [[nodiscard]] const std::string& StageHash() const { return fStageHash; }
  [[nodiscard]] const std::string& Challenge() const { return fChallenge; }

  // The challenge the online board holds for a stage about to start (plain
  // file name); unset or nullopt: the stage flies a seed of its own.
  std::function<std::optional<std::string>(const std::string&)> ChallengeFor;

 private:
  void Starting(TMainMenu& menu, const std::string& fileName);

  platform::TRecordingPlatform* fRecorder;
  TMainMenu* fMenu = nullptr;
  std::optional<platform::TRecording> fLastRun;
  bool fLastNamed = false;
  TPlayHash fPlay;
  bool fInStage = false, fSkipFrame = true, fFlying = false, fNamePending = false;
  uint32_t fSeed = 0;
  bool fWasFlying = false;  // the frame before was one of flight
  std::string fStageHash, fChallenge, fDifficulty;
};
