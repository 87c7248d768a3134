// AtomicFile.cpp -- temporary file, sync, rename, folder sync.
#include "services/AtomicFile.h"

#include <cerrno>

#include "platform/Browser.h"
#include "services/Paths.h"
#include "services/SystemFile.h"

namespace {

// A new temporary beside `target`: its descriptor and path.
std::pair<int, std::string> CreateTemp(const std::string& target) {
  const std::string native = NativePath(target);
  std::string temp;
  // Keep the permissions of the file being replaced.
  const int fd = sysfile::CreateTempBeside(native, temp, sysfile::ModeOf(native.c_str(), 0644));
  if (fd < 0) throw EStreamError(FileErrorText("Datei kann nicht erstellt werden", target, errno));
  return {fd, temp};
}

std::string FolderOf(const std::string& nativePath) {
  const std::size_t slash = nativePath.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return nativePath.substr(0, slash);
}

}  // namespace

TAtomicFile::TAtomicFile(const std::string& path, const TFileOps& ops)
    : TAtomicFile(path, ops, CreateTemp(path)) {}

TAtomicFile::TAtomicFile(const std::string& path, const TFileOps& ops, std::pair<int, std::string> temp)
    : fPath(path), fTempPath(std::move(temp.second)), fOps(&ops), fStream(temp.first, path, ops) {}

TAtomicFile::~TAtomicFile() {
  if (fCommitted) return;
  // Closed first: Windows removes no file that is open.
  try {
    fStream.Close();
  } catch (const EStreamError&) {
  }
  sysfile::Remove(fTempPath.c_str());
}

void TAtomicFile::Commit() {
  fStream.Sync();
  fStream.Close();
  const std::string native = NativePath(fPath);
  if (fOps->Rename(fTempPath.c_str(), native.c_str()) != 0)
    throw EStreamError(FileErrorText("Datei kann nicht ersetzt werden", fPath, errno));
  fCommitted = true;
  // The rename is only durable once the folder is on the disk too.
  sysfile::SyncFolder(FolderOf(native));
  platform::PersistSavedFiles();
}

void WriteFileAtomically(const std::string& path, const std::string& bytes, const TFileOps& ops) {
  TAtomicFile file(path, ops);
  file.Stream().Write(bytes.data(), static_cast<int64_t>(bytes.size()));
  file.Commit();
}
