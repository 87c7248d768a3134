// ShaderBackend.h -- drawing with two small GLSL programs (GLSL ES 1.00 or
// GLSL 1.20, so that GL ES 2, WebGL 1 and desktop GL 2.1 share them).
//
// Vertices are transformed by the backend's own matrices as they come and
// gathered, with the state they are drawn in, into one list of draw commands
// per frame; Flush uploads the frame's vertices once and replays the list.
// Lines wider than a pixel become two triangles each, widened on the screen
// the way GL widens aliased lines (across their minor axis). Once the lists
// have grown to a frame's size, drawing allocates nothing.
//
// ShaderPrograms.cpp makes the programs and warms them up,
// ShaderCommands.cpp gathers the frame's command lists, ShaderReplay.cpp
// replays them.
#pragma once

#include <array>
#include <memory>
#include <unordered_map>
#include <vector>

#include "render/draw/Backend.h"
#include "render/draw/GLFunctions.h"

namespace render {

class TShaderBackend final : public TBackend {
 public:
  // Null, with the reason on stderr, when the context has no GL 2.0 (or ES 2)
  // or the programs do not build; the caller falls back to fixed-function.
  // With `widenLines`, every line wider than a pixel is widened by the
  // program even where GL would draw it (WebGL always widens).
  static std::unique_ptr<TShaderBackend> Create(bool widenLines = false);
  ~TShaderBackend() override;
  TShaderBackend(const TShaderBackend&) = delete;
  TShaderBackend& operator=(const TShaderBackend&) = delete;

  [[nodiscard]] const char* Name() const override { return "shader"; }
  void Release() override;
  void Abandon() override;

  void Begin(gfx::TPrimitive mode) override;
  void End() override;
  void Vertex(float x, float y, float z) override;
  void Color(float r, float g, float b, float a) override;
  void TexCoord(float u, float v) override;

  void MatrixMode(gfx::TMatrixStack stack) override;
  void PushMatrix() override;
  void PopMatrix() override;
  void LoadIdentity() override;
  void Translate(float x, float y, float z) override;
  void Rotate(float degrees, float x, float y, float z) override;
  void Scale(float x, float y, float z) override;
  void MultMatrix(const gfx::TMatrix& m) override;
  void Perspective(double fovY, double aspect, double zNear, double zFar) override;
  void Ortho(double left, double right, double bottom, double top, double zNear, double zFar) override;
  gfx::TMatrix GetMatrix(gfx::TMatrixStack stack) override;

  void SetCap(gfx::TCap cap, bool on) override;
  void BlendFunc(gfx::TBlend blend) override;
  void AlphaFunc(float reference) override;
  void LineWidth(float pixels) override;
  void Scissor(const gfx::TRect& box) override;
  void Viewport(const gfx::TRect& box) override;
  gfx::TRect GetViewport() override;
  void ClearColor(float r, float g, float b, float a) override;
  void Clear() override;

  gfx::TTexture CreateTexture(int width, int height, const uint8_t* rgba) override;
  void UpdateTexture(gfx::TTexture texture, int x, int y, int width, int height, const uint8_t* rgba) override;
  void DeleteTexture(gfx::TTexture texture) override;
  void BindTexture(gfx::TTexture texture) override;
  int MaxTextureSize() override;

  bool BuffersSupported() override { return true; }
  gfx::TBuffer CreateBuffer(gfx::TVertexFormat format, const void* vertices, int count) override;
  bool UpdateBuffer(gfx::TBuffer buffer, gfx::TVertexFormat format, const void* vertices, int count) override;
  int BufferVertices(gfx::TBuffer buffer) override;
  void DrawBuffer(gfx::TBuffer buffer, gfx::TPrimitive mode, int first, int count) override;
  void DeleteBuffer(gfx::TBuffer buffer) override;

  void Flush() override;
  void Finish() override;
  std::string TakeError() override;

 private:
  TShaderBackend() = default;
  bool Build();
  void WarmUp();

  // A vertex of the frame's lists: clip coordinates, colour, texture place.
  struct TVertex {
    std::array<float, 4> Position;
    std::array<float, 4> Color;
    std::array<float, 2> TexCoord;
  };
  // One corner of a wide line's quad: its end, the other end, which side.
  struct TWideVertex {
    std::array<float, 4> Position;
    std::array<float, 4> Other;
    std::array<float, 4> Color;
    float Side;
  };
  // The state a command is drawn in; unused parts are zero, so that equal
  // looks mean equal pixels.
  struct TState {
    uint8_t Caps = 0;  // bit per gfx::TCap
    gfx::TBlend Blend = gfx::TBlend::Alpha;
    float AlphaReference = 0;
    float LineWidth = 1;
    gfx::TRect ScissorBox;
    gfx::TTexture Texture = 0;
    bool operator==(const TState&) const = default;
  };
  enum class TCommandType : uint8_t { Triangles, Lines, WideLines, Buffer, WideBuffer };
  struct TCommand {
    TCommandType Type = TCommandType::Triangles;
    TState State;
    uint32_t First = 0, Count = 0;
    // Buffer draws: which buffer, how, with which matrix and colour.
    gfx::TBuffer Buffer = 0;
    gfx::TPrimitive Mode = gfx::TPrimitive::Lines;
    gfx::TMatrix Matrix{};
    std::array<float, 4> Color{};
  };
  struct TStaticBuffer {
    gfx::TVertexFormat Format = gfx::TVertexFormat::V3F;
    int Count = 0;
    GLuint Name = 0;
    std::vector<uint8_t> Data;  // kept for widening
    // Wide versions, made on first use: one per primitive mode.
    std::array<GLuint, 3> Wide{};
    std::array<int, 3> WideCount{};
  };
  struct TProgram {
    GLuint Name = 0;
    GLint Matrix = -1, AlphaReference = -1, UseTexture = -1, Sampler = -1, HalfViewport = -1, HalfWidth = -1;
  };

