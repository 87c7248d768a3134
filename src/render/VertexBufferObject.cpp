// VertexBufferObject.cpp -- gathering the vertices for the drawing layer.
#include "render/VertexBufferObject.h"

#include <algorithm>
#include <array>
#include <cmath>

TVertexBufferObject::TVertexBufferObject() {
  if (!gfx::BuffersSupported()) throw VertexBufferException("VertexBuffer: not supported");
}

TVertexBufferObject::~TVertexBufferObject() {
  if (fBuffer) gfx::DeleteBuffer(fBuffer);
}

void TVertexBufferObject::SetSize(int32_t count, gfx::TVertexFormat format) {
  fCapacity = count > 0 ? count : 0;
  fFormat = format;
  fData.clear();
  fData.reserve(static_cast<std::size_t>(fCapacity) * static_cast<std::size_t>(gfx::VertexBytes(format)));
  fCount = 0;
  fFilling = true;
}

void TVertexBufferObject::AddVertex(const void* vertex) {
  if (!fFilling || fCount >= fCapacity) return;
  const auto* bytes = static_cast<const uint8_t*>(vertex);
  fData.insert(fData.end(), bytes, bytes + gfx::VertexBytes(fFormat));
  fCount += 1;
}

void TVertexBufferObject::Finish() {
  if (fCount < fCapacity) throw VertexBufferException("Weniger Vertex \xFC" "bergeben als erwartet!");
  if (!fFilling) return;
  fFilling = false;
  if (!fBuffer || !gfx::UpdateBuffer(fBuffer, fFormat, fData.data(), fCapacity)) {
    if (fBuffer) gfx::DeleteBuffer(fBuffer);
    fBuffer = gfx::CreateBuffer(fFormat, fData.data(), fCapacity);
  }
  MakeBlockBounds();
  std::vector<uint8_t>().swap(fData);
}

namespace {

// Smaller buffers are drawn whole: testing them would cost more than it saves.
constexpr int32_t kCullMinimum = 4096;

}  // namespace

void TVertexBufferObject::MakeBlockBounds() {
  fBlocks.clear();
  if (fCapacity < kCullMinimum) return;
  const auto stride = static_cast<std::size_t>(gfx::VertexBytes(fFormat));
  auto position = [&](int32_t i) { return gfx::VertexPosition(fFormat, fData.data() + static_cast<std::size_t>(i) * stride); };
  for (int32_t first = 0; first < fCapacity; first += kBlockVertices) {
    const int32_t end = std::min(first + kBlockVertices + 1, fCapacity);
    std::array<float, 3> low = position(first), high = low;
    for (int32_t i = first + 1; i < end; ++i) {
      const std::array<float, 3> p = position(i);
      for (std::size_t k = 0; k < 3; ++k) {
        low[k] = std::min(low[k], p[k]);
        high[k] = std::max(high[k], p[k]);
      }
    }
    TBlockBounds block{(low[0] + high[0]) / 2, (low[1] + high[1]) / 2, (low[2] + high[2]) / 2, 0};
    for (int32_t i = first; i < end; ++i) {
      const std::array<float, 3> p = position(i);
      const float dx = p[0] - block.X, dy = p[1] - block.Y, dz = p[2] - block.Z;
      block.Radius = std::max(block.Radius, std::sqrt(dx * dx + dy * dy + dz * dz));
    }
    // Rounding in the test must never cut a line that shows.
    block.Radius = block.Radius * 1.001f + 1e-3f;
    fBlocks.push_back(block);
  }
  // Runs alternate with gaps: reserved now, a frame never allocates them.
  fRuns.reserve(fBlocks.size() / 2 + 1);
}

void TVertexBufferObject::Draw(gfx::TPrimitive mode) {
  if (fBuffer) gfx::DrawBuffer(fBuffer, mode);
}

int32_t TVertexBufferObject::DrawVisible(gfx::TPrimitive mode) {
  if (!fBuffer) return 0;
  const bool strip = mode == gfx::TPrimitive::LineStrip;
  if (fBlocks.empty() || !(strip || mode == gfx::TPrimitive::Lines)) {
    Draw(mode);
    return fCapacity;
  }
  // The view's six planes from the clip matrix, each as (a, b, c, d) with
  // a x + b y + c z + d >= 0 inside. The sides are moved out by 16 pixels:
  // a wide line just beside the view keeps its edge.
  const gfx::TMatrix m =
      gfx::Multiply(gfx::GetMatrix(gfx::TMatrixStack::Projection), gfx::GetMatrix(gfx::TMatrixStack::ModelView));
  const auto row = [&](int r) { return std::array<float, 4>{m[r], m[4 + r], m[8 + r], m[12 + r]}; };
  const gfx::TRect viewport = gfx::GetViewport();
  const float sideX = 1 + 32.0f / static_cast<float>(std::max(viewport.Width, 1));
  const float sideY = 1 + 32.0f / static_cast<float>(std::max(viewport.Height, 1));
  const std::array<float, 4> x = row(0), y = row(1), z = row(2), w = row(3);
  std::array<std::array<float, 4>, 6> planes{};
  for (std::size_t k = 0; k < 4; ++k) {
    planes[0][k] = w[k] * sideX + x[k];
    planes[1][k] = w[k] * sideX - x[k];
    planes[2][k] = w[k] * sideY + y[k];
    planes[3][k] = w[k] * sideY - y[k];
    planes[4][k] = w[k] + z[k];
    planes[5][k] = w[k] - z[k];
  }
  for (auto& plane : planes) {
    const float length = std::sqrt(plane[0] * plane[0] + plane[1] * plane[1] + plane[2] * plane[2]);
    if (!(length > 0) || !std::isfinite(length)) {  // a degenerate view: no test
      Draw(mode);
      return fCapacity;
    }
    for (float& k : plane) k /= length;
  }
  auto visible = [&](const TBlockBounds& block) {
    return std::all_of(planes.begin(), planes.end(), [&](const std::array<float, 4>& plane) {
      return plane[0] * block.X + plane[1] * block.Y + plane[2] * block.Z + plane[3] >= -block.Radius;
    });
  };
  fRuns.clear();
  for (std::size_t b = 0; b < fBlocks.size(); ++b) {
    if (!visible(fBlocks[b])) continue;
    const auto first = static_cast<int32_t>(b) * kBlockVertices;
    if (!fRuns.empty() && fRuns.back().second == first)
      fRuns.back().second = first + kBlockVertices;
    else
      fRuns.emplace_back(first, first + kBlockVertices);
  }
  int32_t drawn = 0;
  for (const auto& [first, end] : fRuns) {
    // A strip's run goes on to the next block's first vertex.
    const int32_t last = std::min(strip ? end + 1 : end, fCapacity);
    gfx::DrawBuffer(fBuffer, mode, first, last - first);
    drawn += last - first;
  }
  return drawn;
}

void TVertexBufferObject::Draw(gfx::TPrimitive mode, int32_t first, int32_t count) {
  if (fBuffer && count > 0) gfx::DrawBuffer(fBuffer, mode, first, count);
}
