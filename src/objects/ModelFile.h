// ModelFile.h -- the points and lines of a wireframe model file, read and
// checked without touching the graphics (the model loader and the model
// fuzzer share it).
#pragma once

#include <string>
#include <vector>

#include "services/Types.h"

class TIniFile;

// Largest point and line counts a model file may ask for.
inline constexpr int32_t kMaxModelCount = 100000;

struct TModelData {
  TVector3fArray Vertices;
  std::vector<TIndexPair> Lines;  // point indices, both inside Vertices
};

// [Vertex] VertexCount, Vertex0.. and [Lines] LineCount, Line0..: a
// malformed value throws EConvertError; a negative or absurd count, or a
// line naming a point that does not exist, throws EDataError naming the file
// and the key.
[[nodiscard]] TModelData ReadModel(const TIniFile& ini, const std::string& fileName);
