// VertexBufferObject.h -- one fixed-size vertex array in graphics memory.
//
// Calling order: Create (the constructor) -> SetSize -> AddVertex exactly
// `capacity` times -> Finish -> Draw any number of times. The fill writes each
// vertex straight into the mapped buffer.
#pragma once

#include <cstdint>
#include <stdexcept>

#include "render/GL.h"

// Raised for a missing buffer-object extension and for a buffer finished
// with fewer vertices than it was sized for.
class VertexBufferException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Vertex records laid out exactly as one element of their format.
#pragma pack(push, 1)
struct TVertexV3F {
  float x, y, z;
};
struct TVertexC4UBV3F {
  uint8_t r, g, b, a;
  float x, y, z;
};
struct TVertexC3FV3F {
  float r, g, b;
  float x, y, z;
};
#pragma pack(pop)

namespace platform {
class TPlatform;
}

class TVertexBufferObject {
 public:
  // Needs a current GL context with GL_ARB_vertex_buffer_object, whose entry
  // points `platform` finds; raises VertexBufferException("VertexBuffer: not
  // supported") otherwise.
  explicit TVertexBufferObject(platform::TPlatform& platform);
  ~TVertexBufferObject();
  TVertexBufferObject(const TVertexBufferObject&) = delete;
  TVertexBufferObject& operator=(const TVertexBufferObject&) = delete;

  // Allocates count x vertex size bytes and maps them for writing. An
  // unsupported format sizes 0 bytes and ignores every vertex.
  void SetSize(int32_t count, GLenum format, GLenum usage);
  // Appends one vertex (vertex-size bytes of `vertex`); ignored when the
  // buffer is full or not being filled.
  void AddVertex(const void* vertex);
  template <typename TVertex>
  void Add(const TVertex& vertex) {
    AddVertex(&vertex);
  }
  // Unmaps. Raises "Weniger Vertex übergeben als erwartet!" when fewer than
  // `capacity` vertices were added (the buffer stays mapped).
  void Finish();
  void Bind();
  void Unbind();
  // Draws all `capacity` vertices, whatever was added.
  void Draw(GLenum mode);

  [[nodiscard]] int32_t Capacity() const { return fCapacity; }
  [[nodiscard]] int32_t Count() const { return fCount; }
  [[nodiscard]] GLenum Format() const { return fFormat; }

  // Bytes of one vertex of `format`; 0 for unsupported formats.
  static int VertexSize(GLenum format);

 private:
  GLuint fName = 0;
  int32_t fCapacity = 0;
  int32_t fCount = 0;
  GLenum fFormat = 0;
  bool fFilling = false;
  uint8_t* fBase = nullptr;
  uint8_t* fCursor = nullptr;
};
