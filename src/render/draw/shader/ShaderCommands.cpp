// ShaderCommands.cpp -- the shader backend's frame: vertices transformed by
// its own matrices and gathered with their state into the frame's command
// lists, static buffers and their wide versions.
#include "render/draw/shader/ShaderBackend.h"

#include <cassert>
#include <cmath>
#include <utility>

#include "render/draw/shader/ShaderCommon.h"

namespace render {

using namespace shader;

namespace {

// Static buffers up to this size are drawn through the frame's lists.
constexpr int kInlineVertices = 512;

}  // namespace

// --- primitives ---

TShaderBackend::TState TShaderBackend::CurrentState() const {
  TState state;
  state.Caps = fState.Caps & static_cast<uint8_t>(~Bit(gfx::TCap::Texture2D));
  if (fState.Caps & Bit(gfx::TCap::Blend)) state.Blend = fState.Blend;
  if (fState.Caps & Bit(gfx::TCap::AlphaTest)) state.AlphaReference = fState.AlphaReference;
  if (fState.Caps & Bit(gfx::TCap::ScissorTest)) state.ScissorBox = fState.ScissorBox;
  if (fState.Caps & Bit(gfx::TCap::Texture2D)) state.Texture = fState.Texture;
  return state;
}

TShaderBackend::TCommand& TShaderBackend::Open(TCommandType type) {
  TState state = CurrentState();
  if (type != TCommandType::Triangles && type != TCommandType::Buffer)
    state.Caps &= static_cast<uint8_t>(~Bit(gfx::TCap::CullFace));
  if (type != TCommandType::Triangles) state.LineWidth = fState.LineWidth;
  const bool list = type == TCommandType::Triangles || type == TCommandType::Lines || type == TCommandType::WideLines;
  if (list && !fCommands.empty()) {
    TCommand& last = fCommands.back();
    if (last.Type == type && last.State == state) return last;
  }
  TCommand& command = fCommands.emplace_back();
  command.Type = type;
  command.State = state;
  command.First = static_cast<uint32_t>(type == TCommandType::WideLines ? fWideVertices.size() : fVertices.size());
  return command;
}

bool TShaderBackend::Wide() const { return fState.LineWidth > fNativeLineWidth; }

void TShaderBackend::UpdateClipMatrix() {
  if (!fClipDirty) return;
  fClip = gfx::Multiply(fProjection[static_cast<std::size_t>(fProjectionTop)],
                   fModelView[static_cast<std::size_t>(fModelViewTop)]);
  fClipDirty = false;
}

TShaderBackend::TVertex TShaderBackend::Transform(float x, float y, float z) const {
  const gfx::TMatrix& m = fClip;
  TVertex v;
  for (int row = 0; row < 4; ++row)
    v.Position[static_cast<std::size_t>(row)] = m[row] * x + m[4 + row] * y + m[8 + row] * z + m[12 + row];
  v.Color = fColor;
  v.TexCoord = fTexCoord;
  return v;
}

void TShaderBackend::Begin(gfx::TPrimitive mode) {
  fMode = mode;
  fPrimitiveVertices = 0;
  UpdateClipMatrix();
  fOpenType = !IsLines(mode) ? TCommandType::Triangles : Wide() ? TCommandType::WideLines : TCommandType::Lines;
  Open(fOpenType);
}

void TShaderBackend::Vertex(float x, float y, float z) {
  const TVertex v = Transform(x, y, z);
  const int n = fPrimitiveVertices++;
  auto& p = fPending;
  switch (fMode) {
    case gfx::TPrimitive::Lines:
      if (n % 2 == 0)
        p[0] = v;
      else
        EmitLine(p[0], v);
      break;
    case gfx::TPrimitive::LineStrip:
    case gfx::TPrimitive::LineLoop:
      if (n == 0)
        p[0] = v;
      else
        EmitLine(p[1], v);
      p[1] = v;
      break;
    case gfx::TPrimitive::Triangles:
      if (n % 3 < 2)
        p[static_cast<std::size_t>(n % 3)] = v;
      else
        EmitTriangle(p[0], p[1], v);
      break;
    case gfx::TPrimitive::TriangleStrip:
      if (n < 2) {
        p[static_cast<std::size_t>(n)] = v;
        break;
      }
      if (n % 2 == 0)
        EmitTriangle(p[0], p[1], v);
      else
        EmitTriangle(p[1], p[0], v);
      p[0] = p[1];
      p[1] = v;
      break;
    case gfx::TPrimitive::TriangleFan:
      if (n >= 2) EmitTriangle(p[0], p[1], v);
      p[n == 0 ? 0 : 1] = v;
      break;
    case gfx::TPrimitive::Quads:
      if (n % 4 < 3) {
        p[static_cast<std::size_t>(n % 4)] = v;
      } else {
        EmitTriangle(p[0], p[1], p[2]);
        EmitTriangle(p[0], p[2], v);
      }
      break;
  }
}

void TShaderBackend::End() {
  if (fMode == gfx::TPrimitive::LineLoop && fPrimitiveVertices >= 2) EmitLine(fPending[1], fPending[0]);
  fPrimitiveVertices = 0;
}

void TShaderBackend::EmitLine(const TVertex& a, const TVertex& b) {
  TCommand& command = fCommands.back();
  if (fOpenType == TCommandType::Lines) {
    fVertices.push_back(a);
    fVertices.push_back(b);
    command.Count += 2;
    return;
  }
  Widen(fWideVertices, a, b);
  command.Count += kQuadCorners;
}

void TShaderBackend::Widen(std::vector<TWideVertex>& corners, const TVertex& a, const TVertex& b) {
  corners.insert(corners.end(), {{a.Position, b.Position, a.Color, 1},
                                 {a.Position, b.Position, a.Color, -1},
                                 {b.Position, a.Position, b.Color, 1},
                                 {b.Position, a.Position, b.Color, -1}});
}

void TShaderBackend::EmitTriangle(const TVertex& a, const TVertex& b, const TVertex& c) {
  fVertices.push_back(a);
  fVertices.push_back(b);
  fVertices.push_back(c);
  fCommands.back().Count += 3;
}

void TShaderBackend::Color(float r, float g, float b, float a) { fColor = {r, g, b, a}; }

void TShaderBackend::TexCoord(float u, float v) { fTexCoord = {u, v}; }

// --- matrices ---

void TShaderBackend::MatrixMode(gfx::TMatrixStack stack) { fStack = stack; }

void TShaderBackend::PushMatrix() {
  // As in GL, a push past the depth and a pop past the bottom change
  // nothing and are reported.
  auto& stack = fStack == gfx::TMatrixStack::Projection ? fProjection : fModelView;
  int& top = fStack == gfx::TMatrixStack::Projection ? fProjectionTop : fModelViewTop;
  if (top + 1 >= static_cast<int>(stack.size())) {
    Fail(GL_STACK_OVERFLOW);
    return;
  }
  stack[static_cast<std::size_t>(top + 1)] = stack[static_cast<std::size_t>(top)];
  ++top;
}

void TShaderBackend::PopMatrix() {
  int& top = fStack == gfx::TMatrixStack::Projection ? fProjectionTop : fModelViewTop;
  if (top == 0) {
    Fail(GL_STACK_UNDERFLOW);
    return;
  }
  --top;
  fClipDirty = true;
}

void TShaderBackend::Fail(GLenum error) {
  if (fError == GL_NO_ERROR) fError = error;
}

void TShaderBackend::LoadIdentity() {
  (fStack == gfx::TMatrixStack::Projection ? fProjection[static_cast<std::size_t>(fProjectionTop)]
                                           : fModelView[static_cast<std::size_t>(fModelViewTop)]) = kIdentity;
  fClipDirty = true;
}

void TShaderBackend::MultMatrix(const gfx::TMatrix& m) {
  gfx::TMatrix& top = fStack == gfx::TMatrixStack::Projection ? fProjection[static_cast<std::size_t>(fProjectionTop)]
                                                              : fModelView[static_cast<std::size_t>(fModelViewTop)];
  top = gfx::Multiply(top, m);
  fClipDirty = true;
}

void TShaderBackend::Translate(float x, float y, float z) { MultMatrix(gfx::TranslationMatrix(x, y, z)); }

void TShaderBackend::Scale(float x, float y, float z) { MultMatrix(gfx::ScalingMatrix(x, y, z)); }

void TShaderBackend::Rotate(float degrees, float x, float y, float z) {
  if (const auto rotation = gfx::RotationMatrix(degrees, x, y, z)) MultMatrix(*rotation);
}

void TShaderBackend::Perspective(double fovY, double aspect, double zNear, double zFar) {
  MultMatrix(gfx::PerspectiveMatrix(fovY, aspect, zNear, zFar));
}

void TShaderBackend::Ortho(double left, double right, double bottom, double top, double zNear, double zFar) {
  MultMatrix(gfx::OrthoMatrix(left, right, bottom, top, zNear, zFar));
}

gfx::TMatrix TShaderBackend::GetMatrix(gfx::TMatrixStack stack) {
  return stack == gfx::TMatrixStack::Projection ? fProjection[static_cast<std::size_t>(fProjectionTop)]
                                                : fModelView[static_cast<std::size_t>(fModelViewTop)];
}

// --- state ---

void TShaderBackend::SetCap(gfx::TCap cap, bool on) {
  if (on)
    fState.Caps |= Bit(cap);
  else
    fState.Caps &= static_cast<uint8_t>(~Bit(cap));
}

void TShaderBackend::BlendFunc(gfx::TBlend blend) { fState.Blend = blend; }
void TShaderBackend::AlphaFunc(float reference) { fState.AlphaReference = reference; }
void TShaderBackend::LineWidth(float pixels) { fState.LineWidth = pixels; }
void TShaderBackend::Scissor(const gfx::TRect& box) { fState.ScissorBox = box; }

// --- static buffers ---

gfx::TBuffer TShaderBackend::CreateBuffer(gfx::TVertexFormat format, const void* vertices, int count) {
  TStaticBuffer buffer;
  buffer.Format = format;
  buffer.Count = count;
  const std::size_t bytes = static_cast<std::size_t>(count) * static_cast<std::size_t>(gfx::VertexBytes(format));
  const auto* begin = static_cast<const uint8_t*>(vertices);
  buffer.Data.assign(begin, begin + bytes);
  fGL.GenBuffers(1, &buffer.Name);
  fGL.BindBuffer(GL_ARRAY_BUFFER, buffer.Name);
  fGL.BufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(bytes), vertices, GL_STATIC_DRAW);
  fGL.BindBuffer(GL_ARRAY_BUFFER, 0);
  const gfx::TBuffer handle = NewBufferHandle();
  TStaticBuffer& kept = fBuffers.emplace(handle, std::move(buffer)).first->second;
  // Large models (bare positions, drawn as line pairs) may be drawn wide:
  // where the program widens lines, that version is made now, while the
  // stage loads, not in the frame that first needs it.
  if (format == gfx::TVertexFormat::V3F && fNativeLineWidth <= 1) WideBuffer(kept, gfx::TPrimitive::Lines);
  return handle;
}

