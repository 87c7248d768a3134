// GameFolder.cpp -- reading the start state and laying out a scratch copy.
#include "app/GameFolder.h"

#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error(path.string() + " kann nicht ge\xF6" "ffnet werden");
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw std::runtime_error(path.string() + " kann nicht gelesen werden");
  return bytes;
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.flush();
  if (!out) throw std::runtime_error(path.string() + " kann nicht geschrieben werden");
}

bool IsStageFile(const fs::path& path) { return path.extension() == ".level"; }

}  // namespace

platform::TRecording ReadStartState(const std::string& base) {
  platform::TRecording start;
  std::error_code error;
  if (fs::is_regular_file(fs::path(base) / "settings.ini", error)) start.Settings = ReadFile(fs::path(base) / "settings.ini");
  for (const auto& entry : fs::directory_iterator(fs::path(base) / "data", error)) {
    std::error_code kindError;
    if (!entry.is_regular_file(kindError) || !IsStageFile(entry.path())) continue;
    const std::string name = entry.path().filename().string();
    if (platform::IsPlainFileName(name)) start.StageFiles[name] = ReadFile(entry.path());
  }
  return start;
}

TScratchFolder::TScratchFolder(const std::string& base, const std::string& settings,
                               const std::map<std::string, std::string>& stages) {
  std::string pattern = (fs::temp_directory_path() / "riftvaulter-XXXXXX").string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (!::mkdtemp(buffer.data())) throw std::runtime_error("Tempor\xE4res Verzeichnis kann nicht angelegt werden");
  fPath = buffer.data();
  try {
    const fs::path source = fs::absolute(fs::path(base));
    fs::create_directory(fPath / "data");
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(source / "data", error)) {
      if (IsStageFile(entry.path())) continue;
      fs::create_symlink(entry.path(), fPath / "data" / entry.path().filename());
    }
    if (fs::exists(source / "sound", error)) fs::create_directory_symlink(source / "sound", fPath / "sound");
    for (const auto& [name, bytes] : stages) {
      // Names come from replay files too: only plain names of files that are
      // not there yet, never through one of the links to the real folder.
      const fs::path target = fPath / "data" / name;
      if (!platform::IsPlainFileName(name) || fs::exists(fs::symlink_status(target)))
        throw std::runtime_error("unzul\xE4ssiger Levelname " + name);
      WriteFile(target, bytes);
    }
    WriteFile(fPath / "settings.ini", settings);
  } catch (const std::exception& failure) {
    std::error_code ignored;
    fs::remove_all(fPath, ignored);
    throw std::runtime_error(std::string("Tempor\xE4re Spielkopie: ") + failure.what());
  }
}

TScratchFolder::~TScratchFolder() {
  std::error_code ignored;
  fs::remove_all(fPath, ignored);
}
