// ShaderReplay.cpp -- the shader backend's replay of the frame's command
// lists, changing only the GL state that differs, and what acts on GL at
// once: the viewport, clearing and textures.
#include "render/draw/shader/ShaderBackend.h"

#include <algorithm>
#include <bit>
#include <cstddef>

#include "render/draw/shader/ShaderCommon.h"

namespace render {

using namespace shader;

namespace {

const void* Offset(std::size_t bytes) { return reinterpret_cast<const void*>(bytes); }

}  // namespace

void TShaderBackend::Viewport(const gfx::TRect& box) {
  if (box == fViewport) return;
  Flush();
  fViewport = box;
  glViewport(box.X, box.Y, box.Width, box.Height);
}

gfx::TRect TShaderBackend::GetViewport() { return fViewport; }

void TShaderBackend::ClearColor(float r, float g, float b, float a) { glClearColor(r, g, b, a); }

void TShaderBackend::Clear() {
  Flush();
  // Clearing obeys the scissor box, as it does in GL.
  TState state = CurrentState();
  state.Texture = fGLState.Known ? fGLState.Texture : 0;
  ApplyState(state, false);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

// --- textures ---

gfx::TTexture TShaderBackend::CreateTexture(int width, int height, const uint8_t* rgba) {
  return MakeTexture(width, height, rgba, fGLState.Texture);
}

void TShaderBackend::UpdateTexture(gfx::TTexture texture, int x, int y, int width, int height,
                                   const uint8_t* rgba) {
  // The frame's draws so far show what the texture holds now (a glyph's
  // cell may be filled anew within a frame).
  if (texture != 0 && std::any_of(fCommands.begin(), fCommands.end(),
                                  [&](const TCommand& command) { return command.State.Texture == texture; }))
    Flush();
  FillTexture(texture, x, y, width, height, rgba, fGLState.Texture);
}

void TShaderBackend::DeleteTexture(gfx::TTexture texture) {
  Flush();
  const GLuint name = texture;
  glDeleteTextures(1, &name);
  if (fGLState.Texture == name) fGLState.Texture = 0;
  if (fState.Texture == texture) fState.Texture = 0;
}

void TShaderBackend::BindTexture(gfx::TTexture texture) { fState.Texture = texture; }

int TShaderBackend::MaxTextureSize() { return GLMaxTextureSize(); }

// --- replay ---

void TShaderBackend::ApplyState(const TState& state, bool wide) {
  uint8_t caps = state.Caps;
  if (wide) caps &= static_cast<uint8_t>(~Bit(gfx::TCap::CullFace));
  const uint8_t changed = fGLState.Known ? static_cast<uint8_t>(caps ^ fGLState.Caps) : 0xFF;
  auto set = [&](gfx::TCap cap, GLenum name) {
    if (!(changed & Bit(cap))) return;
    if (caps & Bit(cap))
      glEnable(name);
    else
      glDisable(name);
  };
  set(gfx::TCap::Blend, GL_BLEND);
  set(gfx::TCap::DepthTest, GL_DEPTH_TEST);
  set(gfx::TCap::CullFace, GL_CULL_FACE);
  set(gfx::TCap::ScissorTest, GL_SCISSOR_TEST);
  // GL's own function and box are not ours: the first replay sets them.
  if (!fGLState.Known || ((caps & Bit(gfx::TCap::Blend)) && state.Blend != fGLState.Blend)) {
    glBlendFunc(GL_SRC_ALPHA, state.Blend == gfx::TBlend::Additive ? GL_ONE : GL_ONE_MINUS_SRC_ALPHA);
    fGLState.Blend = state.Blend;
  }
  if (!fGLState.Known || ((caps & Bit(gfx::TCap::ScissorTest)) && !(state.ScissorBox == fGLState.ScissorBox))) {
    glScissor(state.ScissorBox.X, state.ScissorBox.Y, state.ScissorBox.Width, state.ScissorBox.Height);
    fGLState.ScissorBox = state.ScissorBox;
  }
  if (state.Texture != 0 && (!fGLState.Known || state.Texture != fGLState.Texture)) {
    glBindTexture(GL_TEXTURE_2D, state.Texture);
    fGLState.Texture = state.Texture;
  }
  fGLState.Caps = caps;
  fGLState.Known = true;
}

void TShaderBackend::ApplyLineWidth(float width) {
  if (width == fGLState.LineWidth) return;
  glLineWidth(width);
  fGLState.LineWidth = width;
}

const TShaderBackend::TProgram& TShaderBackend::PlainProgram(const TState& state) const {
  const bool alphaTest = (state.Caps & Bit(gfx::TCap::AlphaTest)) != 0;
  return state.Texture != 0 || alphaTest ? fTextureProgram : fColorProgram;
}

void TShaderBackend::UseProgram(const TProgram& program, const gfx::TMatrix& matrix, const TState& state) {
  if (fGLState.Program != program.Name) {
    fGL.UseProgram(program.Name);
    fGLState.Program = program.Name;
  }
  fGL.UniformMatrix4fv(program.Matrix, 1, GL_FALSE, matrix.data());
  if (program.AlphaReference >= 0) {
    const bool alphaTest = (state.Caps & Bit(gfx::TCap::AlphaTest)) != 0;
    fGL.Uniform1f(program.AlphaReference, alphaTest ? state.AlphaReference : -1.0f);
    fGL.Uniform1f(program.UseTexture, state.Texture != 0 ? 1.0f : 0.0f);
  }
  if (program.HalfViewport >= 0) {
    fGL.Uniform2f(program.HalfViewport, static_cast<float>(fViewport.Width) / 2,
                  static_cast<float>(fViewport.Height) / 2);
    fGL.Uniform1f(program.HalfWidth, state.LineWidth / 2);
  }
}

void TShaderBackend::BindPlain(GLuint buffer, gfx::TVertexFormat format, bool frameList,
                               const std::array<float, 4>& color) {
  fGL.BindBuffer(GL_ARRAY_BUFFER, buffer);
  fGL.DisableVertexAttribArray(kSide);
  fGL.EnableVertexAttribArray(kPosition);
  if (frameList) {
    constexpr GLsizei stride = sizeof(TVertex);
    fGL.VertexAttribPointer(kPosition, 4, GL_FLOAT, GL_FALSE, stride, Offset(offsetof(TVertex, Position)));
    fGL.VertexAttribPointer(kColor, 4, GL_FLOAT, GL_FALSE, stride, Offset(offsetof(TVertex, Color)));
    fGL.VertexAttribPointer(kTexCoord, 2, GL_FLOAT, GL_FALSE, stride, Offset(offsetof(TVertex, TexCoord)));
    fGL.EnableVertexAttribArray(kColor);
    fGL.EnableVertexAttribArray(kTexCoord);
    return;
  }
  fGL.DisableVertexAttribArray(kTexCoord);
  fGL.VertexAttrib4f(kTexCoord, 0, 0, 0, 1);
  switch (format) {
    case gfx::TVertexFormat::V3F:
      fGL.VertexAttribPointer(kPosition, 3, GL_FLOAT, GL_FALSE, 12, Offset(0));
      fGL.DisableVertexAttribArray(kColor);
      fGL.VertexAttrib4f(kColor, color[0], color[1], color[2], color[3]);
      break;
    case gfx::TVertexFormat::C4UB_V3F:
      fGL.VertexAttribPointer(kColor, 4, GL_UNSIGNED_BYTE, GL_TRUE, 16, Offset(0));
      fGL.VertexAttribPointer(kPosition, 3, GL_FLOAT, GL_FALSE, 16, Offset(4));
      fGL.EnableVertexAttribArray(kColor);
      break;
    case gfx::TVertexFormat::C3F_V3F:
      fGL.VertexAttribPointer(kColor, 3, GL_FLOAT, GL_FALSE, 24, Offset(0));
      fGL.VertexAttribPointer(kPosition, 3, GL_FLOAT, GL_FALSE, 24, Offset(12));
      fGL.EnableVertexAttribArray(kColor);
      break;
  }
}

void TShaderBackend::EnableWide() {
  for (GLuint attribute : {kPosition, kOther, kColor, kSide}) fGL.EnableVertexAttribArray(attribute);
}

void TShaderBackend::DrawWide(GLuint buffer, uint32_t first, uint32_t count) {
  // Two triangles from every four corners through the shared indices: the
  // rasteriser shades four corners per segment, not six. A range past
  // what the indices reach is drawn in parts.
  constexpr GLsizei stride = sizeof(TWideVertex);
  fGL.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, fQuadIndices);
  for (uint32_t done = 0; done < count;) {
    const uint32_t part = std::min(count - done, kCornersPerDraw);
    const std::size_t base = static_cast<std::size_t>(first + done) * stride;
    fGL.BindBuffer(GL_ARRAY_BUFFER, buffer);
    fGL.VertexAttribPointer(kPosition, 4, GL_FLOAT, GL_FALSE, stride, Offset(base + offsetof(TWideVertex, Position)));
    fGL.VertexAttribPointer(kOther, 4, GL_FLOAT, GL_FALSE, stride, Offset(base + offsetof(TWideVertex, Other)));
    fGL.VertexAttribPointer(kColor, 4, GL_FLOAT, GL_FALSE, stride, Offset(base + offsetof(TWideVertex, Color)));
    fGL.VertexAttribPointer(kSide, 1, GL_FLOAT, GL_FALSE, stride, Offset(base + offsetof(TWideVertex, Side)));
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(part / kQuadCorners * kQuadIndices), GL_UNSIGNED_SHORT, nullptr);
    done += part;
  }
}

