// ShaderPrograms.cpp -- the shader backend's programs: made, warmed up and
// deleted.
#include "render/draw/shader/ShaderBackend.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "render/draw/VertexRecords.h"
#include "render/draw/shader/ShaderCommon.h"

namespace render {

using namespace shader;

namespace {

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

}  // namespace

std::unique_ptr<TShaderBackend> TShaderBackend::Create(bool widenLines) {
  const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  if (!version) return nullptr;
  std::unique_ptr<TShaderBackend> backend(new TShaderBackend());
  // Known before the warm-up, which then draws wide lines the way the
  // frames will.
#ifndef __EMSCRIPTEN__
  if (!widenLines) {
    GLfloat range[2] = {1, 1};
    glGetFloatv(GL_ALIASED_LINE_WIDTH_RANGE, range);
    backend->fNativeLineWidth = std::max(range[1], 1.0f);
  }
#else
  static_cast<void>(widenLines);
#endif
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
  std::vector<uint16_t> quads;
  quads.reserve(kCornersPerDraw / kQuadCorners * kQuadIndices);
  for (uint32_t corner = 0; corner < kCornersPerDraw; corner += kQuadCorners)
    for (uint32_t i : {0u, 1u, 2u, 2u, 1u, 3u}) quads.push_back(static_cast<uint16_t>(corner + i));
  fGL.GenBuffers(1, &fQuadIndices);
  fGL.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, fQuadIndices);
  fGL.BufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(quads.size() * sizeof(uint16_t)), quads.data(),
                 GL_STATIC_DRAW);

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
  // White (-1, -1), (1, -1), (-1, 1).
  const gfx::TVertexV3F v3f[] = {{-1, -1, 0}, {1, -1, 0}, {-1, 1, 0}};
  const gfx::TVertexC4UBV3F c4ubv3f[] = {
      {255, 255, 255, 255, -1, -1, 0}, {255, 255, 255, 255, 1, -1, 0}, {255, 255, 255, 255, -1, 1, 0}};
  const gfx::TVertexC3FV3F c3fv3f[] = {{1, 1, 1, -1, -1, 0}, {1, 1, 1, 1, -1, 0}, {1, 1, 1, -1, 1, 0}};
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
  if (fQuadIndices) fGL.DeleteBuffers(1, &fQuadIndices);
  if (fColorProgram.Name) fGL.DeleteProgram(fColorProgram.Name);
  if (fTextureProgram.Name) fGL.DeleteProgram(fTextureProgram.Name);
  if (fWideProgram.Name) fGL.DeleteProgram(fWideProgram.Name);
}

void TShaderBackend::Abandon() {
  fGL = {};
  fBuffers.clear();
  fCommands.clear();
  fFrameBuffer = fFrameWideBuffer = fQuadIndices = 0;
  fColorProgram = fTextureProgram = fWideProgram = {};
  fGLState = {};
}

void TShaderBackend::Release() {
  if (!fGL.UseProgram) return;
  fGL.UseProgram(0);
  for (GLuint attribute : {kPosition, kColor, kTexCoord, kSide}) fGL.DisableVertexAttribArray(attribute);
  fGL.BindBuffer(GL_ARRAY_BUFFER, 0);
  fGL.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  if (fGLState.LineWidth != 0 && fGLState.LineWidth != 1) glLineWidth(1);
  fGLState.Known = false;
  fGLState.LineWidth = 0;
}

}  // namespace render