  [[nodiscard]] TState CurrentState() const;
  TCommand& Open(TCommandType type);
  void UpdateClipMatrix();
  [[nodiscard]] TVertex Transform(float x, float y, float z) const;
  void EmitLine(const TVertex& a, const TVertex& b);
  void EmitTriangle(const TVertex& a, const TVertex& b, const TVertex& c);
  // Appends the four corners of the quad that widens line a-b: a on either
  // side, then b on either side. DrawWide makes two triangles of each four.
  static void Widen(std::vector<TWideVertex>& corners, const TVertex& a, const TVertex& b);
  static constexpr uint32_t kQuadCorners = 4, kQuadIndices = 6;
  // A draw reaches as many corners as 16-bit indices count (WebGL 1 has no
  // wider ones); fQuadIndices holds that many corners' indices.
  static constexpr uint32_t kCornersPerDraw = 1u << 16;
  [[nodiscard]] bool Wide() const;
  GLuint WideBuffer(TStaticBuffer& buffer, gfx::TPrimitive mode);
  void DrawStatic(gfx::TBuffer handle, TStaticBuffer& buffer, gfx::TPrimitive mode, int first, int count);
  void DrawInline(const TStaticBuffer& buffer, gfx::TPrimitive mode, int first, int count);
  void Replay(const TCommand& command);
  void ApplyState(const TState& state, bool wide);
  void ApplyLineWidth(float width);
  [[nodiscard]] const TProgram& PlainProgram(const TState& state) const;
  void UseProgram(const TProgram& program, const gfx::TMatrix& matrix, const TState& state);
  void BindPlain(GLuint buffer, gfx::TVertexFormat format, bool frameList, const std::array<float, 4>& color);
  void EnableWide();
  // Draws the quads of corners first ... first + count - 1 of a wide buffer
  // (the attributes enabled by EnableWide; a constant colour may replace
  // the colours).
  void DrawWide(GLuint buffer, uint32_t first, uint32_t count);
  void Stream(GLuint buffer, std::size_t& capacity, const void* data, std::size_t bytes);
  // Keeps `error` for TakeError unless an earlier one waits there.
  void Fail(GLenum error);

  TGLFunctions fGL;
  GLenum fError = GL_NO_ERROR;  // the first of the backend's own errors since TakeError
  // Plain colour; texture and alpha test (text); wide lines. Wide lines
  // ignore the alpha test and textures, which the game never gives them.
  TProgram fColorProgram, fTextureProgram, fWideProgram;
  GLuint fFrameBuffer = 0, fFrameWideBuffer = 0;
  // Indices 0 1 2, 2 1 3 for every four corners, as many as one draw holds.
  GLuint fQuadIndices = 0;
  // The widest line GL draws itself; wider ones are widened by the program.
  // A software rasteriser draws its own wide line as one primitive, where a
  // widened one is two triangles that cost it twice as much.
  float fNativeLineWidth = 1;
  std::size_t fFrameBufferBytes = 0, fFrameWideBufferBytes = 0;  // their stores' sizes

  // Matrices.
  std::array<gfx::TMatrix, 32> fModelView{};
  std::array<gfx::TMatrix, 32> fProjection{};  // as deep as GL's
  int fModelViewTop = 0, fProjectionTop = 0;
  gfx::TMatrixStack fStack = gfx::TMatrixStack::ModelView;
  gfx::TMatrix fClip{};  // projection x model-view
  bool fClipDirty = true;

  // Current values and state.
  std::array<float, 4> fColor{1, 1, 1, 1};
  std::array<float, 2> fTexCoord{0, 0};
  TState fState;
  gfx::TRect fViewport;

  // The open primitive.
  gfx::TPrimitive fMode = gfx::TPrimitive::Lines;
  int fPrimitiveVertices = 0;
  std::array<TVertex, 3> fPending{};  // the vertices a primitive still needs
  TCommandType fOpenType = TCommandType::Lines;

  // The frame so far.
  std::vector<TVertex> fVertices;
  std::vector<TWideVertex> fWideVertices;
  std::vector<TCommand> fCommands;

  std::unordered_map<gfx::TBuffer, TStaticBuffer> fBuffers;

  // What GL has now, so that replaying changes only what differs.
  struct TGLState {
    bool Known = false;
    uint8_t Caps = 0;
    gfx::TBlend Blend = gfx::TBlend::Alpha;
    gfx::TRect ScissorBox;
    GLuint Texture = 0;
    GLuint Program = 0;
    float LineWidth = 0;  // 0: not set yet
  } fGLState;
};

}  // namespace render