void TShaderBackend::Replay(const TCommand& command) {
  switch (command.Type) {
    case TCommandType::Triangles:
    case TCommandType::Lines:
      if (command.Count == 0) return;
      ApplyState(command.State, false);
      UseProgram(PlainProgram(command.State), kIdentity, command.State);
      BindPlain(fFrameBuffer, gfx::TVertexFormat::V3F, true, command.Color);
      if (command.Type == TCommandType::Lines) ApplyLineWidth(command.State.LineWidth);
      glDrawArrays(command.Type == TCommandType::Lines ? GL_LINES : GL_TRIANGLES, static_cast<GLint>(command.First),
                   static_cast<GLsizei>(command.Count));
      return;
    case TCommandType::WideLines:
      if (command.Count == 0) return;
      ApplyState(command.State, true);
      UseProgram(fWideProgram, kIdentity, command.State);
      EnableWide();
      DrawWide(fFrameWideBuffer, command.First, command.Count);
      return;
    case TCommandType::Buffer: {
      const auto found = fBuffers.find(command.Buffer);
      if (found == fBuffers.end()) return;
      ApplyState(command.State, false);
      UseProgram(PlainProgram(command.State), command.Matrix, command.State);
      BindPlain(found->second.Name, found->second.Format, false, command.Color);
      if (IsLines(command.Mode)) ApplyLineWidth(command.State.LineWidth);
      glDrawArrays(GLPrimitive(command.Mode), static_cast<GLint>(command.First), static_cast<GLsizei>(command.Count));
      return;
    }
    case TCommandType::WideBuffer: {
      const auto found = fBuffers.find(command.Buffer);
      if (found == fBuffers.end()) return;
      const std::size_t index = WideIndex(command.Mode);
      ApplyState(command.State, true);
      UseProgram(fWideProgram, command.Matrix, command.State);
      EnableWide();
      if (found->second.Format == gfx::TVertexFormat::V3F) {
        fGL.DisableVertexAttribArray(kColor);
        fGL.VertexAttrib4f(kColor, command.Color[0], command.Color[1], command.Color[2], command.Color[3]);
      }
      DrawWide(found->second.Wide[index], command.First, command.Count);
      return;
    }
  }
}