bool TShaderBackend::UpdateBuffer(gfx::TBuffer handle, gfx::TVertexFormat format, const void* vertices, int count) {
  const auto found = fBuffers.find(handle);
  if (found == fBuffers.end() || found->second.Format != format || found->second.Count != count) return false;
  Flush();  // the frame's draws so far show the old vertices
  TStaticBuffer& buffer = found->second;
  const auto* begin = static_cast<const uint8_t*>(vertices);
  buffer.Data.assign(begin, begin + buffer.Data.size());
  fGL.BindBuffer(GL_ARRAY_BUFFER, buffer.Name);
  fGL.BufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(buffer.Data.size()), vertices);
  fGL.BindBuffer(GL_ARRAY_BUFFER, 0);
  // The wide versions are made again on their next use.
  for (std::size_t i = 0; i < buffer.Wide.size(); ++i) {
    if (buffer.Wide[i]) fGL.DeleteBuffers(1, &buffer.Wide[i]);
    buffer.Wide[i] = 0;
    buffer.WideCount[i] = 0;
  }
  return true;
}

GLuint TShaderBackend::WideBuffer(TStaticBuffer& buffer, gfx::TPrimitive mode) {
  const std::size_t index = WideIndex(mode);
  if (buffer.Wide[index]) return buffer.Wide[index];
  const int stride = gfx::VertexBytes(buffer.Format);
  auto corner = [&](int i) {
    const uint8_t* v = buffer.Data.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(stride);
    TVertex out{};
    const std::array<float, 3> xyz = gfx::VertexPosition(buffer.Format, v);
    out.Position = {xyz[0], xyz[1], xyz[2], 1};
    out.Color = gfx::VertexColor(buffer.Format, v, out.Color);
    return out;
  };
  std::vector<TWideVertex> corners;
  auto segment = [&](int i, int j) { Widen(corners, corner(i), corner(j)); };
  if (mode == gfx::TPrimitive::Lines) {
    for (int i = 0; i + 1 < buffer.Count; i += 2) segment(i, i + 1);
  } else {
    for (int i = 0; i + 1 < buffer.Count; ++i) segment(i, i + 1);
    if (mode == gfx::TPrimitive::LineLoop && buffer.Count > 2) segment(buffer.Count - 1, 0);
  }
  GLuint name = 0;
  fGL.GenBuffers(1, &name);
  fGL.BindBuffer(GL_ARRAY_BUFFER, name);
  fGL.BufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(corners.size() * sizeof(TWideVertex)), corners.data(),
                 GL_STATIC_DRAW);
  fGL.BindBuffer(GL_ARRAY_BUFFER, 0);
  buffer.Wide[index] = name;
  buffer.WideCount[index] = static_cast<int>(corners.size());
  return name;
}

