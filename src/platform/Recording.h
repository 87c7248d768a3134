// Recording.h -- a recorded run: the start state (stage files, settings) and,
// frame by frame, everything the platform answered. Reading and writing the
// replay file; no SDL, no GL.
#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileNames.h"
#include "platform/Gamepad.h"

namespace platform {

// A replay file that cannot be read: damaged, truncated, foreign or of a
// newer version. The text (Windows-1252) says which.
class EReplayError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Version 2 added the game controller, version 3 the pause. Version 4 has
// the bytes of version 3; what changed is the game: its sines, arctangents
// and powers come from its own functions, the same on Linux and Windows,
// and differ from the C library's in the last bit. A recording of an older
// version would drift, so it is refused with a message that says why.
// Version 5 reseeds the random generator at every stage start and may hold
// a single stage's run (StartStage, Challenge, StageSeed); version 4 files
// are read and replayed as they always were.
inline constexpr uint16_t kReplayVersion = 5;
inline constexpr uint16_t kOldestReplayVersion = 4;
// The most bytes of a server's challenge a recording carries.
inline constexpr std::size_t kMaxChallenge = 512;

// One frame: from one PumpEvents call to the next (frame 0 is everything
// before the first). Keys, cursor and focus are as the pump left them.
struct TRecordedFrame {
  bool Active = true;
  bool Quit = false;
  std::bitset<256> Keys;  // by virtual-key code
  // The cursor's offset from the client area's centre, plus the centre of
  // the recorded desktop (for a full-screen run: the cursor itself).
  int32_t CursorX = 0, CursorY = 0;
  TGamepadState Pad;
  std::vector<uint64_t> Counters;  // clock readings, in the order asked
  std::vector<uint32_t> Seeds;     // random seeds, in the order asked
  bool HasChecksum = false;
  uint32_t Checksum = 0;  // of the game state at the end of the frame
};

struct TRecording {
  // The file's version: a version 4 recording replays without the stage
  // starts' reseeding. New recordings are kReplayVersion.
  uint16_t Version = kReplayVersion;
  uint64_t Frequency = 1;  // clock ticks per second
  int32_t ScreenWidth = 0, ScreenHeight = 0;
  // VirtualKeyForChar of every byte value (-1: the layout cannot type it).
  std::array<int16_t, 256> CharKeys{};
  // settings.ini and every stage file of data/ as they were at the start.
  std::string Settings;
  std::map<std::string, std::string> StageFiles;  // plain NAME.level -> bytes
  // Version 5 on. A stage's run: the plain name of the stage file it starts
  // in (StageFiles then holds that file alone, as it was at the stage's
  // start); empty for a whole session from the program's start.
  std::string StartStage;
  // The server's challenge the stage was started with (opaque bytes, at
  // most kMaxChallenge); empty without one.
  std::string Challenge;
  // The seed the stage's random generator started from.
  uint32_t StageSeed = 0;
  std::vector<TRecordedFrame> Frames;
};

// The replay file's bytes. The format is described in docs/replays.md.
[[nodiscard]] std::string SerializeRecording(const TRecording& recording);

// Parses a replay file's bytes. Throws EReplayError for anything that is not
// a complete, undamaged replay of this version; never reads outside `bytes`
// and never allocates more than the input can describe. Stage file names
// are plain names of stage files (NAME.level: no folders, no "..").
[[nodiscard]] TRecording ParseRecording(std::string_view bytes);

// Reads and parses a replay file; a file that cannot be read is an
// EReplayError too.
[[nodiscard]] TRecording LoadRecording(const std::string& fileName);
// Writes it atomically enough for our use: a temporary file renamed over
// the target. Throws EReplayError on failure.
void SaveRecording(const TRecording& recording, const std::string& fileName);

// CRC-32 (IEEE) as a replay file ends with it, over the bytes before it.
[[nodiscard]] uint32_t Crc32(std::string_view bytes);

}  // namespace platform
