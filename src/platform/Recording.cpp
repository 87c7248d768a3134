// Recording.cpp -- the replay file: a small binary format with a checksum
// over everything, frames stored as changes from the frame before.
#include "platform/Recording.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <system_error>

namespace platform {

namespace {

constexpr std::string_view kMagic = "RVREPLAY";
constexpr uint32_t kMaxStageFiles = 4096;
constexpr uint64_t kMaxPerFrame = 4096;  // clock readings or seeds in one frame

enum : uint8_t {
  kFlagActive = 1,
  kFlagQuit = 2,
  kFlagChecksum = 4,
  kFlagKeys = 8,
  kFlagCursor = 16,
  kFlagSeeds = 32,
  kFlagPad = 64,
  kKnownFlags = 127,
};


class TWriter {
 public:
  void Fixed(uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) fOut += static_cast<char>((value >> (8 * i)) & 0xFF);
  }
  void Var(uint64_t value) {
    while (value >= 0x80) {
      fOut += static_cast<char>((value & 0x7F) | 0x80);
      value >>= 7;
    }
    fOut += static_cast<char>(value);
  }
  void Signed(int64_t value) { Var((static_cast<uint64_t>(value) << 1) ^ static_cast<uint64_t>(value >> 63)); }
  void Bytes(std::string_view bytes) { fOut += bytes; }
  std::string& Out() { return fOut; }

 private:
  std::string fOut;
};

class TReader {
 public:
  explicit TReader(std::string_view bytes) : fBytes(bytes) {}

  uint64_t Fixed(int bytes, const char* what) {
    Need(static_cast<std::size_t>(bytes), what);
    uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= static_cast<uint64_t>(static_cast<uint8_t>(fBytes[fPos++])) << (8 * i);
    return value;
  }
  uint64_t Var(const char* what) {
    uint64_t value = 0;
    for (int shift = 0; shift < 64; shift += 7) {
      Need(1, what);
      const auto byte = static_cast<uint8_t>(fBytes[fPos++]);
      value |= static_cast<uint64_t>(byte & 0x7F) << shift;
      if ((byte & 0x80) == 0) return value;
    }
    throw EReplayError(std::string("Replay-Datei besch\xE4" "digt: Zahl zu lang bei ") + what);
  }
  int64_t Signed(const char* what) {
    const uint64_t value = Var(what);
    return static_cast<int64_t>(value >> 1) ^ -static_cast<int64_t>(value & 1);
  }
  std::string_view Bytes(uint64_t count, const char* what) {
    if (count > Remaining()) Need(Remaining() + 1, what);
    const std::string_view part = fBytes.substr(fPos, static_cast<std::size_t>(count));
    fPos += static_cast<std::size_t>(count);
    return part;
  }
  [[nodiscard]] std::size_t Remaining() const { return fBytes.size() - fPos; }

 private:
  void Need(std::size_t count, const char* what) const {
    if (Remaining() < count) throw EReplayError(std::string("Replay-Datei zu kurz: es fehlt ") + what);
  }

  std::string_view fBytes;
  std::size_t fPos = 0;
};

// A recorded number that must fit the field it is read into.
template <typename T>
T Narrow(int64_t value, const char* what) {
  if (value < std::numeric_limits<T>::min() || value > std::numeric_limits<T>::max())
    throw EReplayError(std::string("Replay-Datei besch\xE4" "digt: Wert au\xDF" "erhalb des Bereichs bei ") + what);
  return static_cast<T>(value);
}

// Marks a connected controller in the frame's button word.
constexpr uint16_t kPadConnectedBit = 0x8000;

}  // namespace

