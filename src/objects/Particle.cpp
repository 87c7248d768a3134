// Particle.cpp -- loading and drawing wireframe models.
#include "objects/Particle.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "objects/ModelFile.h"
#include "render/draw/Draw.h"
#include "render/VertexBufferObject.h"
#include "services/FatalError.h"
#include "services/IniFile.h"

TParticle::TParticle(platform::TPlatform& /*platform*/) : fBuffer(std::make_unique<TVertexBufferObject>()) {}

TParticle::~TParticle() = default;

void TParticle::LoadFromFile(const std::string& fileName) {
  CheckFileExists(fileName, "Particle, LoadFromFile: ");
  fFileName = fileName;
  TIniFile ini;
  ini.LoadFromFile(fileName);

  TModelData model = ReadModel(ini, fileName);
  fVertices = std::move(model.Vertices);
  fLines = std::move(model.Lines);
  const auto lineCount = static_cast<int32_t>(fLines.size());

  fBuffer->SetSize(2 * lineCount, gfx::TVertexFormat::V3F);
  for (const TIndexPair& line : fLines) {
    fBuffer->Add(fVertices[static_cast<std::size_t>(line.first)]);
    fBuffer->Add(fVertices[static_cast<std::size_t>(line.second)]);
  }
  fBuffer->Finish();
}

float TParticle::Radius() const {
  float radius = 0;
  for (const TVector3f& v : fVertices) radius = std::max(radius, std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z));
  return radius * fScale;
}

void TParticle::Render() const {
  gfx::PushMatrix();
  gfx::Scale(fScale, fScale, fScale);
  fBuffer->Draw(gfx::TPrimitive::Lines);
  gfx::PopMatrix();
}
