// VertexBufferObject.cpp -- gathering the vertices for the drawing layer.
#include "render/VertexBufferObject.h"

#include <algorithm>
#include <cstring>

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
  std::vector<uint8_t>().swap(fData);
}

void TVertexBufferObject::Draw(gfx::TPrimitive mode) {
  if (fBuffer) gfx::DrawBuffer(fBuffer, mode);
}

void TVertexBufferObject::Draw(gfx::TPrimitive mode, int32_t first, int32_t count) {
  if (!fBuffer || first < 0 || first >= fCapacity || count <= 0) return;
  gfx::DrawBuffer(fBuffer, mode, first, std::min(count, fCapacity - first));
}
