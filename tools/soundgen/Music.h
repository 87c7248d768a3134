// Music.h -- the three menu and stage tracks. Each is a stereo loop longer
// than a minute whose last sample runs on into its first.
#pragma once

#include "Synth.h"

namespace soundgen {

// "Vektorfahrt": 120 BPM synthwave in A minor, 32 bars.
[[nodiscard]] TTrack MakeMusic1();
// "Tiefenrausch": 84 BPM, dark and slow in D minor, FM bells, 24 bars.
[[nodiscard]] TTrack MakeMusic2();
// "Rift-Sturm": 150 BPM, driving, E minor, distorted bass, 40 bars.
[[nodiscard]] TTrack MakeMusic3();

}  // namespace soundgen
