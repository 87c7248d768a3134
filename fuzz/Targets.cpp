// Targets.cpp -- the parsers as the fuzzers and the regression test drive
// them.
#include "Targets.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "geometry/Spline3D.h"
#include "menu/Menu.h"
#include "objects/BossFile.h"
#include "objects/ModelFile.h"
#include "platform/Recording.h"
#include "services/DataError.h"
#include "services/IniFile.h"
#include "services/RC4Stream.h"
#include "services/Settings.h"
#include "services/Stream.h"
#include "services/ValueLists.h"
#include "stage/StageSettings.h"

namespace {

// A read-only stream over the input bytes.
class TInputStream final : public TStream {
 public:
  explicit TInputStream(std::string_view bytes) : fBytes(bytes) {}
  int64_t Read(void* buffer, int64_t count) override {
    const auto n = static_cast<int64_t>(std::min<std::size_t>(static_cast<std::size_t>(count), fBytes.size() - fPos));
    std::memcpy(buffer, fBytes.data() + fPos, static_cast<std::size_t>(n));
    fPos += static_cast<std::size_t>(n);
    return n;
  }
  int64_t Write(const void*, int64_t) override { throw EStreamError("read-only"); }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    const int64_t base = origin == TSeekOrigin::Beginning ? 0
                         : origin == TSeekOrigin::Current ? static_cast<int64_t>(fPos)
                                                          : static_cast<int64_t>(fBytes.size());
    fPos = static_cast<std::size_t>(std::clamp<int64_t>(base + offset, 0, static_cast<int64_t>(fBytes.size())));
    return static_cast<int64_t>(fPos);
  }
  int64_t GetSize() override { return static_cast<int64_t>(fBytes.size()); }

 private:
  std::string_view fBytes;
  std::size_t fPos = 0;
};

// Failed invariants are findings: abort so that the fuzzer keeps the input.
void Require(bool condition) {
  if (!condition) std::abort();
}

// Writing an INI object and reading the text back gives the same text.
void RequireStableText(const TIniFile& ini) {
  const std::string text = ini.GetText();
  TIniFile again;
  again.SetText(text);
  Require(again.GetText() == text);
}

template <typename Parse>
void AsTheGameReports(Parse&& parse) {
  try {
    parse();
  } catch (const EConvertError&) {
  } catch (const EDataError&) {
  }
}

// The checksum a replay file ends with, little-endian.
std::string Crc32Bytes(std::string_view bytes) {
  const uint32_t crc = platform::Crc32(bytes);
  std::string out;
  for (int i = 0; i < 4; ++i) out += static_cast<char>((crc >> (8 * i)) & 0xFF);
  return out;
}

void ParseReplay(std::string_view bytes) {
  try {
    const platform::TRecording recording = platform::ParseRecording(bytes);
    for (const auto& [name, content] : recording.StageFiles) Require(platform::IsPlainFileName(name));
    const std::string written = platform::SerializeRecording(recording);
    Require(platform::SerializeRecording(platform::ParseRecording(written)) == written);
  } catch (const platform::EReplayError&) {
  }
}

}  // namespace

void FuzzReplayFile(std::string_view bytes) {
  ParseReplay(bytes);
  if (bytes.size() >= 4) ParseReplay(std::string(bytes.substr(0, bytes.size() - 4)) + Crc32Bytes(bytes.substr(0, bytes.size() - 4)));
}

void FuzzStageFile(std::string_view bytes) {
  TInputStream file(bytes);
  TIniFile ini;
  LoadIniFromStream(ini, file, kLevelKey);
  RequireStableText(ini);
  AsTheGameReports([&] {
    if (ini.ReadInteger("SplinePoints", "count", 0) == 0) return;
    const T3DPoints points = ReadControlPoints(ini, "fuzz.level");
    const TStageSettings settings = ReadStageSettings(ini, "fuzz.level", points);
    Require(settings.PathLength > 0 && settings.Tube.fCircles >= 1 && settings.EndLength >= 1 &&
            settings.Boss.Life >= 1 && settings.SmallEnemy.ExplodeTime >= 1 && settings.MediumEnemy.ExplodeTime >= 1);
    // The tube's rings, as the stage lays them out at load: every frame of
    // the path (end zone included) is computed without a fault.
    T3DSpline spline;
    spline.SetPoints(settings.Tube, points);
    const int32_t rings = settings.Tube.fCircles + settings.EndLength;
    for (int32_t i = 0; i <= rings; ++i) {
      TSplineFrame frame;
      spline.GetFrame(1.0f / static_cast<float>(settings.Tube.fCircles),
                      static_cast<float>(i) / static_cast<float>(settings.Tube.fCircles), frame);
    }
  });
}

