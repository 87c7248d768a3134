// ShaderBackend.cpp -- the frame's command list, its replay, and the shaders.
#include "render/draw/shader/ShaderBackend.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>

namespace render {

namespace {

constexpr GLuint kPosition = 0, kColor = 1, kTexCoord = 2, kOther = 2, kSide = 3;

// GLSL ES 1.00 and GLSL 1.20 alike; the version line is put in front. The
// software rasterisers pay for every varying, texture read and discard, so
// the plain colour program, which draws nearly everything, has none of them.
constexpr const char* kColorVertex = R"(
uniform mat4 uMatrix;
attribute vec4 aPosition;
attribute vec4 aColor;
varying vec4 vColor;
void main() {
  vColor = aColor;
  gl_Position = uMatrix * aPosition;
}
)";

constexpr const char* kColorFragment = R"(
#ifdef GL_ES
precision mediump float;
#endif
varying vec4 vColor;
void main() {
  gl_FragColor = vColor;
}
)";

// Text: a texture, and the alpha test.
constexpr const char* kTextureVertex = R"(
uniform mat4 uMatrix;
attribute vec4 aPosition;
attribute vec4 aColor;
attribute vec2 aTexCoord;
varying vec4 vColor;
varying vec2 vTexCoord;
void main() {
  vColor = aColor;
  vTexCoord = aTexCoord;
  gl_Position = uMatrix * aPosition;
}
)";

// A corner of a line's quad: the end is moved across the line's minor axis
// by half the width in pixels. An end behind the near plane is first moved
// onto it along the line, so that the direction on the screen is the
// visible part's.
constexpr const char* kWideVertex = R"(
uniform mat4 uMatrix;
uniform vec2 uHalfViewport;
uniform float uHalfWidth;
attribute vec4 aPosition;
attribute vec4 aOther;
attribute vec4 aColor;
attribute float aSide;
varying vec4 vColor;
void main() {
  vec4 p = uMatrix * aPosition;
  vec4 q = uMatrix * aOther;
  float dp = p.z + p.w;
  float dq = q.z + q.w;
  if (dp < 0.0 && dq > 0.0) p = mix(p, q, dp / (dp - dq));
  if (dq < 0.0 && dp > 0.0) q = mix(p, q, dp / (dp - dq));
  if (p.w > 0.0 && q.w > 0.0) {
    vec2 d = abs(q.xy / q.w - p.xy / p.w) * uHalfViewport;
    vec2 across = d.x > d.y ? vec2(0.0, 1.0) : vec2(1.0, 0.0);
    p.xy += across * (aSide * uHalfWidth) / uHalfViewport * p.w;
  }
  vColor = aColor;
  gl_Position = p;
}
)";

constexpr const char* kTextureFragment = R"(
#ifdef GL_ES
precision mediump float;
#endif
uniform sampler2D uSampler;
uniform float uUseTexture;
uniform float uAlphaReference;
varying vec4 vColor;
varying vec2 vTexCoord;
void main() {
  vec4 color = vColor;
  if (uUseTexture > 0.5) color *= texture2D(uSampler, vTexCoord);
  if (color.a <= uAlphaReference) discard;
  gl_FragColor = color;
}
)";

// Static buffers up to this size are drawn through the frame's lists.
constexpr int kInlineVertices = 512;

constexpr gfx::TMatrix kIdentity{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

constexpr uint8_t Bit(gfx::TCap cap) { return static_cast<uint8_t>(1u << static_cast<unsigned>(cap)); }

std::size_t WideIndex(gfx::TPrimitive mode) {
  return mode == gfx::TPrimitive::LineStrip ? 1 : mode == gfx::TPrimitive::LineLoop ? 2 : 0;
}

bool IsLines(gfx::TPrimitive mode) {
  return mode == gfx::TPrimitive::Lines || mode == gfx::TPrimitive::LineStrip || mode == gfx::TPrimitive::LineLoop;
}

const void* Offset(std::size_t bytes) { return reinterpret_cast<const void*>(bytes); }

}  // namespace

std::unique_ptr<TShaderBackend> TShaderBackend::Create() {
  const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  if (!version) return nullptr;
  std::unique_ptr<TShaderBackend> backend(new TShaderBackend());
  if (!backend->Build()) return nullptr;
  return backend;
}

