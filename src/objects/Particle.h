// Particle.h -- a wireframe model: points joined by lines, drawn from a
// vertex buffer. Ships, shots and the boss all use it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "services/Types.h"

class TVertexBufferObject;

namespace platform {
class TPlatform;
}

class TParticle {
 public:
  // An empty model with scale 1 and a new vertex buffer (needs a GL context,
  // whose entry points `platform` finds).
  explicit TParticle(platform::TPlatform& platform);
  virtual ~TParticle();
  TParticle(const TParticle&) = delete;
  TParticle& operator=(const TParticle&) = delete;

  // Replaces points and lines with those of the model file and rebuilds the
  // buffer; fScale stays. A missing file is fatal ("Particle, LoadFromFile:
  // Datein nicht gefunden: ..."); a malformed value throws EConvertError; a
  // line naming a point that does not exist, or a negative or absurd count,
  // throws EDataError naming the file and the key.
  void LoadFromFile(const std::string& fileName);
  // Draws the lines at the current transform, scaled by fScale. Sets no
  // colour and no line width.
  void Render() const;

  [[nodiscard]] const std::string& FileName() const { return fFileName; }
  // How far the farthest point lies from the model's origin, scaled.
  [[nodiscard]] float Radius() const;

  float fScale = 1.0f;
  std::unique_ptr<TVertexBufferObject> fBuffer;
  TVector3fArray fVertices;
  std::vector<TIndexPair> fLines;

 private:
  std::string fFileName;
};
