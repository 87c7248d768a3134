// VertexRecords.h -- one vertex of each static-buffer format, laid out
// exactly as the format has it.
#pragma once

#include <cstdint>

#include "render/draw/Draw.h"

namespace gfx {

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

static_assert(sizeof(TVertexV3F) == VertexBytes(TVertexFormat::V3F));
static_assert(sizeof(TVertexC4UBV3F) == VertexBytes(TVertexFormat::C4UB_V3F));
static_assert(sizeof(TVertexC3FV3F) == VertexBytes(TVertexFormat::C3F_V3F));

}  // namespace gfx