void TShaderBackend::Stream(GLuint buffer, std::size_t& capacity, const void* data, std::size_t bytes) {
  // The store only grows, to the next power of two: a store sized to each
  // frame would have the driver free and allocate one of a new size nearly
  // every frame (the stage's intro adds vertices every frame), and the heap
  // that leaves behind grows with every stage played.
  fGL.BindBuffer(GL_ARRAY_BUFFER, buffer);
  if (bytes > capacity) {
    capacity = std::bit_ceil(bytes);
    fGL.BufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(capacity), nullptr, GL_STREAM_DRAW);
  }
  fGL.BufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(bytes), data);
}

void TShaderBackend::Flush() {
  if (fCommands.empty()) return;
  if (!fVertices.empty())
    Stream(fFrameBuffer, fFrameBufferBytes, fVertices.data(), fVertices.size() * sizeof(TVertex));
  if (!fWideVertices.empty())
    Stream(fFrameWideBuffer, fFrameWideBufferBytes, fWideVertices.data(), fWideVertices.size() * sizeof(TWideVertex));
  for (const TCommand& command : fCommands) Replay(command);
  fCommands.clear();
  fVertices.clear();
  fWideVertices.clear();
}

void TShaderBackend::Finish() {
  Flush();
  glFinish();
}

std::string TShaderBackend::TakeError() {
  if (fError == GL_NO_ERROR) return TakeGLError();
  const GLenum error = fError;
  fError = GL_NO_ERROR;
  return GLErrorText(error);
}

}  // namespace render
