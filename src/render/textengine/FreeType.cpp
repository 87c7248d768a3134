// FreeType.cpp -- library and face lifetime.
#include "render/textengine/FreeType.h"

std::mutex& FreeTypeLock() {
  static std::mutex lock;
  return lock;
}

void TFaceDeleter::operator()(FT_Face face) const {
  const std::lock_guard guard(FreeTypeLock());
  FT_Done_Face(face);
}

TtsFreeType::~TtsFreeType() { Close(); }

void TtsFreeType::Close() {
  const std::lock_guard guard(FreeTypeLock());
  if (fLibrary) FT_Done_FreeType(fLibrary);
  fLibrary = nullptr;
}

bool TtsFreeType::Open() {
  const std::lock_guard guard(FreeTypeLock());
  if (!fLibrary && FT_Init_FreeType(&fLibrary) != 0) fLibrary = nullptr;
  return fLibrary != nullptr;
}

FT_Error TtsFreeType::OpenFace(const std::string& path, TFacePtr& face) {
  const std::lock_guard guard(FreeTypeLock());
  FT_Face opened = nullptr;
  const FT_Error error = FT_New_Face(fLibrary, path.c_str(), 0, &opened);
  if (error == 0) face.reset(opened);
  return error;
}
