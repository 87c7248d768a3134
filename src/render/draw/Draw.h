// Draw.h -- the game's drawing interface: immediate-mode primitives, matrix
// stacks, a few switches and static vertex buffers, in the manner of GL 1.x.
//
// Everything that draws calls these instead of OpenGL. They act on the
// backend of the current GL context (see Backend.h): the fixed-function one
// passes each call to GL as it is; the shader one transforms vertices itself
// and batches them until the state changes, so its pixels reach the frame
// buffer only at Flush (which SwapFrame and the read-back helpers call).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace gfx {

enum class TPrimitive : uint8_t { Lines, LineStrip, LineLoop, Triangles, TriangleStrip, TriangleFan, Quads };

enum class TCap : uint8_t { Blend, AlphaTest, DepthTest, CullFace, ScissorTest, Texture2D };

// Source alpha over the frame (SRC_ALPHA, ONE_MINUS_SRC_ALPHA), or added to
// it (SRC_ALPHA, ONE).
enum class TBlend : uint8_t { Alpha, Additive };

enum class TMatrixStack : uint8_t { ModelView, Projection };

// Interleaved layouts of a static buffer's vertices (positions in floats,
// colours as bytes or floats before them).
enum class TVertexFormat : uint8_t { V3F, C4UB_V3F, C3F_V3F };

struct TRect {
  int X = 0, Y = 0, Width = 0, Height = 0;
  bool operator==(const TRect&) const = default;
};

// Bytes of one vertex of `format`.
constexpr int VertexBytes(TVertexFormat format) {
  return format == TVertexFormat::C3F_V3F ? 24 : format == TVertexFormat::C4UB_V3F ? 16 : 12;
}

// The position of a vertex of `format` (its last three floats), and its
// colour, or `otherwise` for a format without one.
[[nodiscard]] std::array<float, 3> VertexPosition(TVertexFormat format, const uint8_t* vertex);
[[nodiscard]] std::array<float, 4> VertexColor(TVertexFormat format, const uint8_t* vertex,
                                               const std::array<float, 4>& otherwise);

using TMatrix = std::array<float, 16>;  // column-major, as GL keeps it
using TTexture = uint32_t;              // 0: none
using TBuffer = uint32_t;               // 0: none

// a · b: b's transform first, then a's, as GL multiplies a stack's top.
inline TMatrix Multiply(const TMatrix& a, const TMatrix& b) {
  TMatrix r{};
  for (int c = 0; c < 4; ++c)
    for (int row = 0; row < 4; ++row) {
      float sum = 0;
      for (int k = 0; k < 4; ++k) sum += a[k * 4 + row] * b[c * 4 + k];
      r[c * 4 + row] = sum;
    }
  return r;
}

// The matrices GL's glTranslate, glScale, glRotate, gluPerspective and
// glOrtho multiply the stack's top with, for the backends that keep their
// own stacks. A rotation about a zero axis is none (GL leaves the top as it
// is then).
[[nodiscard]] TMatrix TranslationMatrix(float x, float y, float z);
[[nodiscard]] TMatrix ScalingMatrix(float x, float y, float z);
[[nodiscard]] std::optional<TMatrix> RotationMatrix(float degrees, float x, float y, float z);
[[nodiscard]] TMatrix PerspectiveMatrix(double fovY, double aspect, double zNear, double zFar);
[[nodiscard]] TMatrix OrthoMatrix(double left, double right, double bottom, double top, double zNear, double zFar);

// Primitives. Vertex, Color and TexCoord between Begin and End; Color and
// TexCoord set the current value for the vertices that follow.
void Begin(TPrimitive mode);
void End();
void Vertex(float x, float y, float z = 0);
void Color(float r, float g, float b, float a = 1);
void TexCoord(float u, float v);

// Matrices. Translate, Rotate (degrees about an axis), Scale and MultMatrix
// multiply the current stack's top from the right.
void MatrixMode(TMatrixStack stack);
void PushMatrix();
void PopMatrix();
void LoadIdentity();
void Translate(float x, float y, float z);
void Rotate(float degrees, float x, float y, float z);
void Scale(float x, float y, float z);
void MultMatrix(const TMatrix& m);
// Multiplies by a perspective (vertical field of view in degrees) or an
// orthographic projection.
void Perspective(double fovY, double aspect, double zNear, double zFar);
void Ortho(double left, double right, double bottom, double top, double zNear, double zFar);
[[nodiscard]] TMatrix GetMatrix(TMatrixStack stack);

// State.
void Enable(TCap cap);
void Disable(TCap cap);
void BlendFunc(TBlend blend);
// The alpha test passes fragments whose alpha is above `reference`.
void AlphaFunc(float reference);
void LineWidth(float pixels);
void Scissor(const TRect& box);  // window pixels, y from the bottom
void Viewport(const TRect& box);
[[nodiscard]] TRect GetViewport();
void ClearColor(float r, float g, float b, float a);
// Clears colour and depth.
void Clear();

// Textures: RGBA, 8 bits per channel, linear filtering, clamped at the edge.
// `rgba` may be null for a texture of transparent black.
[[nodiscard]] TTexture CreateTexture(int width, int height, const uint8_t* rgba);
void UpdateTexture(TTexture texture, int x, int y, int width, int height, const uint8_t* rgba);
void DeleteTexture(TTexture texture);
void BindTexture(TTexture texture);
[[nodiscard]] int MaxTextureSize();

// Static vertex buffers: `count` vertices of `format`, copied. Drawing one
// uses the current matrices, line width and state; a format without colour
// takes the current colour.
[[nodiscard]] bool BuffersSupported();
[[nodiscard]] TBuffer CreateBuffer(TVertexFormat format, const void* vertices, int count);
// Refills `buffer` with as many vertices of its format, in the store it
// has: a stage loaded again fills its tube anew without the driver
// allocating another store. False, and nothing changed, for a buffer that
// is not there or holds another format or count.
[[nodiscard]] bool UpdateBuffer(TBuffer buffer, TVertexFormat format, const void* vertices, int count);
// Vertices [first, first + count) of it, as far as they lie in it; a
// negative count means to the end.
void DrawBuffer(TBuffer buffer, TPrimitive mode, int first = 0, int count = -1);
void DeleteBuffer(TBuffer buffer);

// Whether a GL context is current on this thread.
[[nodiscard]] bool ContextCurrent();

// Draws everything batched so far: before the frame is shown or read back.
void Flush();
// Flush and wait until the frame is drawn (benchmarks).
// The back buffer's pixels in `box` after a Flush: 4 bytes (RGBA) or 3
// (RGB) each, rows from the bottom.
[[nodiscard]] std::vector<uint8_t> ReadPixels(const TRect& box, bool alpha = true);
void Finish();
// The backend's name ("gl1" or "shader") and the first GL error since the
// last call, as text; empty when there was none.
[[nodiscard]] const char* BackendName();
[[nodiscard]] std::string TakeError();

}  // namespace gfx
