// ModelFile.cpp -- reading a model file's points and lines.
#include "objects/ModelFile.h"

#include "services/DataError.h"
#include "services/IniFile.h"
#include "services/ValueLists.h"

TModelData ReadModel(const TIniFile& ini, const std::string& fileName) {
  TModelData model;
  const int32_t vertexCount = ReadCount(ini, "Modell " + fileName, "Vertex", "VertexCount", kMaxModelCount);
  model.Vertices.assign(static_cast<std::size_t>(vertexCount), TVector3f{});
  for (int32_t i = 0; i < vertexCount; ++i)
    StrToVector3f(ini.ReadString("Vertex", "Vertex" + std::to_string(i), "0;0;0;"),
                  model.Vertices[static_cast<std::size_t>(i)]);

  const int32_t lineCount = ReadCount(ini, "Modell " + fileName, "Lines", "LineCount", kMaxModelCount);
  model.Lines.assign(static_cast<std::size_t>(lineCount), TIndexPair{});
  for (int32_t i = 0; i < lineCount; ++i) {
    const std::string key = "Line" + std::to_string(i);
    TIndexPair& line = model.Lines[static_cast<std::size_t>(i)];
    StrToIndexPair(ini.ReadString("Lines", key, "0;0;"), line);
    for (int32_t index : {line.first, line.second}) {
      if (index < 0 || index >= vertexCount)
        throw EDataError("Modell " + fileName + ", Schl\xFCssel '" + key + "': Punkt " + std::to_string(index) +
                         " gibt es nicht (" + std::to_string(vertexCount) + " Punkte)");
    }
  }
  return model;
}
