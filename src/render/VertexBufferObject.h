// VertexBufferObject.h -- one fixed-size vertex array in graphics memory.
//
// Calling order: Create (the constructor) -> SetSize -> AddVertex exactly
// `capacity` times -> Finish -> Draw any number of times. The vertices are
// gathered in memory and handed to the drawing layer at Finish.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <utility>
#include <vector>

#include "render/draw/Draw.h"
#include "render/draw/VertexRecords.h"

// Raised for a context that cannot keep vertex buffers and for a buffer
// finished with fewer vertices than it was sized for.
class VertexBufferException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

using gfx::TVertexC3FV3F;
using gfx::TVertexC4UBV3F;
using gfx::TVertexV3F;

class TVertexBufferObject {
 public:
  // Needs a current GL context that keeps vertex buffers; raises
  // VertexBufferException("VertexBuffer: not supported") otherwise.
  TVertexBufferObject();
  ~TVertexBufferObject();
  TVertexBufferObject(const TVertexBufferObject&) = delete;
  TVertexBufferObject& operator=(const TVertexBufferObject&) = delete;

  // Makes room for `count` vertices of `format` and starts filling; a
  // buffer filled before is replaced at the next Finish.
  void SetSize(int32_t count, gfx::TVertexFormat format);
  // Appends one vertex (vertex-size bytes of `vertex`); ignored when the
  // buffer is full or not being filled.
  void AddVertex(const void* vertex);
  template <typename TVertex>
  void Add(const TVertex& vertex) {
    AddVertex(&vertex);
  }
  // Hands the vertices over. Raises "Weniger Vertex übergeben als erwartet!"
  // when fewer than `capacity` vertices were added (filling goes on).
  void Finish();
  // Draws all `capacity` vertices with the current matrices and state, or
  // `count` of them from `first` (clamped to the buffer); nothing before the
  // first Finish.
  void Draw(gfx::TPrimitive mode);
  void Draw(gfx::TPrimitive mode, int32_t first, int32_t count);
  // Draws a line strip or line pairs as Draw(mode) does, leaving out the
  // runs of vertices that lie wholly outside the view of the current
  // matrices. The picture is the same: what is left out would be clipped
  // away. A tube seen from inside lies largely behind and beside the camera,
  // and a software rasteriser pays for every vertex it is given. Returns how
  // many vertices were handed over.
  int32_t DrawVisible(gfx::TPrimitive mode);

  [[nodiscard]] int32_t Capacity() const { return fCapacity; }
  [[nodiscard]] int32_t Count() const { return fCount; }
  [[nodiscard]] gfx::TVertexFormat Format() const { return fFormat; }

 private:
  gfx::TBuffer fBuffer = 0;
  int32_t fCapacity = 0;
  int32_t fCount = 0;
  gfx::TVertexFormat fFormat = gfx::TVertexFormat::V3F;
  bool fFilling = false;
  std::vector<uint8_t> fData;
  // Bounding spheres of blocks of kBlockVertices vertices, each with the
  // next block's first vertex (a strip's segment into it); made at Finish
  // for large buffers.
  struct TBlockBounds {
    float X, Y, Z, Radius;
  };
  static constexpr int32_t kBlockVertices = 64;
  std::vector<TBlockBounds> fBlocks;
  std::vector<std::pair<int32_t, int32_t>> fRuns;  // DrawVisible's, kept to reuse
  void MakeBlockBounds();
};
