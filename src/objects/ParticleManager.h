// ParticleManager.h -- shots and the shot lists of their shooters.
#pragma once

#include <cstdint>
#include <vector>

class TStageHub;
class TParticle;
enum class THitCause : uint8_t;

// Enemy shots are drawn at least this far round their centre per unit of
// their distance from the eye, so that a shot far down the tube is a dot one
// can see coming, not a speck (at 1280x720 about 6 pixels across a second's
// flight ahead), while near the ship it keeps its model's size.
inline constexpr float kEnemyShotMinSize = 1.0f / 150;

// The factor that grows `model`, seen `distance` away, to `minSize` per
// unit of distance in drawing (1 when it is already as large).
[[nodiscard]] float ShotDrawScale(const TParticle& model, float distance, float minSize);

// One shot: a model flying along the path and round the tube.
class TParticleListItem {
 public:
  explicit TParticleListItem(const TParticle* model) : fModel(model) {}

  // Sets the flight values at once; age and spin angle stay.
  TParticleListItem& Init(bool spin, float pos, float roll, float speed, float rollSpeed, float accel, float rollAccel,
                          float lifeTime);
  void Kill() { fAge = fLifeTime + 1; }
  [[nodiscard]] bool Dead() const { return fAge > fLifeTime; }
  void Move(float elapsed);

  bool fSpin = false;
  float fPos = 0;
  float fRoll = 0;        // degrees
  float fSpeed = 0;       // path parameter per second
  float fRollSpeed = 0;   // degrees per second
  float fAccel = 0;
  float fRollAccel = 0;
  float fSpinAngle = 0;   // degrees
  float fAge = 0;         // ms
  float fLifeTime = 1000; // ms
  int32_t fSource = 0;      // the boss's fire point that fired it
  const TParticle* fModel;  // shared by all shots of a kind
};

// A shooter's shots, in creation order. The list owns them.
class TParticleManager {
 public:
  explicit TParticleManager(TStageHub& level) : fLevel(level) {}

  // Appends a shot of `model` and returns it for Init. The reference holds
  // until the next Add or Progress. Running out of memory here is fatal
  // ("ParticleManager, Add: ...").
  TParticleListItem& Add(const TParticle* model);
  // Moves every shot and frees the dead ones.
  void Progress(float elapsed);
  // Enemy shots against the player's ship: a hit kills the shot and, while
  // the player has no shield, costs one life point with a sound. `cause`
  // is what these shots are (a boss shot names its fire point itself).
  void CheckPlayerHit(THitCause cause);
  // Draws every shot, its model grown to at least `minSize` per unit of
  // distance from the eye (ShotDrawScale; drawing only: a hit stays that of
  // a point).
  void Render(float minSize = 0) const;
  void SetSpeed(float speed);
  void Clear() { fItems.clear(); }
  // Shots appended since the list was made (a frame fired when it grew).
  [[nodiscard]] uint64_t Added() const { return fAdded; }

  // Every live shot inside `box` (strictly, as THitBox::Contains) is killed
  // and reported to `hit`, in creation order, until `hit` answers false.
  template <typename Box, typename Hit>
  void TakeHits(const Box& box, Hit&& hit) {
    for (TParticleListItem& shot : fItems) {
      if (!box.Contains(shot.fPos, shot.fRoll) || shot.fAge >= shot.fLifeTime) continue;
      shot.Kill();
      if (!hit()) return;
    }
  }

  // The shots in creation order, side by side in memory: every enemy tests
  // every player shot each frame.
  [[nodiscard]] std::vector<TParticleListItem>& Items() { return fItems; }
  [[nodiscard]] const std::vector<TParticleListItem>& Items() const { return fItems; }

 private:
  TStageHub& fLevel;
  std::vector<TParticleListItem> fItems;
  uint64_t fAdded = 0;
};