int TShaderBackend::BufferVertices(gfx::TBuffer handle) {
  const auto found = fBuffers.find(handle);
  return found == fBuffers.end() ? 0 : found->second.Count;
}

void TShaderBackend::DrawBuffer(gfx::TBuffer handle, gfx::TPrimitive mode, int first, int count) {
  const auto found = fBuffers.find(handle);
  assert(found != fBuffers.end());
  TStaticBuffer& buffer = found->second;
  assert(first >= 0 && count > 0 && first + count <= buffer.Count);
  // The wide versions hold the pairs from vertex 0 on, the strip's segments
  // and the whole loop: other ranges are drawn as the immediate calls would.
  const bool wide = IsLines(mode) && Wide();
  const bool wideFits = mode == gfx::TPrimitive::Lines       ? first % 2 == 0
                        : mode == gfx::TPrimitive::LineStrip ? true
                                                             : first == 0 && count == buffer.Count;
  if (wide ? !wideFits : buffer.Count <= kInlineVertices)
    DrawInline(buffer, mode, first, count);
  else
    DrawStatic(handle, buffer, mode, first, count);
}

void TShaderBackend::DrawStatic(gfx::TBuffer handle, TStaticBuffer& buffer, gfx::TPrimitive mode, int first,
                                int count) {
  const bool wide = IsLines(mode) && Wide();
  if (wide) WideBuffer(buffer, mode);
  UpdateClipMatrix();
  TCommand& command = Open(wide ? TCommandType::WideBuffer : TCommandType::Buffer);
  command.Buffer = handle;
  command.Mode = mode;
  command.Matrix = fClip;
  command.Color = fColor;
  command.First = static_cast<uint32_t>(first);
  command.Count = static_cast<uint32_t>(count);
  if (!wide) return;
  // Four corners for each pair or segment of the range.
  const std::size_t index = WideIndex(mode);
  if (mode == gfx::TPrimitive::Lines) {
    command.First = static_cast<uint32_t>(first / 2) * kQuadCorners;
    command.Count = static_cast<uint32_t>(count / 2) * kQuadCorners;
  } else if (mode == gfx::TPrimitive::LineStrip) {
    command.First = static_cast<uint32_t>(first) * kQuadCorners;
    command.Count = static_cast<uint32_t>(count - 1) * kQuadCorners;
  } else {
    command.First = 0;
    command.Count = static_cast<uint32_t>(buffer.WideCount[index]);
  }
}

void TShaderBackend::DrawInline(const TStaticBuffer& buffer, gfx::TPrimitive mode, int first, int count) {
  // A shot or an enemy: a few dozen vertices. Drawn as the immediate calls
  // would draw them, they join the frame's lists, and a swarm with its shots
  // is one draw instead of hundreds.
  const std::array<float, 4> color = fColor;
  const int stride = gfx::VertexBytes(buffer.Format);
  Begin(mode);
  for (int i = first; i < first + count; ++i) {
    const uint8_t* v = buffer.Data.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(stride);
    fColor = gfx::VertexColor(buffer.Format, v, fColor);
    const std::array<float, 3> xyz = gfx::VertexPosition(buffer.Format, v);
    Vertex(xyz[0], xyz[1], xyz[2]);
  }
  End();
  fColor = color;
}

void TShaderBackend::DeleteBuffer(gfx::TBuffer handle) {
  const auto found = fBuffers.find(handle);
  if (found == fBuffers.end()) return;
  Flush();
  fGL.DeleteBuffers(1, &found->second.Name);
  for (GLuint wide : found->second.Wide)
    if (wide) fGL.DeleteBuffers(1, &wide);
  fBuffers.erase(found);
}

}  // namespace render
