// FreeType.cpp -- library and face lifetime.
#include "render/textengine/FreeType.h"

#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "services/SystemFile.h"

std::mutex& FreeTypeLock() {
  static std::mutex lock;
  return lock;
}

void TFaceDeleter::operator()(FT_Face face) const {
  auto* bytes = static_cast<std::vector<FT_Byte>*>(face->generic.data);
  {
    const std::lock_guard guard(FreeTypeLock());
    FT_Done_Face(face);
  }
  delete bytes;
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
  // Read here rather than by FreeType, whose file calls take no UTF-8 path
  // on Windows. The face owns the bytes and frees them when it is done.
  std::ifstream in(FsPath(path), std::ios::binary);
  if (!in) return FT_Err_Cannot_Open_Resource;
  auto bytes = std::make_unique<std::vector<FT_Byte>>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return FT_Err_Cannot_Open_Stream;
  const std::lock_guard guard(FreeTypeLock());
  FT_Face opened = nullptr;
  const FT_Error error =
      FT_New_Memory_Face(fLibrary, bytes->data(), static_cast<FT_Long>(bytes->size()), 0, &opened);
  if (error != 0) return error;
  // The bytes go with the face; its deleter frees them after FT_Done_Face.
  opened->generic.data = bytes.release();
  face.reset(opened);
  return 0;
}
