// StageFiles.h -- small stage, model and boss files written by tests.
#pragma once

#include <map>
#include <string>

class TTempDir;

// A model file: a flat arrow of the given half width (x) and length (z),
// nose at -z.
std::string ModelText(float halfWidth, float length);

// Writes ship, shot and boss files and an encrypted stage file into `dir`
// and returns the stage file's path. `values` sets keys ("Section/Key") of
// the stage over the defaults here; an empty value removes the key.
std::string WriteStage(const TTempDir& dir, const std::map<std::string, std::string>& values = {});
