// AtomicFile.cpp -- temporary file, sync, rename, folder sync.
#include "services/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "services/Paths.h"

namespace {

// A new temporary beside `target`: its descriptor and path.
std::pair<int, std::string> CreateTemp(const std::string& target) {
  const std::string native = NativePath(target);
  std::vector<char> name(native.begin(), native.end());
  const std::string suffix = ".tmp-XXXXXX";
  name.insert(name.end(), suffix.begin(), suffix.end());
  name.push_back('\0');
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) throw EStreamError(FileErrorText("Datei kann nicht erstellt werden", target, errno));
  // Keep the permissions of the file being replaced.
  struct stat info {};
  const mode_t mode = ::stat(native.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0644;
  ::fchmod(fd, mode);
  return {fd, std::string(name.data())};
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
  if (!fCommitted) ::unlink(fTempPath.c_str());
}

void TAtomicFile::Commit() {
  fStream.Sync();
  fStream.Close();
  const std::string native = NativePath(fPath);
  if (fOps->Rename(fTempPath.c_str(), native.c_str()) != 0)
    throw EStreamError(FileErrorText("Datei kann nicht ersetzt werden", fPath, errno));
  fCommitted = true;
  // The rename is only durable once the folder is on the disk too.
  const int folder = ::open(FolderOf(native).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    fOps->Sync(folder);
    ::close(folder);
  }
}

void WriteFileAtomically(const std::string& path, const std::string& bytes, const TFileOps& ops) {
  TAtomicFile file(path, ops);
  file.Stream().Write(bytes.data(), static_cast<int64_t>(bytes.size()));
  file.Commit();
}
