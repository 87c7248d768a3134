// Particle.cpp -- loading and drawing wireframe models.
#include "objects/Particle.h"

#include <string>

#include "render/GL.h"
#include "render/VertexBufferObject.h"
#include "services/DataError.h"
#include "services/FatalError.h"
#include "services/IniFile.h"
#include "services/ValueLists.h"

TParticle::TParticle() : fBuffer(std::make_unique<TVertexBufferObject>()) {}

TParticle::~TParticle() = default;

void TParticle::LoadFromFile(const std::string& fileName) {
  CheckFileExists(fileName, "Particle, LoadFromFile: ");
  fFileName = fileName;
  TIniFile ini;
  ini.LoadFromFile(fileName);

  const int32_t vertexCount = ReadCount(ini, "Modell " + fileName, "Vertex", "VertexCount", kMaxModelCount);
  fVertices.assign(static_cast<std::size_t>(vertexCount), TVector3f{});
  for (int32_t i = 0; i < vertexCount; ++i)
    StrToVector3f(ini.ReadString("Vertex", "Vertex" + std::to_string(i), "0;0;0;"), fVertices[static_cast<std::size_t>(i)]);

  const int32_t lineCount = ReadCount(ini, "Modell " + fileName, "Lines", "LineCount", kMaxModelCount);
  fLines.assign(static_cast<std::size_t>(lineCount), TIndexPair{});
  for (int32_t i = 0; i < lineCount; ++i) {
    const std::string key = "Line" + std::to_string(i);
    TIndexPair& line = fLines[static_cast<std::size_t>(i)];
    StrToIndexPair(ini.ReadString("Lines", key, "0;0;"), line);
    for (int32_t index : {line.first, line.second}) {
      if (index < 0 || index >= vertexCount)
        throw EDataError("Modell " + fileName + ", Schl\xFCssel '" + key + "': Punkt " + std::to_string(index) +
                         " gibt es nicht (" + std::to_string(vertexCount) + " Punkte)");
    }
  }

  fBuffer->SetSize(2 * lineCount, GL_V3F, GL_STATIC_DRAW);
  for (const TIndexPair& line : fLines) {
    fBuffer->Add(fVertices[static_cast<std::size_t>(line.first)]);
    fBuffer->Add(fVertices[static_cast<std::size_t>(line.second)]);
  }
  fBuffer->Finish();
}

void TParticle::Render() const {
  glPushMatrix();
  glScalef(fScale, fScale, fScale);
  fBuffer->Draw(GL_LINES);
  glPopMatrix();
}
