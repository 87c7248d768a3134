// RecordingTest.cpp -- the replay file: round trip, and every way a file can
// be damaged giving a clear error instead of a crash or a huge allocation;
// the replay platform noticing a game that asks what was never recorded.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/Recording.h"
#include "platform/ReplayPlatform.h"
#include "platform/ScriptedPlatform.h"
#include "support/TempDir.h"

namespace {

using platform::EReplayError;
using platform::ParseRecording;
using platform::SerializeRecording;
using platform::TRecordedFrame;
using platform::TRecording;

TRecording Sample() {
  TRecording r;
  r.Frequency = 1'000'000'000;
  r.ScreenWidth = 1920;
  r.ScreenHeight = 1080;
  for (int ch = 0; ch < 256; ++ch) r.CharKeys[static_cast<std::size_t>(ch)] = static_cast<int16_t>(ch < 32 ? -1 : ch);
  r.Settings = "[main]\r\nvsync=0\r\n";
  r.StageFiles["Level01.level"] = std::string("\x00\x01\xFF" "abc", 6);
  r.StageFiles["Level02.level"] = "";
  uint64_t clock = 5'000'000'000ull;
  for (int i = 0; i < 40; ++i) {
    TRecordedFrame f;
    f.Active = i % 7 != 3;
    f.Keys[static_cast<std::size_t>(i % 256)] = true;
    f.Keys[1] = i > 10 && i < 30;
    f.CursorX = 960 - i * 3;
    f.CursorY = i % 2 ? -5 : 540;
    clock += 16'666'667;
    f.Counters = {clock, clock + 12};
    clock += 12;
    if (i == 0) f.Seeds = {0xDEADBEEF, 7};
    // A controller plugged in for a while, both stick extremes included.
    if (i >= 12 && i < 24) {
      f.Pad.Connected = true;
      f.Pad.Buttons = static_cast<uint16_t>(platform::kPadA | (i % 2 ? platform::kPadLeft : 0));
      f.Pad.StickX = static_cast<int16_t>(i == 12 ? -32768 : i * 1000);
      f.Pad.StickY = static_cast<int16_t>(i == 13 ? 32767 : -i);
    }
    if (i % 10 == 0) {
      f.HasChecksum = true;
      f.Checksum = 0x12345678u + static_cast<uint32_t>(i);
    }
    r.Frames.push_back(f);
  }
  r.Frames.back().Quit = true;
  return r;
}

void ExpectSame(const TRecording& a, const TRecording& b) {
  EXPECT_EQ(a.Version, b.Version);
  EXPECT_EQ(a.StartStage, b.StartStage);
  EXPECT_EQ(a.Challenge, b.Challenge);
  EXPECT_EQ(a.StageSeed, b.StageSeed);
  EXPECT_EQ(a.Frequency, b.Frequency);
  EXPECT_EQ(a.ScreenWidth, b.ScreenWidth);
  EXPECT_EQ(a.ScreenHeight, b.ScreenHeight);
  EXPECT_EQ(a.CharKeys, b.CharKeys);
  EXPECT_EQ(a.Settings, b.Settings);
  EXPECT_EQ(a.StageFiles, b.StageFiles);
  ASSERT_EQ(a.Frames.size(), b.Frames.size());
  for (std::size_t i = 0; i < a.Frames.size(); ++i) {
    const TRecordedFrame &x = a.Frames[i], &y = b.Frames[i];
    SCOPED_TRACE("frame " + std::to_string(i));
    EXPECT_EQ(x.Active, y.Active);
    EXPECT_EQ(x.Quit, y.Quit);
    EXPECT_EQ(x.Keys, y.Keys);
    EXPECT_EQ(x.CursorX, y.CursorX);
    EXPECT_EQ(x.CursorY, y.CursorY);
    EXPECT_EQ(x.Counters, y.Counters);
    EXPECT_EQ(x.Seeds, y.Seeds);
    EXPECT_EQ(x.Pad, y.Pad);
    EXPECT_EQ(x.HasChecksum, y.HasChecksum);
    EXPECT_EQ(x.Checksum, y.Checksum);
  }
}

// The bytes with the trailing checksum made to fit again, so that the parser
// has to find the fault in the content itself.
std::string Resealed(std::string bytes) {
  bytes.resize(bytes.size() - 4);
  const uint32_t crc = platform::Crc32(bytes);
  for (int i = 0; i < 4; ++i) bytes += static_cast<char>((crc >> (8 * i)) & 0xFF);
  return bytes;
}

TEST(Recording, RoundTripKeepsEveryFrame) {
  const TRecording original = Sample();
  const std::string bytes = SerializeRecording(original);
  ExpectSame(original, ParseRecording(bytes));
  // Frames are stored as changes: forty frames of input stay small.
  EXPECT_LT(bytes.size(), 1400u);

  // A stage's run carries its start; a version 4 file stays version 4, and
  // cannot claim a stage start it has no room for.
  TRecording stage = original;
  stage.StageFiles.erase("Level02.level");
  stage.StartStage = "Level01.level";
  stage.Challenge = std::string("v1.ab\x00\xFF", 7);
  stage.StageSeed = 0xCAFEF00Du;
  ExpectSame(stage, ParseRecording(SerializeRecording(stage)));
  TRecording old = original;
  old.Version = 4;
  const std::string oldBytes = SerializeRecording(old);
  EXPECT_EQ(oldBytes[8], 4);
  EXPECT_EQ(oldBytes.size() + 2 + 2 + 4, bytes.size());
  ExpectSame(old, ParseRecording(oldBytes));
  old.StageSeed = 1;
  EXPECT_THROW((void)SerializeRecording(old), EReplayError);
}

TEST(Recording, EveryTruncationAndEveryBitFlipIsAClearError) {
  const std::string bytes = SerializeRecording(Sample());
  for (std::size_t length = 0; length < bytes.size(); ++length) {
    EXPECT_THROW((void)ParseRecording(std::string_view(bytes).substr(0, length)), EReplayError) << "length " << length;
  }
  for (std::size_t bit = 0; bit < bytes.size() * 8; ++bit) {
    std::string damaged = bytes;
    damaged[bit / 8] = static_cast<char>(damaged[bit / 8] ^ (1 << (bit % 8)));
    EXPECT_THROW((void)ParseRecording(damaged), EReplayError) << "bit " << bit;
  }
}

TEST(Recording, ForeignAndImpossibleContentIsRefused) {
  const std::string good = SerializeRecording(Sample());
  struct TCase {
    const char* name;
    std::string bytes;
    const char* message;  // part of the error text
  };
  TRecording badName = Sample();
  badName.StageFiles["../settings.ini"] = "x";
  TRecording notAStage = Sample();
  notAStage.StageFiles["lucon.ttf"] = "x";
  TRecording noFrames = Sample();
  noFrames.Frames.clear();
  std::string newer = good;
  newer[8] = 6;
  TRecording twoStages = Sample();
  twoStages.StartStage = "Level01.level";  // with Level02 beside it
  TRecording longChallenge = Sample();
  longChallenge.StageFiles.erase("Level02.level");
  longChallenge.StartStage = "Level01.level";
  longChallenge.Challenge.assign(platform::kMaxChallenge + 1, 'x');
  // Older versions ran on the C library's sines: they would drift.
  std::string older = good;
  older[8] = 3;
  std::string manyFrames = good;
  // The frame count follows the header, which ends where a recording
  // without frames ends but for its count and checksum. Make it huge.
  const std::size_t countAt = SerializeRecording(noFrames).size() - 8;
  manyFrames.replace(countAt, 4, std::string("\xFF\xFF\xFF\x7F", 4));
  const TCase cases[] = {
      {"empty", "", "Kennung"},
      {"a text file", "[main]\r\nvsync=1\r\n", "Kennung"},
      {"another program's file", "RIFFxxxxWAVEfmt ", "Kennung"},
      {"a newer version", Resealed(newer), "neueren Ausgabe des Spiels, lesbar ist Version 4 bis 5"},
      {"a stage's run with two stage files", SerializeRecording(twoStages), "Startlevel"},
      {"a challenge too long", SerializeRecording(longChallenge), "Herausforderung"},
      {"an older version", Resealed(older), "Version 3 aus einer \xE4lteren Ausgabe"},
      {"a stage file name with a folder", SerializeRecording(badName), "Dateiname"},
      {"a file that is no stage file", SerializeRecording(notAStage), "Dateiname"},
      {"no frames at all", SerializeRecording(noFrames), "Bilder"},
      {"more frames than bytes", Resealed(manyFrames), "Bilder"},
  };
  for (const TCase& c : cases) {
    try {
      (void)ParseRecording(c.bytes);
      ADD_FAILURE() << c.name << ": accepted";
    } catch (const EReplayError& error) {
      EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << c.name << ": " << error.what();
    }
  }
}

TEST(Recording, UnknownControllerButtonsAreRefused) {
  TRecording unknownButton = Sample();
  // The ninth, Y, is known; the tenth is not.
  unknownButton.Frames[15].Pad.Buttons = platform::kPadY;
  EXPECT_EQ(ParseRecording(SerializeRecording(unknownButton)).Frames[15].Pad.Buttons, platform::kPadY);
  unknownButton.Frames[15].Pad.Buttons = 0x200;
  try {
    (void)ParseRecording(SerializeRecording(unknownButton));
    ADD_FAILURE() << "a tenth button was accepted";
  } catch (const EReplayError& error) {
    EXPECT_NE(std::string(error.what()).find("Controllertasten"), std::string::npos) << error.what();
  }
}

TEST(Recording, FilesThatCannotBeReadNameTheFile) {
  TTempDir dir;
  WriteBytes(dir.File("empty.rvr"), "");
  for (const std::string name : {"missing.rvr", "empty.rvr"}) {
    try {
      (void)platform::LoadRecording(dir.File(name));
      ADD_FAILURE() << name;
    } catch (const EReplayError& error) {
      EXPECT_NE(std::string(error.what()).find(name), std::string::npos) << error.what();
    }
  }
  const TRecording sample = Sample();
  platform::SaveRecording(sample, dir.File("ok.rvr"));
  ExpectSame(sample, platform::LoadRecording(dir.File("ok.rvr")));
}

// The game asking for more clock readings or seeds than the recorded frame
// holds, or fewer, took another path: the replay marks the frame.
TEST(Recording, ReplayMarksTheFrameWhereTheGameAskedOtherwise) {
  const TRecording recording = Sample();
  struct TCase {
    const char* name;
    int extraCounterAtFrame;  // -1: none
    int extraSeedAtFrame;
    int skipCountersAtFrame;
    std::optional<std::size_t> diverged;
  };
  const TCase cases[] = {
      {"as recorded", -1, -1, -1, std::nullopt},
      {"one clock reading too many", 5, -1, -1, 5},
      {"a seed never drawn", -1, 12, -1, 12},
      {"clock readings left unasked", -1, -1, 20, 20},
  };
  for (const TCase& c : cases) {
    platform::ScriptedPlatform window;
    platform::TReplayPlatform replay(window, recording, "/nowhere/", platform::TReplayPace::Fastest);
    EXPECT_EQ(replay.RandomSeed(), 0xDEADBEEFu);
    EXPECT_EQ(replay.RandomSeed(), 7u);
    for (std::size_t frame = 0;; ++frame) {
      const int f = static_cast<int>(frame);
      if (f != c.skipCountersAtFrame) {
        EXPECT_EQ(replay.PerformanceCounter(), recording.Frames[frame].Counters[0]);
        EXPECT_EQ(replay.PerformanceCounter(), recording.Frames[frame].Counters[1]);
      }
      if (f == c.extraCounterAtFrame) (void)replay.PerformanceCounter();
      if (f == c.extraSeedAtFrame) (void)replay.RandomSeed();
      EXPECT_EQ(replay.IsVirtualKeyDown(1), recording.Frames[frame].Keys[1]);
      EXPECT_EQ(replay.IsActive(), recording.Frames[frame].Active);
      // Recorded from the 1920 x 1080 desktop's centre, given from the
      // centre of this 1024 x 768 window.
      int x = 0, y = 0;
      replay.GetCursorPos(x, y);
      EXPECT_EQ(x, recording.Frames[frame].CursorX - 960 + 512);
      EXPECT_EQ(y, recording.Frames[frame].CursorY - 540 + 384);
      if (replay.PumpEvents().Quit) break;
    }
    EXPECT_EQ(replay.FrameIndex(), recording.Frames.size() - 1) << c.name;
    EXPECT_EQ(replay.DivergedAt(), c.diverged) << c.name;
    EXPECT_EQ(replay.BasePath(), "/nowhere/");
    EXPECT_EQ(replay.ScreenSize().Width, 1920);
  }
}

}  // namespace
