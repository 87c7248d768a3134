// StageFiles.cpp -- writing test stages.
#include "support/StageFiles.h"

#include <vector>

#include "services/IniFile.h"
#include "services/RC4Stream.h"
#include "services/ValueLists.h"
#include "support/TempDir.h"

std::string ModelText(float halfWidth, float length) {
  const std::string w = FloatToStr(halfWidth);
  const std::string l = FloatToStr(length);
  return "[Vertex]\r\nVertexCount=4\r\nVertex0=0;0;-" + l + "\r\nVertex1=" + w + ";0;" + l + "\r\nVertex2=-" + w +
         ";0;" + l + "\r\nVertex3=0;2;0\r\n[Lines]\r\nLineCount=4\r\nLine0=0;1\r\nLine1=1;2\r\nLine2=2;0\r\nLine3=0;3\r\n";
}

std::string WriteStage(const TTempDir& dir, const std::map<std::string, std::string>& values) {
  WriteBytes(dir.File("ship.ship"), ModelText(10, 20));
  WriteBytes(dir.File("enemy.ship"), ModelText(8, 8));
  WriteBytes(dir.File("shot.part"), ModelText(1, 3));
  WriteBytes(dir.File("boss.boss"), ModelText(20, 10) +
                                        "[FirePoints]\r\nMaxTime=5000\r\ncount=3\r\n"
                                        "Point0=10;-5;20;0;0;0;5000;0,01;\r\nParticle0=" + dir.File("shot.part") + "\r\n"
                                        "Point0TimeList=500;1000;1500\r\n"
                                        "Point1=-10;-5;20;0;0;0;5000;0,01;\r\nParticle1=" + dir.File("shot.part") + "\r\n"
                                        "Point1TimeList=250;750;\r\n"
                                        "Point2=0;0;15;30;0;0;4000;0;\r\nParticle2=" + dir.File("shot.part") + "\r\n"
                                        "[Loops]\r\ncount=1\r\nLoop0=1000;3000;2;\r\n");
  TIniFile ini;
  const std::vector<std::pair<std::string, std::string>> defaults = {
      {"SplinePoints/count", "5"},
      {"SplinePoints/p0", "0;0;0"},
      {"SplinePoints/p1", "10;5;-100"},
      {"SplinePoints/p2", "-10;15;-200"},
      {"SplinePoints/p3", "20;5;-300"},
      {"SplinePoints/p4", "0;0;-400"},
      {"Level/Title", "Teststrecke"},
      {"Level/PowerUpPos", "0,25;0,5;0,75;"},
      {"Level/PowerUpRoll", "0;90;-45;"},
      {"Level/PowerUpType", "S;W;L;"},
      {"Level/PowerUpValue", "5000;1;20;"},
      {"Player/Ship", dir.File("ship.ship")},
      {"Player/Particle", dir.File("shot.part")},
      {"SmallEnemy/Ship", dir.File("enemy.ship")},
      {"SmallEnemy/Particle", dir.File("shot.part")},
      {"SmallEnemy/Count", "5"},
      {"MediumEnemy/Ship", dir.File("enemy.ship")},
      {"MediumEnemy/Particle", dir.File("shot.part")},
      {"Boss/FileName", dir.File("boss.boss")},
  };
  auto set = [&](const std::string& path, const std::string& value) {
    const std::size_t slash = path.find('/');
    const std::string section = path.substr(0, slash);
    const std::string key = path.substr(slash + 1);
    if (value.empty()) {
      ini.DeleteKey(section, key);
    } else {
      ini.WriteString(section, key, value);
    }
  };
  for (const auto& [path, value] : defaults) set(path, value);
  for (const auto& [path, value] : values) set(path, value);
  const std::string stage = dir.File("test.level");
  SaveIni(&ini, stage, kLevelKey);
  return stage;
}