uint32_t Crc32(std::string_view bytes) {
  static const auto table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  uint32_t crc = 0xFFFFFFFFu;
  for (const char ch : bytes) crc = table[(crc ^ static_cast<uint8_t>(ch)) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

std::string SerializeRecording(const TRecording& recording) {
  TWriter w;
  w.Bytes(kMagic);
  const bool stageFields = recording.Version >= 5;
  if (recording.Version < kOldestReplayVersion || recording.Version > kReplayVersion ||
      (!stageFields && (!recording.StartStage.empty() || !recording.Challenge.empty() || recording.StageSeed != 0)))
    throw EReplayError("Aufnahme der Version " + std::to_string(recording.Version) + " kann so nicht geschrieben werden");
  w.Fixed(recording.Version, 2);
  w.Fixed(recording.Frequency, 8);
  w.Fixed(static_cast<uint32_t>(recording.ScreenWidth), 4);
  w.Fixed(static_cast<uint32_t>(recording.ScreenHeight), 4);
  for (const int16_t key : recording.CharKeys) w.Fixed(static_cast<uint16_t>(key), 2);
  w.Fixed(recording.Settings.size(), 4);
  w.Bytes(recording.Settings);
  w.Fixed(recording.StageFiles.size(), 4);
  for (const auto& [name, bytes] : recording.StageFiles) {
    w.Fixed(name.size(), 2);
    w.Bytes(name);
    w.Fixed(bytes.size(), 4);
    w.Bytes(bytes);
  }
  if (stageFields) {
    w.Fixed(recording.StartStage.size(), 2);
    w.Bytes(recording.StartStage);
    w.Fixed(recording.Challenge.size(), 2);
    w.Bytes(recording.Challenge);
    w.Fixed(recording.StageSeed, 4);
  }
  w.Fixed(recording.Frames.size(), 4);
  std::bitset<256> keys;
  int32_t cursorX = 0, cursorY = 0;
  TGamepadState pad;
  uint64_t counter = 0;
  for (const TRecordedFrame& frame : recording.Frames) {
    std::string changed;
    for (int vk = 0; vk < 256; ++vk) {
      if (frame.Keys[static_cast<std::size_t>(vk)] != keys[static_cast<std::size_t>(vk)]) changed += static_cast<char>(vk);
    }
    const bool cursor = frame.CursorX != cursorX || frame.CursorY != cursorY;
    uint8_t flags = 0;
    if (frame.Active) flags |= kFlagActive;
    if (frame.Quit) flags |= kFlagQuit;
    if (frame.HasChecksum) flags |= kFlagChecksum;
    if (!changed.empty()) flags |= kFlagKeys;
    if (cursor) flags |= kFlagCursor;
    if (!frame.Seeds.empty()) flags |= kFlagSeeds;
    if (frame.Pad != pad) flags |= kFlagPad;
    w.Fixed(flags, 1);
    w.Var(frame.Counters.size());
    for (const uint64_t value : frame.Counters) {
      w.Signed(static_cast<int64_t>(value - counter));
      counter = value;
    }
    if (!changed.empty()) {
      w.Var(changed.size());
      w.Bytes(changed);
    }
    if (cursor) {
      w.Signed(frame.CursorX);
      w.Signed(frame.CursorY);
    }
    if (frame.Pad != pad) {
      w.Fixed(static_cast<uint16_t>((frame.Pad.Connected ? kPadConnectedBit : 0) | frame.Pad.Buttons), 2);
      w.Signed(frame.Pad.StickX);
      w.Signed(frame.Pad.StickY);
    }
    if (!frame.Seeds.empty()) {
      w.Var(frame.Seeds.size());
      for (const uint32_t seed : frame.Seeds) w.Fixed(seed, 4);
    }
    if (frame.HasChecksum) w.Fixed(frame.Checksum, 4);
    keys = frame.Keys;
    cursorX = frame.CursorX;
    cursorY = frame.CursorY;
    pad = frame.Pad;
  }
  w.Fixed(Crc32(w.Out()), 4);
  return std::move(w.Out());
}

TRecording ParseRecording(std::string_view bytes) {
  if (bytes.size() < kMagic.size() || bytes.substr(0, kMagic.size()) != kMagic)
    throw EReplayError("Keine Replay-Datei von Riftvaulter (Kennung fehlt)");
  TReader header(bytes.substr(kMagic.size()));
  const uint64_t version = header.Fixed(2, "die Version");
  const std::string readable = "Version " + std::to_string(kOldestReplayVersion) + " bis " + std::to_string(kReplayVersion);
  if (version < kOldestReplayVersion)
    throw EReplayError("Replay-Datei der Version " + std::to_string(version) +
                       " aus einer \xE4lteren Ausgabe des Spiels: sie l\xE4uft in dieser nicht mehr gleich ab "
                       "und kann nicht abgespielt werden (lesbar ist " + readable + ")");
  if (version > kReplayVersion)
    throw EReplayError("Replay-Datei der Version " + std::to_string(version) +
                       " aus einer neueren Ausgabe des Spiels, lesbar ist " + readable);
  if (bytes.size() < kMagic.size() + 2 + 4) throw EReplayError("Replay-Datei zu kurz: es fehlt die Pr\xFC" "fsumme");
  const std::string_view body = bytes.substr(0, bytes.size() - 4);
  TReader crcReader(bytes.substr(bytes.size() - 4));
  if (crcReader.Fixed(4, "die Pr\xFC" "fsumme") != Crc32(body))
    throw EReplayError("Replay-Datei besch\xE4" "digt oder unvollst\xE4" "ndig (Pr\xFC" "fsumme stimmt nicht)");

  TReader r(body.substr(kMagic.size() + 2));
  TRecording recording;
  recording.Version = static_cast<uint16_t>(version);
  recording.Frequency = r.Fixed(8, "die Taktfrequenz");
  if (recording.Frequency == 0) throw EReplayError("Replay-Datei besch\xE4" "digt: Taktfrequenz 0");
  recording.ScreenWidth = static_cast<int32_t>(r.Fixed(4, "die Bildschirmbreite"));
  recording.ScreenHeight = static_cast<int32_t>(r.Fixed(4, "die Bildschirmh\xF6he"));
  if (recording.ScreenWidth <= 0 || recording.ScreenHeight <= 0 || recording.ScreenWidth > 65536 ||
      recording.ScreenHeight > 65536)
    throw EReplayError("Replay-Datei besch\xE4" "digt: Bildschirmgr\xF6\xDF" "e unm\xF6glich");
  for (int16_t& key : recording.CharKeys) {
    key = static_cast<int16_t>(static_cast<uint16_t>(r.Fixed(2, "die Tastaturbelegung")));
    if (key < -1 || key > 255) throw EReplayError("Replay-Datei besch\xE4" "digt: Tastencode unm\xF6glich");
  }
  recording.Settings = std::string(r.Bytes(r.Fixed(4, "die Einstellungen"), "die Einstellungen"));
  const uint64_t files = r.Fixed(4, "die Zahl der Leveldateien");
  if (files > kMaxStageFiles) throw EReplayError("Replay-Datei besch\xE4" "digt: zu viele Leveldateien");
  for (uint64_t i = 0; i < files; ++i) {
    std::string name(r.Bytes(r.Fixed(2, "ein Dateiname"), "ein Dateiname"));
    // Only stage files: a replay must not put anything else into the copy
    // of the program folder it plays in.
    if (!IsPlainFileName(name) || name.size() <= 6 || name.compare(name.size() - 6, 6, ".level") != 0)
      throw EReplayError("Replay-Datei besch\xE4" "digt: unzul\xE4ssiger Dateiname einer Leveldatei");
    std::string data(r.Bytes(r.Fixed(4, "eine Leveldatei"), "eine Leveldatei"));
    if (!recording.StageFiles.emplace(std::move(name), std::move(data)).second)
      throw EReplayError("Replay-Datei besch\xE4" "digt: Leveldatei doppelt");
  }
  if (recording.Version >= 5) {
    recording.StartStage = std::string(r.Bytes(r.Fixed(2, "das Startlevel"), "das Startlevel"));
    recording.Challenge = std::string(r.Bytes(r.Fixed(2, "die Herausforderung"), "die Herausforderung"));
    recording.StageSeed = static_cast<uint32_t>(r.Fixed(4, "den Zufallskeim des Levels"));
    if (recording.Challenge.size() > kMaxChallenge)
      throw EReplayError("Replay-Datei besch\xE4" "digt: Herausforderung zu lang");
    // A stage's run holds its own stage file and no other.
    if (!recording.StartStage.empty() &&
        (recording.StageFiles.size() != 1 || recording.StageFiles.begin()->first != recording.StartStage))
      throw EReplayError("Replay-Datei besch\xE4" "digt: Startlevel passt nicht zu den Leveldateien");
  }
  const uint64_t frameCount = r.Fixed(4, "die Zahl der Bilder");
  // Every frame takes at least two bytes: no count can ask for more frames
  // than the file holds.
  if (frameCount == 0 || frameCount > r.Remaining() / 2)
    throw EReplayError("Replay-Datei besch\xE4" "digt: Zahl der Bilder passt nicht zur Dateigr\xF6\xDF" "e");
  recording.Frames.reserve(static_cast<std::size_t>(frameCount));
  TRecordedFrame previous;
  previous.Active = false;
  uint64_t counter = 0;
  for (uint64_t i = 0; i < frameCount; ++i) {
    TRecordedFrame frame;
    frame.Keys = previous.Keys;
    frame.CursorX = previous.CursorX;
    frame.CursorY = previous.CursorY;
    frame.Pad = previous.Pad;
    const auto flags = static_cast<uint8_t>(r.Fixed(1, "ein Bild"));
    if ((flags & ~kKnownFlags) != 0) throw EReplayError("Replay-Datei besch\xE4" "digt: unbekannte Bildmerkmale");
    frame.Active = (flags & kFlagActive) != 0;
    frame.Quit = (flags & kFlagQuit) != 0;
    const uint64_t counters = r.Var("die Uhr eines Bildes");
    if (counters > kMaxPerFrame || counters > r.Remaining())
      throw EReplayError("Replay-Datei besch\xE4" "digt: zu viele Uhrzeiten in einem Bild");
    for (uint64_t k = 0; k < counters; ++k) {
      counter += static_cast<uint64_t>(r.Signed("die Uhr eines Bildes"));
      frame.Counters.push_back(counter);
    }
    if (flags & kFlagKeys) {
      const uint64_t count = r.Var("die Tasten eines Bildes");
      if (count == 0 || count > 256) throw EReplayError("Replay-Datei besch\xE4" "digt: Tastenwechsel unm\xF6glich");
      for (const char vk : r.Bytes(count, "die Tasten eines Bildes")) frame.Keys.flip(static_cast<uint8_t>(vk));
    }
    if (flags & kFlagCursor) {
      frame.CursorX = Narrow<int32_t>(r.Signed("die Maus eines Bildes"), "der Maus");
      frame.CursorY = Narrow<int32_t>(r.Signed("die Maus eines Bildes"), "der Maus");
    }
    if (flags & kFlagPad) {
      const auto bits = static_cast<uint16_t>(r.Fixed(2, "den Controller eines Bildes"));
      if ((bits & ~(kPadConnectedBit | kPadButtons)) != 0)
        throw EReplayError("Replay-Datei besch\xE4" "digt: unbekannte Controllertasten");
      frame.Pad.Connected = (bits & kPadConnectedBit) != 0;
      frame.Pad.Buttons = static_cast<uint16_t>(bits & kPadButtons);
      frame.Pad.StickX = Narrow<int16_t>(r.Signed("den Controller eines Bildes"), "dem Controller");
      frame.Pad.StickY = Narrow<int16_t>(r.Signed("den Controller eines Bildes"), "dem Controller");
    }
    if (flags & kFlagSeeds) {
      const uint64_t count = r.Var("die Zufallskeime");
      if (count == 0 || count > kMaxPerFrame || count > r.Remaining() / 4)
        throw EReplayError("Replay-Datei besch\xE4" "digt: Zahl der Zufallskeime unm\xF6glich");
      for (uint64_t k = 0; k < count; ++k) frame.Seeds.push_back(static_cast<uint32_t>(r.Fixed(4, "ein Zufallskeim")));
    }
    if (flags & kFlagChecksum) {
      frame.HasChecksum = true;
      frame.Checksum = static_cast<uint32_t>(r.Fixed(4, "eine Zustandspr\xFC" "fsumme"));
    }
    if (frame.Quit && i + 1 != frameCount)
      throw EReplayError("Replay-Datei besch\xE4" "digt: Ende vor dem letzten Bild");
    previous = frame;
    recording.Frames.push_back(std::move(frame));
  }
  if (r.Remaining() != 0) throw EReplayError("Replay-Datei besch\xE4" "digt: Daten nach dem letzten Bild");
  return recording;
}

TRecording LoadRecording(const std::string& fileName) {
  std::ifstream in(FsPath(fileName), std::ios::binary);
  if (!in) throw EReplayError("Replay-Datei " + fileName + " kann nicht ge\xF6" "ffnet werden");
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw EReplayError("Replay-Datei " + fileName + " kann nicht gelesen werden");
  if (bytes.empty()) throw EReplayError("Replay-Datei " + fileName + " ist leer");
  try {
    return ParseRecording(bytes);
  } catch (const EReplayError& error) {
    throw EReplayError(fileName + ": " + error.what());
  }
}

void SaveRecording(const TRecording& recording, const std::string& fileName) {
  const std::string bytes = SerializeRecording(recording);
  const std::filesystem::path temporary = FsPath(fileName + ".tmp");
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (!out) {
      std::error_code ignored;
      std::filesystem::remove(temporary, ignored);
      throw EReplayError("Replay-Datei " + fileName + " kann nicht geschrieben werden");
    }
  }
  std::error_code error;
  std::filesystem::rename(temporary, FsPath(fileName), error);
  if (error) {
    std::filesystem::remove(temporary, error);
    throw EReplayError("Replay-Datei " + fileName + " kann nicht geschrieben werden");
  }
}

}  // namespace platform
