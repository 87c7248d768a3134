// ShaderCommon.h -- what the shader backend's programs, command lists and
// replay share: the attribute slots, the identity, a switch's bit, which
// modes are lines and which wide version a line mode uses.
#pragma once

#include <cstddef>
#include <cstdint>

#include "render/draw/Draw.h"
#include "render/draw/GL.h"

namespace render::shader {

// Attribute slots; the wide program's other end and side take the texture
// place's slot and the next.
inline constexpr GLuint kPosition = 0, kColor = 1, kTexCoord = 2, kOther = 2, kSide = 3;

inline constexpr gfx::TMatrix kIdentity{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

constexpr uint8_t Bit(gfx::TCap cap) { return static_cast<uint8_t>(1u << static_cast<unsigned>(cap)); }

inline bool IsLines(gfx::TPrimitive mode) {
  return mode == gfx::TPrimitive::Lines || mode == gfx::TPrimitive::LineStrip || mode == gfx::TPrimitive::LineLoop;
}

// A static buffer's wide version for line pairs, a strip or a loop.
inline std::size_t WideIndex(gfx::TPrimitive mode) {
  return mode == gfx::TPrimitive::LineStrip ? 1 : mode == gfx::TPrimitive::LineLoop ? 2 : 0;
}

}  // namespace render::shader
