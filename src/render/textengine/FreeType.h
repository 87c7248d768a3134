// FreeType.h -- the font rasteriser's library and face handles.
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H

#include <memory>
#include <mutex>
#include <string>
#include <type_traits>

// FT_Library is shared: opening and closing faces are serialised on this.
std::mutex& FreeTypeLock();

struct TFaceDeleter {
  void operator()(FT_Face face) const;
};
using TFacePtr = std::unique_ptr<std::remove_pointer_t<FT_Face>, TFaceDeleter>;

// The library for a process; Open fails when FreeType cannot start.
class TtsFreeType {
 public:
  TtsFreeType() = default;
  ~TtsFreeType();
  TtsFreeType(const TtsFreeType&) = delete;
  TtsFreeType& operator=(const TtsFreeType&) = delete;

  bool Open();
  // Every face must be closed before.
  void Close();
  [[nodiscard]] bool IsOpen() const { return fLibrary != nullptr; }
  // Opens face 0 of a font file; FreeType's error code on failure.
  FT_Error OpenFace(const std::string& path, TFacePtr& face);

 private:
  FT_Library fLibrary = nullptr;
};