void FuzzModelFile(std::string_view bytes) {
  TIniFile ini;
  ini.SetText(bytes);
  RequireStableText(ini);
  AsTheGameReports([&] {
    const TModelData model = ReadModel(ini, "fuzz.ship");
    for (const TIndexPair& line : model.Lines)
      Require(line.first >= 0 && static_cast<std::size_t>(line.first) < model.Vertices.size() && line.second >= 0 &&
              static_cast<std::size_t>(line.second) < model.Vertices.size());
  });
}

void FuzzBossFile(std::string_view bytes) {
  TIniFile ini;
  ini.SetText(bytes);
  AsTheGameReports([&] {
    (void)ReadModel(ini, "fuzz.boss");
    const TBossFileData boss = ReadBossFile(ini, "fuzz.boss");
    // Placed as the default stage places a boss: scale 0.075, tube radius 4.
    for (std::size_t i = 0; i < boss.FirePoints.size(); ++i) {
      const float angle = FirePointAngle(boss.FirePoints[i].X, 0.075, 4, "fuzz.boss", i);
      Require(angle >= -180 && angle <= 180);
    }
  });
}

void FuzzMenuText(std::string_view bytes) {
  TIniFile ini;
  ini.SetText(bytes);
  AsTheGameReports([&] {
    TMenu root;
    LoadMenuPage(root, ini, "ger.txt", "0");
    CheckMenuRoot(root, "ger.txt");
  });
  // Page ids as the menu builds them from section names.
  for (const TIniFile::TSection& section : ini.Sections()) {
    if (section.Name.rfind("menu_", 0) != 0) continue;
    std::string path = section.Name.substr(5);
    AsTheGameReports([&] {
      for (int i = 0; i < 1000 && !path.empty(); ++i) (void)TakeIndex(path);
    });
  }
}

void FuzzSettings(std::string_view bytes) {
  const std::string text(bytes);
  TIniFile settings;
  settings.SetText(text);
  (void)settings.ReadInteger("main", "vsync", 1);
  (void)settings.ReadString("main", "music", "sound\\music1.wav");
  (void)settings.ReadInteger("main", "sound", 1);
  // A changed key is what the game reads at the next start.
  const std::string vsync = SetMainKey(text, "vsync", "0");
  const std::string both = SetMainKey(vsync, "music", "sound\\music2.mp3");
  TIniFile back;
  back.SetText(both);
  Require(back.ReadString("main", "vsync", "?") == "0");
  Require(back.ReadString("main", "music", "?") == "sound\\music2.mp3");
}

void FuzzValueLists(std::string_view bytes) {
  if (bytes.empty()) return;
  const unsigned char selector = static_cast<unsigned char>(bytes[0]);
  const std::string_view text = bytes.substr(1);
  AsTheGameReports([&] {
    switch (selector % 8) {
      case 0: {
        const float value = StrToFloat(text);
        // What the game writes it reads back to the same number.
        Require(StrToFloat(FloatToStr(value)) == value);
        break;
      }
      case 1:
        (void)StrToInt(text);
        break;
      case 2:
        (void)StrToVector3f(text);
        break;
      case 3:
        (void)StrToVector4f(text);
        break;
      case 4:
        (void)StrToIndexPair(text);
        break;
      case 5:
        for (std::string_view item : TerminatedItems(text)) Require(item.find(';') == std::string_view::npos);
        break;
      case 6: {
        const std::string padded = PadLeft(std::string(text), '0', selector / 8);
        Require(padded.size() >= text.size() && padded.size() >= selector / 8u);
        break;
      }
      default: {
        float value = 0;
        int32_t number = 0;
        (void)TryStrToFloat(text, value);
        (void)TryStrToInt(text, number);
        break;
      }
    }
  });
}
