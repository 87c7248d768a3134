// Effects.h -- the game's sound effects, each a short mono track.
#pragma once

#include "Synth.h"

namespace soundgen {

[[nodiscard]] TTrack MakeLaser();        // the player fires a volley
[[nodiscard]] TTrack MakeSmallHit();     // a small enemy explodes
[[nodiscard]] TTrack MakePlayerHit();    // the player loses a life point
[[nodiscard]] TTrack MakeMediumHit();    // a medium enemy explodes
[[nodiscard]] TTrack MakeBossExplode();  // the boss is destroyed
[[nodiscard]] TTrack MakeMenuChange();   // the menu selection moves
[[nodiscard]] TTrack MakeMenuEnter();    // a menu entry is chosen
[[nodiscard]] TTrack MakePowerUp();      // a power-up is taken
[[nodiscard]] TTrack MakeBossTick();     // a shot hits the boss
[[nodiscard]] TTrack MakeLowLife();      // life falls below 20

}  // namespace soundgen