bool TShaderBackend::Build() {
  const std::string version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  const bool es = version.rfind("OpenGL ES", 0) == 0;
  const int major = es ? std::atoi(version.c_str() + version.find_first_of("0123456789")) : std::atoi(version.c_str());
  if (major < 2 || !fGL.LoadShaders()) {
    std::fprintf(stderr, "Shader-Zeichnung nicht m\xC3\xB6glich (OpenGL %s): es wird ohne Shader gezeichnet\n",
                 version.c_str());
    return false;
  }
  const std::string header = es ? "#version 100\n" : "#version 120\n";

  auto compile = [&](GLenum type, const char* source) -> GLuint {
    const GLuint shader = fGL.CreateShader(type);
    const std::string text = header + source;
    const char* pointer = text.c_str();
    fGL.ShaderSource(shader, 1, &pointer, nullptr);
    fGL.CompileShader(shader);
    GLint ok = GL_FALSE;
    fGL.GetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok != GL_TRUE) {
      char log[1024] = {};
      fGL.GetShaderInfoLog(shader, sizeof log, nullptr, log);
      std::fprintf(stderr, "Shader nicht \xC3\xBC" "bersetzt: %s\n", log);
      fGL.DeleteShader(shader);
      return 0;
    }
    return shader;
  };
  auto link = [&](TProgram& program, const char* vertexSource, const char* fragmentSource, bool wide) {
    const GLuint vertex = compile(GL_VERTEX_SHADER, vertexSource);
    const GLuint fragment = compile(GL_FRAGMENT_SHADER, fragmentSource);
    if (!vertex || !fragment) return false;
    program.Name = fGL.CreateProgram();
    fGL.AttachShader(program.Name, vertex);
    fGL.AttachShader(program.Name, fragment);
    fGL.BindAttribLocation(program.Name, kPosition, "aPosition");
    fGL.BindAttribLocation(program.Name, kColor, "aColor");
    if (wide) {
      fGL.BindAttribLocation(program.Name, kOther, "aOther");
      fGL.BindAttribLocation(program.Name, kSide, "aSide");
    } else {
      fGL.BindAttribLocation(program.Name, kTexCoord, "aTexCoord");
    }
    fGL.LinkProgram(program.Name);
    fGL.DeleteShader(vertex);
    fGL.DeleteShader(fragment);
    GLint ok = GL_FALSE;
    fGL.GetProgramiv(program.Name, GL_LINK_STATUS, &ok);
    if (ok != GL_TRUE) {
      char log[1024] = {};
      fGL.GetProgramInfoLog(program.Name, sizeof log, nullptr, log);
      std::fprintf(stderr, "Shader nicht gebunden: %s\n", log);
      return false;
    }
    program.Matrix = fGL.GetUniformLocation(program.Name, "uMatrix");
    program.AlphaReference = fGL.GetUniformLocation(program.Name, "uAlphaReference");
    program.UseTexture = fGL.GetUniformLocation(program.Name, "uUseTexture");
    program.Sampler = fGL.GetUniformLocation(program.Name, "uSampler");
    program.HalfViewport = fGL.GetUniformLocation(program.Name, "uHalfViewport");
    program.HalfWidth = fGL.GetUniformLocation(program.Name, "uHalfWidth");
    if (program.Sampler >= 0) {
      fGL.UseProgram(program.Name);
      fGL.Uniform1i(program.Sampler, 0);
      fGL.UseProgram(0);
    }
    return true;
  };
  if (!link(fColorProgram, kColorVertex, kColorFragment, false) ||
      !link(fTextureProgram, kTextureVertex, kTextureFragment, false) ||
      !link(fWideProgram, kWideVertex, kColorFragment, true)) {
    std::fprintf(stderr, "Es wird ohne Shader gezeichnet\n");
    return false;
  }
  fGL.GenBuffers(1, &fFrameBuffer);
  fGL.GenBuffers(1, &fFrameWideBuffer);

  fModelView[0] = kIdentity;
  fProjection[0] = kIdentity;
  GLint viewport[4] = {0, 0, 0, 0};
  glGetIntegerv(GL_VIEWPORT, viewport);
  fViewport = {viewport[0], viewport[1], viewport[2], viewport[3]};
  fVertices.reserve(1 << 14);
  fWideVertices.reserve(1 << 12);
  fCommands.reserve(256);
  WarmUp();
  return true;
}

