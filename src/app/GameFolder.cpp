// GameFolder.cpp -- reading the start state and laying out a scratch copy.
#include "app/GameFolder.h"

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

#include "services/Paths.h"
#include "services/SystemFile.h"

namespace fs = std::filesystem;

namespace {

std::string Shown(const fs::path& path) { return PathForMessage(Utf8Path(path)); }

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error(Shown(path) + " kann nicht ge\xF6" "ffnet werden");
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw std::runtime_error(Shown(path) + " kann nicht gelesen werden");
  return bytes;
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.flush();
  if (!out) throw std::runtime_error(Shown(path) + " kann nicht geschrieben werden");
}

// `link` stands for `target`: a symbolic link where the system lets anyone
// make one; else (Windows) a hard link, or a copy across drives. A folder
// gets a folder of such links.
void LinkTo(const fs::path& target, const fs::path& link) {
  std::error_code error;
  const bool folder = fs::is_directory(target, error);
  if (folder) {
    fs::create_directory_symlink(target, link, error);
  } else {
    fs::create_symlink(target, link, error);
  }
  if (!error) return;
#ifdef _WIN32
  if (folder) {
    fs::create_directory(link);
    for (const auto& entry : fs::directory_iterator(target)) LinkTo(entry.path(), link / entry.path().filename());
    return;
  }
  // A hard link shares the read-only mark of a read-only file, which would
  // keep the scratch folder from being removed: such a file is copied.
  const bool readOnly = (fs::status(target, error).permissions() & fs::perms::owner_write) == fs::perms::none;
  if (!readOnly) {
    fs::create_hard_link(target, link, error);
    if (!error) return;
  }
  fs::copy_file(target, link);
  fs::permissions(link, fs::perms::owner_write, fs::perm_options::add);
#else
  throw fs::filesystem_error("Verkn\xFCpfung kann nicht angelegt werden", target, link, error);
#endif
}

bool IsStageFile(const fs::path& path) { return path.extension() == ".level"; }

}  // namespace

platform::TRecording ReadStartState(const std::string& base) {
  platform::TRecording start;
  std::error_code error;
  if (fs::is_regular_file(FsPath(base) / "settings.ini", error)) start.Settings = ReadFile(FsPath(base) / "settings.ini");
  for (const auto& entry : fs::directory_iterator(FsPath(base) / "data", error)) {
    std::error_code kindError;
    if (!entry.is_regular_file(kindError) || !IsStageFile(entry.path())) continue;
    const std::string name = Utf8Path(entry.path().filename());
    if (platform::IsPlainFileName(name)) start.StageFiles[name] = ReadFile(entry.path());
  }
  return start;
}

TScratchFolder::TScratchFolder(const std::string& base, const std::string& settings,
                               const std::map<std::string, std::string>& stages) {
  fPath = sysfile::MakeTempFolder("riftvaulter-");
  if (fPath.empty()) throw std::runtime_error("Tempor\xE4res Verzeichnis kann nicht angelegt werden");
  try {
    const fs::path source = fs::absolute(FsPath(base));
    fs::create_directory(fPath / "data");
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(source / "data", error)) {
      if (IsStageFile(entry.path())) continue;
      LinkTo(entry.path(), fPath / "data" / entry.path().filename());
    }
    if (fs::exists(source / "sound", error)) LinkTo(source / "sound", fPath / "sound");
    for (const auto& [name, bytes] : stages) {
      // Names come from replay files too: only plain names of files that are
      // not there yet, never through one of the links to the real folder.
      const fs::path target = fPath / "data" / FsPath(name);
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

std::string TScratchFolder::Base() const { return Utf8Path(fPath) + "/"; }

TScratchFolder::~TScratchFolder() {
  std::error_code ignored;
  fs::remove_all(fPath, ignored);
}