void TShaderBackend::WarmUp() {
  // Software GL (llvmpipe) compiles code for each new combination of
  // program, vertex layout, primitive and blending when it is first drawn:
  // tens of milliseconds that would fall on some frame in the middle of
  // play. Every combination the game draws is drawn here once, into one
  // pixel that is cleared again.
  const TState saved = fState;
  const std::array<float, 4> savedColor = fColor;
  const gfx::TRect pixel{fViewport.X, fViewport.Y, 1, 1};
  auto corner = [](float x, float y) {
    TVertex v{};
    v.Position = {x, y, 0, 1};
    v.Color = {1, 1, 1, 0.5f};
    return v;
  };
  const TVertex a = corner(-1, -1), b = corner(1, -1), c = corner(-1, 1);
  const gfx::TTexture texture = CreateTexture(1, 1, nullptr);
  for (int blend = 0; blend < 3; ++blend)
    for (bool depth : {false, true}) {
      fState = TState{};
      fState.ScissorBox = pixel;
      fState.Caps = static_cast<uint8_t>(Bit(gfx::TCap::ScissorTest) | (depth ? Bit(gfx::TCap::DepthTest) : 0) |
                                         (blend > 0 ? Bit(gfx::TCap::Blend) : 0));
      fState.Blend = blend == 2 ? gfx::TBlend::Additive : gfx::TBlend::Alpha;
      fOpenType = TCommandType::Lines;
      Open(fOpenType);
      EmitLine(a, b);
      fOpenType = TCommandType::Triangles;
      Open(fOpenType);
      EmitTriangle(a, b, c);
      fState.LineWidth = 3;
      fOpenType = TCommandType::WideLines;
      Open(fOpenType);
      EmitLine(a, b);
      fState.LineWidth = 1;
      // Text: a texture and the alpha test.
      fState.Caps |= static_cast<uint8_t>(Bit(gfx::TCap::Texture2D) | Bit(gfx::TCap::AlphaTest));
      fState.Texture = texture;
      fState.AlphaReference = 0.1f;
      fOpenType = TCommandType::Triangles;
      Open(fOpenType);
      EmitTriangle(a, b, c);
    }
  // Static buffers in each layout, thin and wide.
  const float v3f[] = {-1, -1, 0, 1, -1, 0, -1, 1, 0};
  const uint8_t c4ubv3f[] = {255, 255, 255, 255, 0, 0, 128, 191, 0, 0, 128, 191, 0, 0, 0, 0,   //
                             255, 255, 255, 255, 0, 0, 128, 63, 0, 0, 128, 191, 0, 0, 0, 0,    //
                             255, 255, 255, 255, 0, 0, 128, 191, 0, 0, 128, 63, 0, 0, 0, 0};  // (-1, -1), (1, -1), (-1, 1)
  const float c3fv3f[] = {1, 1, 1, -1, -1, 0, 1, 1, 1, 1, -1, 0, 1, 1, 1, -1, 1, 0};
  const gfx::TBuffer buffers[] = {CreateBuffer(gfx::TVertexFormat::V3F, v3f, 3),
                                  CreateBuffer(gfx::TVertexFormat::C4UB_V3F, c4ubv3f, 3),
                                  CreateBuffer(gfx::TVertexFormat::C3F_V3F, c3fv3f, 3)};
  for (bool blend : {false, true})
    for (gfx::TBuffer buffer : buffers)
      for (gfx::TPrimitive mode : {gfx::TPrimitive::Lines, gfx::TPrimitive::LineStrip, gfx::TPrimitive::LineLoop})
        for (float width : {1.0f, 2.0f}) {
          fState = TState{};
          fState.ScissorBox = pixel;
          fState.Caps = static_cast<uint8_t>(Bit(gfx::TCap::ScissorTest) | Bit(gfx::TCap::DepthTest) |
                                             Bit(gfx::TCap::CullFace) | (blend ? Bit(gfx::TCap::Blend) : 0));
          fState.LineWidth = width;
          DrawStatic(buffer, fBuffers.at(buffer), mode, 0, 3);
        }
  Flush();
  for (gfx::TBuffer buffer : buffers) DeleteBuffer(buffer);
  DeleteTexture(texture);
  glEnable(GL_SCISSOR_TEST);
  glScissor(pixel.X, pixel.Y, 1, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glDisable(GL_SCISSOR_TEST);
  glFinish();
  fGLState.Known = false;
  fState = saved;
  fColor = savedColor;
}

TShaderBackend::~TShaderBackend() {
  if (!fGL.UseProgram) return;  // abandoned: nothing of GL is left
  Release();
  for (auto& [handle, buffer] : fBuffers) {
    fGL.DeleteBuffers(1, &buffer.Name);
    for (GLuint wide : buffer.Wide)
      if (wide) fGL.DeleteBuffers(1, &wide);
  }
  if (fFrameBuffer) fGL.DeleteBuffers(1, &fFrameBuffer);
  if (fFrameWideBuffer) fGL.DeleteBuffers(1, &fFrameWideBuffer);
  if (fColorProgram.Name) fGL.DeleteProgram(fColorProgram.Name);
  if (fTextureProgram.Name) fGL.DeleteProgram(fTextureProgram.Name);
  if (fWideProgram.Name) fGL.DeleteProgram(fWideProgram.Name);
}

void TShaderBackend::Abandon() {
  fGL = {};
  fBuffers.clear();
  fCommands.clear();
  fFrameBuffer = fFrameWideBuffer = 0;
  fColorProgram = fTextureProgram = fWideProgram = {};
  fGLState = {};
}

void TShaderBackend::Release() {
  if (!fGL.UseProgram) return;
  fGL.UseProgram(0);
  for (GLuint attribute : {kPosition, kColor, kTexCoord, kSide}) fGL.DisableVertexAttribArray(attribute);
  fGL.BindBuffer(GL_ARRAY_BUFFER, 0);
  fGLState.Known = false;
}

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
  if (type == TCommandType::WideLines || type == TCommandType::WideBuffer) state.LineWidth = fState.LineWidth;
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

bool TShaderBackend::Wide() const { return fState.LineWidth > 1.0f; }

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
  const TWideVertex corners[6] = {{a.Position, b.Position, a.Color, 1},  {a.Position, b.Position, a.Color, -1},
                                  {b.Position, a.Position, b.Color, 1},  {b.Position, a.Position, b.Color, 1},
                                  {a.Position, b.Position, a.Color, -1}, {b.Position, a.Position, b.Color, -1}};
  fWideVertices.insert(fWideVertices.end(), std::begin(corners), std::end(corners));
  command.Count += 6;
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

void TShaderBackend::Translate(float x, float y, float z) {
  MultMatrix({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1});
}

void TShaderBackend::Scale(float x, float y, float z) { MultMatrix({x, 0, 0, 0, 0, y, 0, 0, 0, 0, z, 0, 0, 0, 0, 1}); }

void TShaderBackend::Rotate(float degrees, float x, float y, float z) {
  const float length = std::sqrt(x * x + y * y + z * z);
  if (length == 0) return;
  x /= length;
  y /= length;
  z /= length;
  const float radians = degrees * static_cast<float>(M_PI / 180.0);
  const float c = std::cos(radians), s = std::sin(radians), t = 1 - c;
  MultMatrix({x * x * t + c, y * x * t + z * s, x * z * t - y * s, 0,   //
              x * y * t - z * s, y * y * t + c, y * z * t + x * s, 0,   //
              x * z * t + y * s, y * z * t - x * s, z * z * t + c, 0,   //
              0, 0, 0, 1});
}

void TShaderBackend::Perspective(double fovY, double aspect, double zNear, double zFar) {
  const double f = 1.0 / std::tan(fovY * M_PI / 360.0);
  const double depth = zNear - zFar;
  gfx::TMatrix m{};
  m[0] = static_cast<float>(f / aspect);
  m[5] = static_cast<float>(f);
  m[10] = static_cast<float>((zFar + zNear) / depth);
  m[11] = -1;
  m[14] = static_cast<float>(2 * zFar * zNear / depth);
  MultMatrix(m);
}

void TShaderBackend::Ortho(double left, double right, double bottom, double top, double zNear, double zFar) {
  gfx::TMatrix m{};
  m[0] = static_cast<float>(2 / (right - left));
  m[5] = static_cast<float>(2 / (top - bottom));
  m[10] = static_cast<float>(-2 / (zFar - zNear));
  m[12] = static_cast<float>(-(right + left) / (right - left));
  m[13] = static_cast<float>(-(top + bottom) / (top - bottom));
  m[14] = static_cast<float>(-(zFar + zNear) / (zFar - zNear));
  m[15] = 1;
  MultMatrix(m);
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
  // that version is made now, while the stage loads, not in the frame that
  // first needs it.
  if (format == gfx::TVertexFormat::V3F) WideBuffer(kept, gfx::TPrimitive::Lines);
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
  auto segment = [&](int i, int j) {
    const TVertex a = corner(i), b = corner(j);
    corners.insert(corners.end(), {{a.Position, b.Position, a.Color, 1},
                                   {a.Position, b.Position, a.Color, -1},
                                   {b.Position, a.Position, b.Color, 1},
                                   {b.Position, a.Position, b.Color, 1},
                                   {a.Position, b.Position, a.Color, -1},
                                   {b.Position, a.Position, b.Color, -1}});
  };
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
  // Six corners for each pair or segment of the range.
  const std::size_t index = WideIndex(mode);
  if (mode == gfx::TPrimitive::Lines) {
    command.First = static_cast<uint32_t>(first / 2 * 6);
    command.Count = static_cast<uint32_t>(count / 2 * 6);
  } else if (mode == gfx::TPrimitive::LineStrip) {
    command.First = static_cast<uint32_t>(first * 6);
    command.Count = static_cast<uint32_t>((count - 1) * 6);
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

void TShaderBackend::BindWide(GLuint buffer) {
  constexpr GLsizei stride = sizeof(TWideVertex);
  fGL.BindBuffer(GL_ARRAY_BUFFER, buffer);
  fGL.VertexAttribPointer(kPosition, 4, GL_FLOAT, GL_FALSE, stride, Offset(offsetof(TWideVertex, Position)));
  fGL.VertexAttribPointer(kOther, 4, GL_FLOAT, GL_FALSE, stride, Offset(offsetof(TWideVertex, Other)));
  fGL.VertexAttribPointer(kColor, 4, GL_FLOAT, GL_FALSE, stride, Offset(offsetof(TWideVertex, Color)));
  fGL.VertexAttribPointer(kSide, 1, GL_FLOAT, GL_FALSE, stride, Offset(offsetof(TWideVertex, Side)));
  for (GLuint attribute : {kPosition, kOther, kColor, kSide}) fGL.EnableVertexAttribArray(attribute);
}

void TShaderBackend::Replay(const TCommand& command) {
  switch (command.Type) {
    case TCommandType::Triangles:
    case TCommandType::Lines:
      if (command.Count == 0) return;
      ApplyState(command.State, false);
      UseProgram(PlainProgram(command.State), kIdentity, command.State);
      BindPlain(fFrameBuffer, gfx::TVertexFormat::V3F, true, command.Color);
      glDrawArrays(command.Type == TCommandType::Lines ? GL_LINES : GL_TRIANGLES, static_cast<GLint>(command.First),
                   static_cast<GLsizei>(command.Count));
      return;
    case TCommandType::WideLines:
      if (command.Count == 0) return;
      ApplyState(command.State, true);
      UseProgram(fWideProgram, kIdentity, command.State);
      BindWide(fFrameWideBuffer);
      glDrawArrays(GL_TRIANGLES, static_cast<GLint>(command.First), static_cast<GLsizei>(command.Count));
      return;
    case TCommandType::Buffer: {
      const auto found = fBuffers.find(command.Buffer);
      if (found == fBuffers.end()) return;
      ApplyState(command.State, false);
      UseProgram(PlainProgram(command.State), command.Matrix, command.State);
      BindPlain(found->second.Name, found->second.Format, false, command.Color);
      glDrawArrays(GLPrimitive(command.Mode), static_cast<GLint>(command.First), static_cast<GLsizei>(command.Count));
      return;
    }
    case TCommandType::WideBuffer: {
      const auto found = fBuffers.find(command.Buffer);
      if (found == fBuffers.end()) return;
      const std::size_t index = WideIndex(command.Mode);
      ApplyState(command.State, true);
      UseProgram(fWideProgram, command.Matrix, command.State);
      BindWide(found->second.Wide[index]);
      if (found->second.Format == gfx::TVertexFormat::V3F) {
        fGL.DisableVertexAttribArray(kColor);
        fGL.VertexAttrib4f(kColor, command.Color[0], command.Color[1], command.Color[2], command.Color[3]);
      }
      if (command.Count > 0)
        glDrawArrays(GL_TRIANGLES, static_cast<GLint>(command.First), static_cast<GLsizei>(command.Count));
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
